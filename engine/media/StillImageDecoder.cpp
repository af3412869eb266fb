#include "engine/media/StillImageDecoder.h"

#include <algorithm>

#include "engine/media/MediaLimits.h"

namespace vx {
namespace {

// The part of the placement's rectangle inside an image of that size.
Placement ClipPlacement(const Placement& placement, int32_t imageWidth, int32_t imageHeight) {
  const int32_t width = std::max(imageWidth, 0);
  const int32_t height = std::max(imageHeight, 0);
  const int32_t top = std::clamp<int32_t>(placement.rowOffset, 0, height);
  const int32_t left = std::clamp<int32_t>(placement.columnOffset, 0, width);
  const int32_t bottom = std::clamp<int32_t>(int32_t{placement.rowOffset} + placement.height, top, height);
  const int32_t right = std::clamp<int32_t>(int32_t{placement.columnOffset} + placement.width, left, width);
  return Placement{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom - top),
                   static_cast<int16_t>(right - left)};
}

}  // namespace

DecodeStatus CheckPictureSize(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return DecodeStatus::Corrupt;
  return width * height <= kMaxPicturePixels ? DecodeStatus::Complete : DecodeStatus::Corrupt;
}

MediaLoadState LoadStateAfterDecode(DecodeStatus status, bool fileIsLocal) {
  if (status == DecodeStatus::Complete) return MediaComplete;
  if (status == DecodeStatus::Pending) return MediaDownloading;
  return fileIsLocal ? MediaUnusable : MediaFailedNoFile;
}

PictureWindow WindowForPlacement(const PixelMap& image, const Placement& placement, PictureSize picture) {
  const Placement visible = ClipPlacement(placement, image.width, image.height);
  const int32_t firstRow = visible.rowOffset - placement.rowOffset;
  const int32_t firstColumn = visible.columnOffset - placement.columnOffset;
  const int32_t height = std::min<int32_t>(visible.height, picture.height - firstRow);
  const int32_t width = std::min<int32_t>(visible.width, picture.width - firstColumn);
  PictureWindow window;
  if (!image.bits || height <= 0 || width <= 0) return window;
  window.target = image;
  window.target.bits = image.Row(visible.rowOffset) + visible.columnOffset * image.bytesPerPixel;
  window.target.width = static_cast<uint16_t>(width);
  window.target.height = static_cast<uint16_t>(height);
  window.firstRow = firstRow;
  window.firstColumn = firstColumn;
  return window;
}

}  // namespace vx
