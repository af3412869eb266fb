// The frame target of a multi-frame format: the image its DrawFrame draws
// into, set by the caller around each draw. Set without an image it stands
// for the object's own image; until set, and once cleared, there is none.
#pragma once

namespace vx {

class CDibImage;

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

}  // namespace vx
