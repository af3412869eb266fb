// GIF pictures and animations as media objects. The whole file is
// downloaded first and read into memory at load, with frame 0 drawn. After
// Play, each Update draws the next frame, once through. The frames also
// form a one-column frame grid that frame-set textures draw from.
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

  void Rewind() override { currentFrame_ = 0; }
  void Play() override { playing_ = true; }
  void Stop() override { playing_ = false; }
  int32_t GetPosition() override { return currentFrame_; }
  float GetDuration() override { return static_cast<float>(FrameCount()); }
  float IsPlaying() override { return playing_ ? 1.0f : 0.0f; }
  // While playing, draws the current frame into the object's image and
  // moves on; past the last frame playing stops.
  void Update() override;
  int32_t Load() override;

  // The frame at row + column x (frames down), modulo the frame count.
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override;
  // Draws the frame into the frame target (the destination is not used).
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override;

  int32_t FrameCount() const { return static_cast<int32_t>(file_.images.size()); }

 private:
  GifCanvas CanvasOn(const PixelMap& target, int32_t firstRow, int32_t firstColumn) const;
  // The object's image, where the picture's placement put it.
  GifCanvas ImageCanvas() const;

  GifFile file_;
  bool loaded_ = false;
  int32_t currentFrame_ = 0;
  bool playing_ = false;
  FrameGrid grid_;
  int16_t gridValid_ = 0;
};

}  // namespace vx
