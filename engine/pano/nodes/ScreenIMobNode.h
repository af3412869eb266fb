// ScreenIMob: an image object laid over the finished frame. Each frame it
// places its rectangle by "alignment", moved and scaled by the transform
// around it, adds the (cropped, clipped) picture to the world's overlays and
// tests the pointer against the rectangle, its opacity and its key colour;
// a hit is recorded as a pick at depth 0, in front of the whole scene.
#pragma once

#include <optional>

#include "engine/pano/nodes/ImageObjectNode.h"
#include "engine/pano/nodes/ScreenPlacement.h"

namespace vx {

class NodeClassTable;

class CScreenIMobNode final : public CImageObjectNode {
 public:
  CScreenIMobNode();

  NodeTypeId GetTypeId() const override { return NodeTypeScreenIMob; }
  void OnPointerClick(CViewContext* view) override;
  void OnPointerOver() override;
  // The width and height fields; below 1 the image's own size.
  void GetSize(int32_t* outWidth, int32_t* outHeight) override;

  // The rectangle of the last frame before clipping, and the part of the
  // image it shows.
  const ScreenRect& GetPlacedRect() const { return placed_; }
  const ImageArea& GetShownArea() const { return shown_; }
  // Where the pointer was in the image at the last hit test, as fractions.
  const SFVec2f& GetPointerInImage() const { return pointerInImage_; }

  SFString alignment{};
  int32_t width = 0;
  int32_t height = 0;
  MFInt32 texCoords{};

 protected:
  ~CScreenIMobNode() override;

 private:
  void Load(CViewContext& view) override;
  void Frame(CViewContext& view) override;
  void Unload(CViewContext& view) override;
  FloatColor FillColor() const override;
  std::optional<FloatColor> MaskColor() const override;

  void Place(CViewContext& view);
  void AddOverlay(CViewContext& view);
  bool HitTest(const CViewContext& view);
  void RecordPick(CViewContext& view);

  ScreenRect placed_;
  ImageArea shown_;
  SFVec2f pointerInImage_{};
  bool keyed_ = false;
};

void RegisterScreenIMobNode(NodeClassTable& table);

}  // namespace vx
