// QuickTime movies (".mov", ".snm") through the platform's QuickTime layer.
// One instance of the movie plays the sound and keeps the time under a
// controller, with its visual tracks switched off; a second instance of the
// same file supplies the pictures, drawn into the movie's image at the
// current time on every step.
//
// The frames are also a frame grid: an object movie's frames go down one
// column, frame duration from its "NAVG" item when it has one; a "REAL"
// item gives frames across and down and a rotation; a panorama movie (one
// with a "STpn" track) lies along one row, turned a quarter, with its
// columns counted from the right.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/formats/FrameTarget.h"
#include "platform/media/QuickTime.h"

namespace vx {

// Rotation of a panorama movie's frames when no "REAL" item gives one.
inline constexpr int32_t kPanoramaMovieRotation = -90;

class CQuickTimeMovie final : public CFrameTargetMedia {
 public:
  // Without video the movie plays its sound only and makes no image.
  explicit CQuickTimeMovie(bool withVideo);
  ~CQuickTimeMovie() override;

  int16_t GetFrameGrid(FrameGrid* out) override;
  void SetFrameGrid(const FrameGrid& grid) override;
  MediaType GetTypeCode() const override { return MediaType::QuickTime; }
  // Its player says whether it runs only when asked, which costs a call:
  // an open movie counts as running.
  bool ChangesByItself() const override { return movie_ != nullptr; }
  void Rewind() override;
  void Play() override;
  void Stop() override;
  // In movie time units.
  int32_t GetPosition() override;
  float GetDuration() override;
  // The play rate's whole part; 0 once the time reached the end.
  float IsPlaying() override;
  // The volume goes out as 8.8 fixed point, 1.0 as 256.
  void SetVolume(float volume) override;
  void Update() override;
  int32_t Load() override;
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override;
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override;
  // The rotation of the frames; non-zero turns them as they are drawn.
  int32_t GetFrameFlags() override { return rotation_; }
  int16_t GetFrameStyle() override { return panorama_ ? 1 : 0; }

 private:
  void Close();
  // Draws the picture of the current time into the image, unless it is there.
  void DrawCurrentPicture();
  // Switches the played movie's visual tracks off, so it keeps only its sound.
  void HideVisualTracks();
  // Marks panorama tracks and switches visual ones on.
  void PassTracks();
  void Prepare();
  // The visual track whose media is drawn, 0 for none.
  int32_t ChooseVisualTrack();
  [[nodiscard]] bool ReadFrameTiming(int32_t track);
  void SetUpFrameGrid();
  // The item when the movie has it and it is at least `size` bytes long.
  [[nodiscard]] bool FindUserData(uint32_t type, size_t size, std::vector<uint8_t>* bytes);

  bool withVideo_;
  std::unique_ptr<QtMovie> movie_;
  bool hasVisualMedia_ = false;
  uint32_t frameDuration_ = 0;
  uint32_t frameCount_ = 0;
  int16_t frameWidth_ = 0;
  int16_t frameHeight_ = 0;
  std::unique_ptr<QtController> controller_;
  int32_t timeScale_ = 0;
  uint32_t duration_ = 0;
  int32_t preferredRate_ = 0;
  QtRect box_;
  std::unique_ptr<QtMovie> pictures_;
  int32_t rotation_ = 0;
  bool panorama_ = false;
  bool gridValid_ = false;
  bool otherVisualMedia_ = false;
  FrameGrid grid_;
  int64_t drawnTime_ = -1;  // the time whose picture the image shows
};

}  // namespace vx
