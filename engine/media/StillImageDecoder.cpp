#include "engine/media/StillImageDecoder.h"

#include <algorithm>

#include "engine/media/MediaLimits.h"

namespace vx {

DecodeStatus CheckPictureSize(int64_t width, int64_t height) {
  if (width < 1 || height < 1 || width > kMaxPictureSide || height > kMaxPictureSide) return DecodeStatus::Corrupt;
  return width * height <= kMaxPicturePixels ? DecodeStatus::Complete : DecodeStatus::Corrupt;
}

MediaLoadState LoadStateAfterDecode(DecodeStatus status, bool fileIsLocal) {
  if (status == DecodeStatus::Complete) return MediaComplete;
  if (status == DecodeStatus::Pending) return MediaDownloading;
  return fileIsLocal ? MediaUnusable : MediaFailedNoFile;
}

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

}  // namespace vx
