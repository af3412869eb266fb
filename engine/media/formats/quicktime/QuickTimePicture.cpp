#include "engine/media/formats/quicktime/QuickTimePicture.h"

#include <algorithm>
#include <vector>

#include "engine/media/MediaLimits.h"
#include "engine/media/SharedInverseMap.h"

namespace vx {
namespace {

constexpr uint16_t kXrgbBytes = 4;

PixelMap XrgbMap(const uint32_t* pixels, int64_t width, int64_t height) {
  PixelMap map;
  map.bits = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels));
  map.width = static_cast<uint16_t>(width);
  map.height = static_cast<uint16_t>(height);
  map.bytesPerPixel = kXrgbBytes;
  map.rowBytes = static_cast<int32_t>(width) * kXrgbBytes;
  return map;
}

bool Fits(int64_t side) { return side > 0 && side <= kMaxPictureSide; }

}  // namespace

bool DrawQtPicture(const QtPicture& picture, const PixelMap& target, const QtRect& rect, const PaletteTable& palette) {
  if (!Fits(picture.width) || !Fits(picture.height) ||
      picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height))
    return false;
  const int64_t width = static_cast<int64_t>(rect.right) - rect.left;
  const int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
  if (!Fits(width) || !Fits(height)) return false;
  const int64_t left = std::max<int64_t>(rect.left, 0);
  const int64_t top = std::max<int64_t>(rect.top, 0);
  const int64_t right = std::min<int64_t>(rect.right, target.width);
  const int64_t bottom = std::min<int64_t>(rect.bottom, target.height);
  if (!target.bits || left >= right || top >= bottom) return true;

  const PixelMap source = XrgbMap(picture.pixels.data(), picture.width, picture.height);
  std::vector<uint32_t> stretched;
  PixelMap sized = source;
  if (width != picture.width || height != picture.height) {
    stretched.resize(static_cast<size_t>(width * height));
    sized = XrgbMap(stretched.data(), width, height);
    StretchPixelMap(source, sized, nullptr, nullptr);
  }
  const uint8_t* inverseMap = target.bytesPerPixel == 1 ? GetSharedInverseMap(palette) : nullptr;
  ConvertPixelMapFrom32(PixelMapPart(sized, left - rect.left, top - rect.top, right - left, bottom - top),
                        PixelMapPart(target, left, top, right - left, bottom - top), palette, inverseMap);
  return true;
}

}  // namespace vx
