#include "engine/media/nodes/ImageTextureNode.h"

#include "engine/scene/NodeFactory.h"
#include "engine/scene/PropertyText.h"

namespace vx {
namespace {

constexpr FieldSpec kImageTextureFields[] = {
    Field<&CImageTextureNode::url>("url"),
    Field<&CImageTextureNode::repeatS>("repeatS", DefaultBool(true)),
    Field<&CImageTextureNode::repeatT>("repeatT", DefaultBool(true)),
    Field<&CImageTextureNode::chromaKey>("chromaKey", DefaultFloats(-1, -1, -1)),
};
constexpr FieldTable kImageTextureTable{Section(kImageTextureFields), {}, {}};

constexpr std::string_view kTiledImageSuffix = "fpx";

}  // namespace

CImageTextureNode::CImageTextureNode() { RegisterFields(kImageTextureTable); }

bool CImageTextureNode::IsTiledImage() {
  if (!tiledTested_) {
    tiledTested_ = true;
    const std::string_view first = url.count > 0 ? TextOf(url[0]) : std::string_view();
    tiled_ = first.size() >= kTiledImageSuffix.size() &&
             StrEqualNoCase(first.substr(first.size() - kTiledImageSuffix.size()), kTiledImageSuffix);
  }
  return tiled_;
}

void CImageTextureNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  switch (pass) {
    case RenderPass::Deactivate:
      load_.Deactivate();
      tiledTested_ = false;
      tiled_ = false;
      return;
    case RenderPass::Activate:
      if (load_.IsActive()) return;
      tiledTested_ = false;
      if (!IsTiledImage()) static_cast<void>(load_.Activate(*this, url, *view));
      return;
    case RenderPass::Frame:
      if (!load_.IsActive()) return;
      static_cast<void>(load_.Step(*this, url, *view));
      load_.TakeImage();
      return;
  }
}

void CImageTextureNode::FillTextureRecord(MaterialRecord& record) {
  load_.HandColor(record.diffuse);
  FillTextureImage(record, load_.Image(), chromaKey);
  FillTextureRepeat(record, *this, repeatS, repeatT);
}

void RegisterImageTextureNode(NodeClassTable& table) { table.Add<CImageTextureNode>("ImageTexture"); }

}  // namespace vx
