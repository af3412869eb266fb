#include "engine/media/formats/pict/PictMedia.h"

#include "engine/media/formats/quicktime/QuickTimePicture.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/render/DibImage.h"

namespace vx {
namespace {

// The frame must start at or after the origin and cover at least a pixel
// to the right and below it.
bool UsableFrame(const QtRect& frame) {
  return frame.left >= 0 && frame.left <= frame.right && frame.right > 0 && frame.top >= 0 &&
         frame.top <= frame.bottom && frame.bottom > 0;
}

}  // namespace

int32_t CPictMedia::Load() {
  if (QuickTime().OpenPicture(LocalPath().c_str(), &picture_) != kQuickTimeOk || !picture_) {
    picture_.reset();
    return MediaUnusable;
  }
  return MediaDecoding;
}

// The picture is drawn over its frame's size wherever the image's placement
// puts it, so a frame away from the origin loses nothing.
int32_t CPictMedia::DecodeStep() {
  if (!picture_ || !UsableFrame(picture_->frame)) return MediaUnusable;
  const QtRect& frame = picture_->frame;
  const int64_t width = static_cast<int64_t>(frame.right) - frame.left;
  const int64_t height = static_cast<int64_t>(frame.bottom) - frame.top;
  if (int32_t failure = MediaUnusable; !RequestImage(static_cast<int32_t>(width), static_cast<int32_t>(height), &failure))
    return failure;
  const Placement& placement = GetPlacement();
  const QtRect rect{placement.columnOffset, placement.rowOffset, static_cast<int32_t>(placement.columnOffset + width),
                    static_cast<int32_t>(placement.rowOffset + height)};
  PaletteTable palette;
  GetPalette(&palette);
  const bool drawn = DrawQtPicture(*picture_, Image()->GetPixelMap(), rect, palette);
  picture_.reset();
  if (!drawn) return MediaUnusable;
  RefreshImageInfo();
  return MediaComplete;
}

}  // namespace vx
