// What multi-frame formats (GIF, tile descriptors) share: the frame target
// and the frame reference by index.
#pragma once

#include <cstdint>

#include "engine/media/MediaObject.h"
#include "engine/media/MediaTypes.h"

namespace vx {

class CDibImage;

// The image a format's DrawFrame draws into, set by the caller around each
// draw. Set without an image it stands for the object's own image; until
// set, and once cleared, there is none.
class CFrameTarget {
 public:
  void Set(CDibImage* image) {
    set_ = true;
    image_ = image;
  }
  void Clear() {
    set_ = false;
    image_ = nullptr;
  }
  bool IsSet() const { return set_; }
  // Null for the object's own image.
  CDibImage* Image() const { return image_; }

 private:
  bool set_ = false;
  CDibImage* image_ = nullptr;
};

// A frame the format finds by its index (a GIF frame, a descriptor tile);
// the caller that asked for it owns it.
class CFrameIndexRef final : public FrameRef {
 public:
  explicit CFrameIndexRef(int32_t index) : index_(index) {}
  int32_t Index() const { return index_; }

 private:
  int32_t index_;
};

// A media object whose DrawFrame draws into a frame target that the caller
// sets and clears around each draw.
class CFrameTargetMedia : public CMediaObject {
 public:
  // Null draws into the object's own image.
  int32_t SetFrameTarget(CDibImage* target) override {
    frameTarget_.Set(target);
    return 0;
  }
  int32_t ClearFrameTarget() override {
    frameTarget_.Clear();
    return 0;
  }

 protected:
  const CFrameTarget& FrameTarget() const { return frameTarget_; }

 private:
  CFrameTarget frameTarget_;
};

}  // namespace vx
