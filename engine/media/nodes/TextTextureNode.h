// TextTexture: the lines of its strings drawn into a texture, in the font of
// its FontStyle and the colours of its appearance.
#pragma once

#include <memory>
#include <string_view>

#include "engine/media/nodes/FontStyleNode.h"
#include "engine/media/text/TextBitmap.h"
#include "engine/media/text/TextLayout.h"
#include "engine/scene/Node.h"
#include "engine/nodes/AppearanceNodes.h"
#include "engine/world/TextHitTarget.h"

namespace vx {

class NodeClassTable;
struct MaterialRecord;

class CTextTextureNode : public CNode, public ITextureNode, public ITextHitTarget {
 public:
  CTextTextureNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypeTextTexture; }
  // Builds the text's picture when the node is dirty; on the frame pass
  // colours it from the appearance (text in the appearance's colour over
  // the colour of the material before it, glyphs showing the appearance's
  // texture when it has one).
  void Traverse(RenderPass pass, CViewContext* view) override;
  // Hands the picture to the record; a chroma key (red 0 or more) keys it
  // and draws it unlit.
  void FillTextureRecord(MaterialRecord& record) override;
  CTextBitmap* Bitmap() const { return bitmap_.get(); }
  const PixelMap& Image() const { return image_; }
  const FontLayout& Layout() const { return layout_; }
  const CFontStyleLink& FontStyleLink() const { return link_; }
  // Whether the pick lies on the text in the picture: asked by a
  // TextSensor. The picture answers no hits.
  virtual bool EditText(const PickRecord& pick, std::string_view text);
  bool IsTextHit(const PickRecord& pick, std::string_view text) override { return EditText(pick, text); }

  MFString string{};
  CNodeRef fontStyle;
  CNodeRef appearance;
  SFColor chromaKey{};
  int16_t repeatS = 0;
  int16_t repeatT = 0;

 protected:
  ~CTextTextureNode() override;

 private:
  void Rebuild(CViewContext& view);
  void ForgetPicture();
  void ColorFromAppearance(RenderPass pass, CViewContext& view);

  CFontStyleLink link_{*this};
  std::unique_ptr<CTextBitmap> bitmap_;
  PixelMap image_;
  FontLayout layout_;
  // Set while the appearance is traversed: an appearance that holds this
  // texture again is not followed round.
  bool inAppearance_ = false;
};

void RegisterTextTextureNode(NodeClassTable& table);

}  // namespace vx
