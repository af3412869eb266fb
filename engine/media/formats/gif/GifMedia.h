// GIF pictures and animations as media objects. The whole file is
// downloaded first and read into memory at load, with frame 0 drawn. After
// Play the frames follow one another once through, each shown for its own
// delay on the world's clock (CMediaObject::WorldTime): an Update draws, in
// order, every frame that has come due, so the animation keeps its pace at
// any frame rate. The frames also form a one-column frame grid that
// frame-set textures draw from. A file with a transparent index keeps the
// opacity of the object's image (GetAlpha): the screen starts transparent
// and each frame drawn makes its pixels opaque, except those of its
// transparent index, which keep what an earlier frame drew there.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/MediaObject.h"
#include "engine/media/formats/FrameTarget.h"
#include "engine/media/formats/gif/GifFile.h"

namespace vx {

class CGifMedia final : public CFrameTargetMedia {
 public:
  int16_t GetFrameGrid(FrameGrid* out) override;
  void SetFrameGrid(const FrameGrid& grid) override { grid_ = grid; }
  MediaType GetTypeCode() const override { return MediaType::Gif; }

  // While playing the first frame comes at the next Update.
  void Rewind() override;
  // Starts the frames' clock now and draws the first frame; played again in
  // the step in which it ran out (a loop), the first frame follows the last
  // one's delay without a gap.
  void Play() override;
  void Stop() override { playing_ = false; }
  int32_t GetPosition() override { return currentFrame_; }
  float GetDuration() override { return static_cast<float>(FrameCount()); }
  float IsPlaying() override { return playing_ ? 1.0f : 0.0f; }
  bool ChangesByItself() const override { return playing_; }
  // While playing, draws the frames that have come due into the object's
  // image; once the last frame's delay has passed playing stops.
  void Update() override;
  int32_t Load() override;

  // The frame at row + column x (frames down), modulo the frame count.
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override;
  // Draws the frame into the frame target (the destination is not used).
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override;

  int32_t FrameCount() const { return static_cast<int32_t>(file_.images.size()); }

 private:
  int64_t NowMs() const;
  void DrawDueFrames();
  GifCanvas CanvasOn(const PixelMap& target, int32_t firstRow, int32_t firstColumn) const;
  // The object's image, where the picture's placement put it, with the
  // screen's opacity when the file has transparency.
  GifCanvas ImageCanvas();

  GifFile file_;
  bool loaded_ = false;
  int32_t currentFrame_ = 0;  // the next frame to draw
  bool playing_ = false;
  int64_t nextDueMs_ = 0;    // world time at which the next frame is due
  int64_t ranOutAtMs_ = -1;  // world time of the step in which the last run ended
  int64_t runMs_ = 0;        // the delays of all frames
  FrameGrid grid_;
  int16_t gridValid_ = 0;
};

}  // namespace vx
