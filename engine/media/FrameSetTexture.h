// A handle on a multi-frame source (block-codebook images, GIF, movies, tile
// descriptors) that remembers the last kFrameRingSize frames it was given,
// so that a texture switching between frames asks the format for each only
// once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/media/MediaHandle.h"

namespace vx {

class CFrameSetTexture : public CMediaHandle {
 public:
  explicit CFrameSetTexture(std::unique_ptr<CMediaObject> media);
  ~CFrameSetTexture() override;

  // A frame set does not wait for decoding in steps: a source that decodes
  // (5) counts as complete (8), and once complete it is not stepped again.
  int32_t Process() override;
  HandleKind GetKind() const override { return HandleKind::FrameSet; }

  // Draws the frame at pos into target; the last call's
  // result, 0 when there is no such frame.
  int32_t DrawFrameAt(const FramePosition& pos, CDibImage* target);
  int16_t GetFrameGrid(FrameGrid* out);
  // The frame at pos, remembered or newly asked of the
  // source; null before the source is complete or when it has no such frame.
  // The frame set keeps it.
  FrameRef* GetFrame(const FramePosition& pos);
  // 9 without a source.
  int32_t SetFrameTarget(CDibImage* target);
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination);
  int32_t ClearFrameTarget();
  int32_t GetFrameFlags();
  int16_t GetFrameStyle();

  // Puts the frame at the ring position (the one there before is deleted)
  // and moves the position on.
  void AddFrame(int32_t id, std::unique_ptr<FrameRef> frame);
  // The entry stored last with that id; null for a negative id or none.
  FrameRef* FindFrame(int32_t id) const;
  void ClearFrames();
  // -1 before the grid is known, and for an order other than 12 and 21.
  int32_t FrameNumber(const FramePosition& pos) const;

 protected:
  int32_t LoadState() const { return state_; }
  void SetLoadState(int32_t state) { state_ = state; }

 private:
  std::array<int32_t, kFrameRingSize> ids_;
  std::array<std::unique_ptr<FrameRef>, kFrameRingSize> frames_;
  int32_t ringPosition_ = 0;
  int32_t state_ = MediaIdle;
  FrameGrid grid_;
  int16_t gridKnown_ = 0;
};

}  // namespace vx
