// Vista (version 1.5): a bindable panorama background. Its picture is the
// ImageTexture (url entries tried in turn) or MovieTexture in its `texture`
// field, or, when neither gives one, a sky and ground painted from its
// colours. It draws both eyes of a stereo view, and once the camera has
// rested it draws one finer still frame into the view's back image and
// shows that until the camera moves. Binding and unbinding are asked for by
// set_bind and carried out on the node's next traversal; the host hears of
// both.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/pano/nodes/SkyStandIn.h"
#include "engine/pano/nodes/VistaBase.h"

namespace vx {

class CMovieTextureNode;
class NodeClassTable;

class CVistaNode : public CVistaBase {
 public:
  CVistaNode();

  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // The painted sky picture; null while the node shows another picture.
  const CDibImage* GetSkyImage() const { return sky_.get(); }
  bool IsSkyDirty() const { return skyDirty_; }
  // The still frame is in the back image and shown instead of drawing.
  bool IsStillFrameShown() const { return stillFrameShown_; }
  // The inverse colour map of the view the node was bound in; null before.
  const uint8_t* GetInverseColorMap() const { return inverseMap_; }

  MFNode texture{};
  MFVec2f vFov{};
  MFVec2f hFov{};
  MFColor groundColor{};
  MFColor skyColor{};
  MFFloat groundAngle{};
  MFFloat skyAngle{};
  int16_t stereo = 0;

 protected:
  ~CVistaNode() override;

  SFVec2f VerticalExtent() const override;
  SFVec2f HorizontalExtent() const override;
  void StoreVerticalExtent(const SFVec2f& extent) override;
  bool IsStereoPicture() const override { return stereo != 0; }
  MediaCallback PictureCallback() override;

 private:
  friend void PaintVistaSkyGround(int32_t message, CDibImage* image, CVistaNode* node);

  PanoAngles FollowCamera(CViewContext& view);
  void Bind(CViewContext& view);
  void Unbind(CViewContext& view);
  void HandOverTo(CVistaNode& next);
  void ChoosePicture(CViewContext& view);
  void MakeSkyImage(CViewContext& view);
  void KeepMovieFrames(CViewContext& view);
  void CopyMovieFrame();
  int32_t StepPicture(CViewContext& view);
  [[nodiscard]] bool Draw(CViewContext& view, int32_t state);
  [[nodiscard]] bool DrawEyes(CViewContext& view);
  [[nodiscard]] bool DrawPanorama(CViewContext& view);
  const CDibImage* StandInSky(CViewContext& view);
  PixelMap EyeOutput(int32_t eye, bool sideBySide) const;
  void RefineStillFrame(CViewContext& view, int32_t state);
  CNode* TextureNode() const;
  CMovieTextureNode* MovieTexture() const;

  std::unique_ptr<CDibImage> sky_;
  // The sky shown in place of a picture's frame that cannot be drawn.
  std::unique_ptr<CDibImage> standInSky_;
  bool standInSkyDirty_ = true;
  CSkyStandIn standIn_;
  // A movie's frames are copied into a picture with guard rows, which the
  // movie's own image lacks.
  PixelMap movieFrame_{};
  std::unique_ptr<CDibImage> movieCopy_;
  const uint8_t* inverseMap_ = nullptr;
  bool bindRequest_ = false;
  bool unbindRequest_ = false;
  bool skyDirty_ = true;
  bool movie_ = false;
  // The still frame: frames the camera has rested, the camera last seen,
  // and the back image size the frame was drawn for.
  int32_t stillFrames_ = 0;
  bool stillFrameShown_ = false;
  PanoramaCamera lastCamera_{};
  int32_t backWidth_ = 0;
  int32_t backHeight_ = 0;
};

// Paints the node's sky and ground into the image (the placeholder when its
// colours and angles do not match); the node's sky is clean afterwards. The
// message is not read. Also the frame callback of the node's pictures.
void PaintVistaSkyGround(int32_t message, CDibImage* image, CVistaNode* node);

// "Vista": the version-1.5 class once the file declared its prototype, else
// the legacy class (which marks the world as holding one).
void RegisterVistaNodes(NodeClassTable& table);

}  // namespace vx
