#include "engine/media/nodes/TextTextureNode.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/media/MediaLimits.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/OverlayMaterial.h"
#include "engine/world/ViewContext.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

constexpr FieldSpec kTextTextureFields[] = {
    Field<&CTextTextureNode::string>("string"),
    Field<&CTextTextureNode::fontStyle>("fontStyle"),
    Field<&CTextTextureNode::appearance>("appearance"),
    Field<&CTextTextureNode::chromaKey>("chromaKey", DefaultFloats(-1, -1, -1)),
    Field<&CTextTextureNode::repeatS>("repeatS", DefaultBool(false)),
    Field<&CTextTextureNode::repeatT>("repeatT", DefaultBool(false)),
};
constexpr FieldTable kTextTextureTable{Section(kTextTextureFields), {}, {}};

// A TextTexture's font has 10 points for each whole unit of its size.
constexpr int32_t kPointsPerUnit = 10;

// The first `count` strings one after another, a line break between two.
std::string JoinedLines(const MFString& lines, int32_t count) {
  std::string joined;
  for (const SFString& line : lines.Span().first(static_cast<size_t>(count))) {
    if (&line != lines.elements) joined.push_back('\n');
    joined.append(TextOf(line));
  }
  return joined;
}

}  // namespace

CTextTextureNode::CTextTextureNode() { RegisterFields(kTextTextureTable); }

CTextTextureNode::~CTextTextureNode() { ForgetPicture(); }

void CTextTextureNode::ForgetPicture() {
  ForgetOverlayTexture(image_.bits);
  bitmap_.reset();
  image_ = {};
}

void CTextTextureNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  if (IsDirty()) Rebuild(*view);
  if (pass == RenderPass::Frame && bitmap_) ColorFromAppearance(pass, *view);
}

void CTextTextureNode::Rebuild(CViewContext& view) {
  SetDirty(false);
  const FloatColor background = bitmap_ ? bitmap_->GetBackgroundColor() : kPaperWhite;
  const FloatColor text = bitmap_ ? bitmap_->GetTextColor() : kInkBlack;
  ForgetPicture();
  CFontStyleNode* style = AsFontStyle(fontStyle);
  link_.Follow(style);
  if (string.count <= 0) return;
  layout_ = style ? style->Layout() : FontLayout{};
  bitmap_ = std::make_unique<CTextBitmap>();
  bitmap_->SetSize(layout_.size);
  bitmap_->SetFontStyle(layout_.style);
  bitmap_->SetFontSize(WholeSizeTimes(layout_.size, kPointsPerUnit, PixelsToPoints(kMaxFontPixels)));
  bitmap_->SetFontFamily(layout_.family);
  bitmap_->SetHorizontal(static_cast<uint16_t>(layout_.horizontal));
  bitmap_->SetBackgroundColor(background);
  bitmap_->SetTextColor(text);
  bitmap_->SetPixelDepth(view.GetColorDepth());
  bitmap_->SetPalette(view.GetColorTable());
  const int32_t lines = std::min(string.count, kMaxTextLines);
  const std::string joined = JoinedLines(string, lines);
  bitmap_->SetText(layout_.horizontal ? joined : VerticalForm(joined, layout_.topToBottom != 0));
  (void)bitmap_->GetImage(&image_);
  if (bitmap_->IsTooLarge()) {
    NoteRefusedLines(*this, view, "no line is drawn: the picture would be larger than a picture may be");
  } else if (string.count > kMaxTextLines) {
    NoteRefusedLines(*this, view,
                     FormatString("lines from %d on are not drawn: a TextTexture joins at most %d lines",
                                  kMaxTextLines + 1, kMaxTextLines));
  }
}

void CTextTextureNode::ColorFromAppearance(RenderPass pass, CViewContext& view) {
  CGeometryStage& stage = *view.GetStage();
  const MaterialRecord before = stage.Material();
  const bool colored = appearance && !inAppearance_;
  if (colored) {
    inAppearance_ = true;
    appearance->Traverse(pass, &view);
    inAppearance_ = false;
  }
  const MaterialRecord after = stage.Material();
  (void)bitmap_->GetImage(&image_);
  if (!colored) return;
  if (!SameColor(after.diffuse, bitmap_->GetTextColor()) || !SameColor(before.diffuse, bitmap_->GetBackgroundColor())) {
    bitmap_->SetTextColor(after.diffuse);
    bitmap_->SetBackgroundColor(before.diffuse);
    (void)bitmap_->GetImage(&image_);
  }
  if (after.texture.base && after.texture.base != image_.bits) bitmap_->PaintGlyphs(after.texture);
}

void CTextTextureNode::FillTextureRecord(MaterialRecord& record) {
  if (image_.bits) record.texture = {image_.bits, image_.width, image_.height, image_.bytesPerPixel, image_.rowBytes};
  if (chromaKey.r >= 0.0f) {
    record.unlitTexture = 1;
    record.chromaKey = 1;
    record.chromaKeyColor = {chromaKey.r, chromaKey.g, chromaKey.b};
  }
}

bool CTextTextureNode::EditText(const PickRecord&, std::string_view) { return false; }

void RegisterTextTextureNode(NodeClassTable& table) { table.Add<CTextTextureNode>("TextTexture"); }

}  // namespace vx
