// Text: each string drawn as one flat quadrilateral in the node's x/y plane,
// textured with the string's picture and keyed so that only the glyphs
// show. The lines are laid out by the rules of the world's convention
// (TextLayout.h). A Text draws at most kMaxTextLines lines whose pictures
// together stay within kMaxTextPixels; the first line refused is named in
// the world's error text.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "engine/media/nodes/FontStyleNode.h"
#include "engine/media/text/TextBitmap.h"
#include "engine/media/text/TextLayout.h"
#include "engine/render/MeshBuffer.h"
#include "engine/scene/Node.h"
#include "engine/world/TextHitTarget.h"

namespace vx {

class NodeClassTable;

class CTextNode : public CNode, public ITextHitTarget {
 public:
  CTextNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypeText; }
  // Builds the lines on activation and after any change (of the node or of
  // its FontStyle); draws them on the frame pass.
  void Traverse(RenderPass pass, CViewContext* view) override;
  int32_t LineCount() const { return static_cast<int32_t>(bitmaps_.size()); }
  const CMeshBuffer& LineMesh(int32_t line) const { return *meshes_[static_cast<size_t>(line)]; }
  CTextBitmap& LineBitmap(int32_t line) { return *bitmaps_[static_cast<size_t>(line)]; }
  const FontLayout& Layout() const { return layout_; }
  const CFontStyleLink& FontStyleLink() const { return link_; }
  // Whether the pick lies on the text in the node's lines: asked by a
  // TextSensor. The lines answer no hits.
  virtual bool HandleTextInput(const PickRecord& pick, std::string_view text);
  bool IsTextHit(const PickRecord& pick, std::string_view text) override { return HandleTextInput(pick, text); }

  MFString string{};
  CNodeRef fontStyle;
  MFFloat length{};
  float maxExtent = 0.0f;

 protected:
  ~CTextNode() override = default;

 private:
  void Rebuild(CViewContext& view);
  std::unique_ptr<CTextBitmap> MakeLineBitmap(CViewContext& view, const SFString& line, WorldConvention convention,
                                              int64_t maxPixels) const;
  void BuildMesh(int32_t line, WorldConvention convention);
  void Draw(CViewContext& view);
  void MatchColorsToMaterial(const FloatColor& material);

  CFontStyleLink link_{*this};
  std::vector<std::unique_ptr<CMeshBuffer>> meshes_;
  std::vector<std::unique_ptr<CTextBitmap>> bitmaps_;
  FontLayout layout_;
};

void RegisterTextNode(NodeClassTable& table);

}  // namespace vx
