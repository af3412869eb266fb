// ScreenElement: a flat image laid over the frame in pixels, after the
// scene. It shows the texture of its Shape's appearance, or, when the
// appearance names no texture at all, a block of its material's colour
// made once per world. The element is anchored to an edge, a corner or the
// middle of the view, moved by its enclosing transforms and by the offsets
// its eventIns add up, and ordered against other overlays by its layer,
// which is also its pick depth.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/render/DibImage.h"
#include "engine/render/PixelMap.h"
#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;
struct MaterialRecord;

// Where an element lies on the frame: the part of its image shown and the
// part of the frame covered, both empty when nothing shows.
struct ScreenPlacement {
  PixelMap source;
  PixelMap destination;
  int32_t left = 0, top = 0, right = 0, bottom = 0;

  bool Shows() const { return source.width > 0 && source.height > 0 && right > left && bottom > top; }
};

class CScreenElementNode : public CNode {
 public:
  // Resets the shared overlay material, so that an element read before any
  // appearance was applied shows no stale texture.
  CScreenElementNode();

  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeScreenElement; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;
  // The width and height fields, or the image's where a field is below 1.
  void GetSize(int32_t* width, int32_t* height) override;

  // The image the element shows now: its own colour block, else the overlay
  // material's texture; bits null when there is neither.
  PixelMap ElementImage() const;
  // Lays the element out on the view's frame with the given image.
  ScreenPlacement Place(const PixelMap& image, const CViewContext& view) const;
  bool HasOwnImage() const { return ownImage_ != nullptr; }

  SFString alignment{};
  int32_t width = -1;
  int32_t height = -1;
  int32_t layer = 0;
  MFInt32 texCoords{};
  int16_t alignBottomRight = 0;
  int32_t minWidth = 1;
  int32_t minHeight = 1;
  int16_t crop = 0;

 protected:
  ~CScreenElementNode() override = default;

 private:
  struct AddedTotals {
    int64_t width = 0, height = 0, offsetX = 0, offsetY = 0;
  };

  void Prepare(CViewContext& view);
  void MakeColorBlock(CViewContext& view, const MaterialRecord& material);
  void ShowOnFrame(CViewContext& view);
  void PickAt(CViewContext& view, const ScreenPlacement& placed, const MaterialRecord& material);

  std::unique_ptr<CDibImage> ownImage_;
  bool imageMade_ = false;
  AddedTotals added_;
};

void RegisterScreenElementNode(NodeClassTable& table);

}  // namespace vx
