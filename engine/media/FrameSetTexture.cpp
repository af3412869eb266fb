#include "engine/media/FrameSetTexture.h"

namespace vx {

CFrameSetTexture::CFrameSetTexture(std::unique_ptr<CMediaObject> media) : CMediaHandle(std::move(media)) {
  ids_.fill(-1);
}

CFrameSetTexture::~CFrameSetTexture() { ClearFrames(); }

int32_t CFrameSetTexture::Process() {
  if (!media_) return state_;
  if (state_ == MediaDecoding) state_ = MediaComplete;
  if (state_ != MediaComplete) state_ = media_->Process();
  return state_;
}

int32_t CFrameSetTexture::DrawFrameAt(const FramePosition& pos, CDibImage* target) {
  FrameRef* frame = GetFrame(pos);
  if (!frame) return 0;
  static_cast<void>(media_->SetFrameTarget(target));
  static_cast<void>(media_->DrawFrame(frame, nullptr));
  return media_->ClearFrameTarget();
}

int16_t CFrameSetTexture::GetFrameGrid(FrameGrid* out) { return media_ ? media_->GetFrameGrid(out) : 0; }

FrameRef* CFrameSetTexture::GetFrame(const FramePosition& pos) {
  if (!media_ || state_ != MediaComplete) return nullptr;
  if (!gridKnown_) gridKnown_ = media_->GetFrameGrid(&grid_);
  if (!gridKnown_) return nullptr;
  const int32_t number = FrameNumber(pos);
  if (FrameRef* remembered = FindFrame(number)) return remembered;
  std::unique_ptr<FrameRef> frame = media_->GetFrameRef(pos);
  if (!frame) {
    // The format may have run out of room for frames: free the ring, try once more.
    ClearFrames();
    frame = media_->GetFrameRef(pos);
  }
  if (!frame) {
    ClearFrames();
    return nullptr;
  }
  FrameRef* kept = frame.get();
  AddFrame(number, std::move(frame));
  return kept;
}

int32_t CFrameSetTexture::SetFrameTarget(CDibImage* target) {
  return media_ ? media_->SetFrameTarget(target) : kMediaNoAnswer;
}

int32_t CFrameSetTexture::DrawFrame(FrameRef* frame, const PixelMap* destination) {
  return media_ ? media_->DrawFrame(frame, destination) : kMediaNoAnswer;
}

int32_t CFrameSetTexture::ClearFrameTarget() { return media_ ? media_->ClearFrameTarget() : kMediaNoAnswer; }

int32_t CFrameSetTexture::GetFrameFlags() { return media_ ? media_->GetFrameFlags() : 0; }

int16_t CFrameSetTexture::GetFrameStyle() { return media_ ? media_->GetFrameStyle() : 0; }

void CFrameSetTexture::AddFrame(int32_t id, std::unique_ptr<FrameRef> frame) {
  ids_[ringPosition_] = id;
  frames_[ringPosition_] = std::move(frame);
  ringPosition_ = (ringPosition_ + 1) % kFrameRingSize;
}

FrameRef* CFrameSetTexture::FindFrame(int32_t id) const {
  if (id < 0) return nullptr;
  for (int32_t back = 1; back <= kFrameRingSize; ++back) {
    const int32_t index = (ringPosition_ - back + kFrameRingSize) % kFrameRingSize;
    if (ids_[index] == id) return frames_[index].get();
  }
  return nullptr;
}

void CFrameSetTexture::ClearFrames() {
  for (auto& frame : frames_) frame.reset();
  ids_.fill(-1);
  ringPosition_ = 0;
}

int32_t CFrameSetTexture::FrameNumber(const FramePosition& pos) const {
  return gridKnown_ ? FrameIndexInGrid(grid_, pos) : -1;
}

}  // namespace vx
