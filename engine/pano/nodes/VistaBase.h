// What the two Vista node classes share: a panorama picture drawn as the
// frame's background through the node's own panorama context, the camera
// kept inside the node's ranges, the picture point under the pointer sent as
// clickPt and overPt, and the hot spots of its "vxn:link" Scripts marked
// while the space bar or H is held.
//
// CVistaNode (version 1.5) binds by set_bind and falls back to a painted sky;
// CVistaLegacyNode (version 1.0) binds when its world is activated and reads
// its own file names. The world hands the bound node the frame's pass before
// the scene; the node's visit in the scene then draws nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/media/panorama/PanoramaImage.h"
#include "engine/pano/PanoContext.h"
#include "engine/pano/nodes/PanoramaBinding.h"
#include "engine/render/DibImage.h"
#include "engine/scene/Node.h"

namespace vx {

class CViewContext;

// "SPHERE" 1, "CYLINDER" 2, "CUBE" 3 (exact case); 0 for any other keyword.
int16_t ProjectionOfKeyword(std::string_view keyword);

class CVistaBase : public CNode, public CPanoramaBinding {
 public:
  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeVista; }
  void OnPointerClick(CViewContext* view) override;
  void OnPointerOver() override;

  bool IsBound() const { return bound_; }
  // 1 sphere, 2 cylinder, 3 cube; 0 before the first bind.
  int16_t GetProjection() const { return projection_; }
  // The picture point under the pointer: fractions, 0 at the top left.
  const SFVec2f& GetPointerPoint() const { return pointerPoint_; }
  PanoContext* GetPanoContext() const override { return context_.get(); }
  const CPanoramaImage* GetPanoramaImage() const { return image_.get(); }

  SFString type{};
  SFVec2f pitchRange{};
  SFVec2f yawRange{};
  SFVec2f zoomRange{};

 protected:
  CVistaBase() = default;
  ~CVistaBase() override;

  // The picture's extents (pitch at its bottom and top edge, yaw at its left
  // and right edge).
  virtual SFVec2f VerticalExtent() const = 0;
  virtual SFVec2f HorizontalExtent() const = 0;
  virtual void StoreVerticalExtent(const SFVec2f& extent) = 0;
  // The picture holds the left eye above the right.
  virtual bool IsStereoPicture() const { return false; }
  // Paints each picture image as it is made, before the picture arrives.
  virtual MediaCallback PictureCallback() = 0;

  // The steps every traversal starts with: the marker image, the output and
  // the node's yaw in the scene. False, with nothing done, without a view
  // and a world.
  bool BeginTraverse(CViewContext* view);
  // The camera's field of view limited to zoomRange, also in the panorama.
  void LimitZoom(CViewContext& view);
  void UpdatePointerPoint(const CViewContext& view);
  // Opens the picture of a url (resolved against the world); no picture
  // when it names nothing that can be one.
  void OpenPicture(const SFString& url, CViewContext& view);
  // Once the picture's frame grid is known: the tiles the view needs are
  // kept. The load state, stepped when that happened.
  int32_t SetUpTiles(CViewContext& view, int32_t state);
  // The renderer for the source picture and the node's ranges.
  void ApplyRanges(CViewContext& view);
  // Loads the part of the picture that the eye (0 left, 1 right) sees and
  // takes the picture's description.
  void UpdatePictureView(int32_t eye = 0);
  // The source as the renderer samples it for an eye: the upper half of a
  // stereo picture for the left eye, the lower half for the right.
  PixelMap RendererSource(int32_t eye = 0) const;
  void DrawHotSpotMarkers(CViewContext& view);
  void ClearSource();

  static bool HasFailed(int32_t state);
  static void ReportBinding(CViewContext& view, const CNode& node, bool bound);

  std::unique_ptr<PanoContext> context_;
  std::unique_ptr<CPanoramaImage> image_;
  PixelMap source_;
  PixelMap lastFrame_;
  float yawOffset_ = 0;
  int16_t projection_ = 0;
  bool bound_ = false;
  bool rangesApplied_ = false;
  bool tilesSet_ = false;
  int32_t urlIndex_ = 0;

 private:
  void MakeMarkerImage(CViewContext& view);
  void FollowOutput(CViewContext& view);
  void MarkHotSpot(CViewContext& view, CNode& link);

  std::unique_ptr<CDibImage> marker_;
  SFVec2f pointerPoint_{};
};

}  // namespace vx
