// What the two image-object nodes share: a picture, a looping movie or an
// object movie (a grid of frames photographed around an object, one shown
// by the view angles) opened from the first of their filenames that loads,
// the view angles that drags and an automatic rate turn, and the click and
// over events. CWorldIMobNode shows the image on a quad in the world,
// CScreenIMobNode over the finished frame.
//
// The media exist only between the load pass (1) and the unload pass (2);
// a load after an unload starts again from the first filename.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/media/MediaHandle.h"
#include "engine/media/nodes/PlaybackRun.h"
#include "engine/media/nodes/SlideShowTextureNode.h"
#include "engine/media/nodes/TextureLoad.h"
#include "engine/scene/Node.h"
#include "engine/world/ObjectMovieView.h"

namespace vx {

// The eventOuts of both image objects.
inline constexpr FieldSpec kImageObjectEventOuts[] = {
    Event("clickPt", FieldTypeSFVec2f),
    Event("overPt", FieldTypeSFVec2f),
    Event("goodClick", FieldTypeSFBool),
    Event("goodOver", FieldTypeSFBool),
};

// What the "type" field asks for.
enum class ImageObjectType { kSphere, kDisk, kPicture, kMovie, kUnknown };
ImageObjectType ImageObjectTypeByName(std::string_view name);

class CImageObjectNode : public CNode {
 public:
  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  void OnPointerDrag(int32_t button, float dx, float dy) override;

  bool IsLoaded() const { return loaded_; }
  // The handle in use; null when no filename made one.
  CMediaHandle* Handle() const { return load_ ? load_->Get() : nullptr; }
  const ObjectViewAngles& GetViewAngles() const { return angles_; }
  // The indices of the last frame choice; -1 each after a load.
  const FrameIndices& GetFrameIndices() const { return frameIndices_; }
  bool IsMoviePlaying() const { return run_.IsPlaying(); }

  MFString filename{};
  MFString maskFilename{};
  float opacity = 1.0f;
  SFString type{};
  MFInt32 quantization{};
  MFFloat range{};
  MFFloat defaultView{};
  MFTime animRate{};
  SFColor blueScreen{};
  int16_t interactive = 1;

 protected:
  CImageObjectNode() = default;
  ~CImageObjectNode() override = default;

  // Opens the first filename for the type and sets the view angles from
  // defaultView.
  virtual void Load(CViewContext& view);
  virtual void Frame(CViewContext& view) = 0;
  virtual void Unload(CViewContext& view);
  // The colour the decoder fills (and keys) with.
  virtual FloatColor FillColor() const { return {}; }
  // The colour that tile masks show through; none by default.
  virtual std::optional<FloatColor> MaskColor() const { return std::nullopt; }
  // Changes the first axis for a vertical drag over a range of that width.
  virtual void DragFirstAxis(float rangeWidth, float dy);
  // A drag that would leave the finite numbers is ignored, so the angles
  // stay usable.
  static void AddFinite(float& value, float change);

  ImageObjectType Type() const { return ImageObjectTypeByName(TextOf(type)); }
  // Keying is on when every component of blueScreen is 0 or more.
  bool BlueScreenKeys() const;
  // One loading step; a filename that failed gives way to the next.
  void StepMedia(CViewContext& view);
  // Takes the handle's picture when it has one; false (and an empty
  // record) otherwise.
  bool TakeImage();
  const PixelMap& Image() const;
  // Keeps the movie playing and starts it again each time it ends.
  void ControlMovie(bool withBalance);
  // Moves the view angles on by a frame of the view's world and shows the
  // object movie's frame for them.
  void ChooseFrame(const CViewContext& view);
  // The frame set in use, else null.
  CFrameSetTexture* FrameSet() const;
  void SendPointerEvents(const char* flagEvent, const char* pointEvent, const SFVec2f& point);

  ObjectViewAngles angles_{};

 private:
  ObjectMovieAxes Axes() const;

  std::unique_ptr<CTextureLoad<CMediaHandle>> load_;
  CPlaybackRun run_;
  CFrameChoice choice_;
  FrameIndices frameIndices_{-1, -1, -1};
  bool loaded_ = false;
};

}  // namespace vx
