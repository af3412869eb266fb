// Background: a bindable node that fills the frame behind the scene with a
// panorama drawn through the panorama facade. Without pictures of its own it
// shows a sphere picture painted with its sky and ground colour bands.
//
// Binding and unbinding are asked for by set_bind and carried out on the
// node's next frame traversal; the world hands the bound node, and one asked
// to bind wherever it stands, its frame's pass before the scene, and its
// visit in the scene then draws nothing but notes the parents' rotation: the
// picture turns with it. In the system's worlds the bound node also holds
// the camera level and within its picture; in the standard's it never moves
// the camera.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "engine/media/panorama/RowTable.h"
#include "engine/pano/PanoContext.h"
#include "engine/pano/nodes/BackgroundCube.h"
#include "engine/pano/nodes/PanoramaBinding.h"
#include "engine/render/DibImage.h"
#include "engine/math/Matrix4.h"
#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

// The panorama's view as last seen while its picture was settled, to tell
// when it has been still long enough for the frame to be drawn once and
// kept.
struct StillView {
  float pitch = 0;
  float yaw = 0;
  float roll = 0;
  float fieldOfView = 0;
};

// The picture's projection: a cube of six faces, or the sphere of bands.
enum class BackgroundProjection : int16_t { kSphere = 1, kCube = 3 };

// Rows of a picture standing for angles from the zenith (row 0) to the nadir
// (row `height`), painted with the sky bands from the top and the ground
// bands over them from the bottom: in the system's worlds the last ground
// colour goes on up to the horizon, in the standard's the ground ends at its
// last angle, and no ground colours at all are no ground. Black when the
// bands are not valid (each colour list one entry longer than its angle
// list, the angles rising strictly). With `cubeLayout` the picture is the
// stacked cube and `height` is a third of its height.
struct BackgroundBands {
  std::span<const SFColor> skyColor;
  std::span<const float> skyAngle;
  std::span<const SFColor> groundColor;
  std::span<const float> groundAngle;
  bool groundToHorizon = true;
};
bool BandsAreValid(const BackgroundBands& bands);
void PaintBackgroundBands(const PixelMap& map, const BackgroundBands& bands, bool cubeLayout,
                          const uint8_t* inverseMap);

class CBackgroundNode : public CNode, public CPanoramaBinding {
 public:
  CBackgroundNode();

  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeBackground; }

  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  bool IsBound() const { return bound_; }
  BackgroundProjection GetProjection() const { return projection_; }
  // The picture the panorama draws from, without its guard rows; bits null
  // before the first bound frame and, with pictures of its own, until the
  // first of them has arrived.
  PixelMap GetPanoramaPicture() const { return image_ ? PictureBetweenGuards(image_->GetPixelMap()) : PixelMap{}; }
  // The frame is copied from the view's back image, drawn there once the
  // view had been still for a few frames and the picture had settled.
  bool IsRefined() const { return refined_; }
  // A bound node with the same projection hands its panorama over, so that
  // the one binding after it draws without making another.
  void TakeOverPanorama(CBackgroundNode& other);
  PanoContext* GetPanoContext() const override { return context_.get(); }

  MFString frontUrl{};
  MFString rightUrl{};
  MFString backUrl{};
  MFString leftUrl{};
  MFString topUrl{};
  MFString bottomUrl{};
  MFColor groundColor{};
  MFColor skyColor{};
  MFFloat groundAngle{};
  MFFloat skyAngle{};

 protected:
  ~CBackgroundNode() override;

 private:
  BackgroundBands Bands(const CViewContext& view) const;
  void NoteParents(const CViewContext& view);
  void FindParentsInScene(const CViewContext& view);
  void TurnLikeParents(const CMatrix4& parents);
  bool HasFaceUrls() const;
  CBackgroundCube::FaceUrls FaceUrls() const;
  void FollowOutput(CViewContext& view);
  void FollowCamera(CViewContext& view);
  void Unbind(CViewContext& view);
  void Bind(CViewContext& view);
  void MakeContext(CViewContext& view);
  void StepFaces(CViewContext& view);
  void MakeCubeImage(CViewContext& view);
  void MakeSphereImage(CViewContext& view);
  void PaintBands(CViewContext& view);
  void DrawFrame(CViewContext& view);
  // Every face picture has arrived or failed for good; bands alone always are.
  bool PictureSettled() const;
  bool ViewStill(CViewContext& view);
  void Refine(CViewContext& view);

  std::unique_ptr<PanoContext> context_;
  std::unique_ptr<CDibImage> image_;
  CBackgroundCube cube_;
  PixelMap output_;
  BackgroundProjection projection_ = BackgroundProjection::kCube;
  bool bound_ = false;
  bool bindRequest_ = false;
  bool unbindRequest_ = false;
  bool bandsChanged_ = false;
  bool prepared_ = false;
  // The turn from the world into the node's space, from the parents' matrix
  // of its last visit in the scene.
  CMatrix4 fromWorld_;
  // The scene visited the node since it was last drawn; its parents were
  // looked for in the scene since its last visit.
  bool visitedInScene_ = false;
  bool foundInScene_ = false;
  StillView lastView_;
  int32_t stillFrames_ = 0;
  bool refined_ = false;
  // The back image's size when the frame was last drawn into it.
  int32_t refinedWidth_ = 0;
  int32_t refinedHeight_ = 0;
};

void RegisterBackgroundNode(NodeClassTable& table);

}  // namespace vx
