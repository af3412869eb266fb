// AVI movies. The sound plays on an "avivideo" device of the platform's
// command table with its video switched off; the pictures come from the
// platform's AVI reader. While the movie plays, every step asks the device
// for its position in frames and draws that frame into the movie's image,
// unless it is already there. Frames are also
// reachable one by one through the frame grid (one column, a row per frame).
// A movie opened for its sound only makes no image of its own.
//
// Volume and balance go out as "setaudio" left and right volumes 0..1000,
// each only when it changed. The first movie device opened in the process
// saves the volumes it finds; they are given back when the last one closes.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/formats/SoundPlayback.h"

namespace vx {

class AviFile;

inline constexpr int32_t kAviLevelScale = 1000;

class CAviMovie final : public CPlayedMedia {
 public:
  // MPEG-1 movies are this class too, answering their own type.
  explicit CAviMovie(bool withVideo, MediaType type = MediaType::Avi);
  ~CAviMovie() override;

  MediaType GetTypeCode() const override { return type_; }
  int16_t GetFrameGrid(FrameGrid* out) override;
  void SetFrameGrid(const FrameGrid& grid) override;
  // Frames a millisecond while the movie has some way to go, else 0.
  float IsPlaying() override;
  void Update() override;
  int32_t Load() override;
  int32_t SetFrameTarget(CDibImage* target) override;
  // The row is the frame number; null without a player or for a row outside
  // the movie.
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override;
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override;
  int32_t ClearFrameTarget() override;
  // The movie plays its sound only from then on.
  void HideVideo() { withVideo_ = false; }

 protected:
  void ReleasePlayer() override;
  void SendLevels(const ChannelLevels& levels) override;
  int32_t LevelScale() const override { return kAviLevelScale; }

 private:
  [[nodiscard]] bool OpenSound();
  void CloseSound();
  // Draws frame n 1:1 into the image; false when there is no such frame.
  bool DrawInto(int32_t n, CDibImage& image);

  bool withVideo_;
  MediaType type_;
  CDibImage* frameTarget_ = nullptr;
  FrameGrid grid_;
  bool gridValid_ = false;
  std::unique_ptr<AviFile> file_;
  int32_t lastFetched_ = -1;
  int32_t lastLeft_ = -1;
  int32_t lastRight_ = -1;
  bool soundCounted_ = false;  // counted among the open movie devices
};

}  // namespace vx
