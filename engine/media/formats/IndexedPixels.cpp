#include "engine/media/formats/IndexedPixels.h"

#include <cstring>

namespace vx {

uint32_t PixelValueOf(const FloatColor& color, int32_t bytesPerPixel, const uint8_t* inverseMap555) {
  uint32_t xrgb = 0;
  uint16_t c555 = 0;
  uint8_t index = 0;
  ColorToPixelValues(color, inverseMap555, &xrgb, &c555, &index);
  if (bytesPerPixel == 1) return index;
  return bytesPerPixel == 2 ? c555 : xrgb;
}

uint32_t RgbPixelValue(uint8_t red, uint8_t green, uint8_t blue, int32_t bytesPerPixel, const uint8_t* inverseMap555) {
  if (bytesPerPixel == 4) return (uint32_t{red} << 16) | (uint32_t{green} << 8) | blue;
  constexpr float kByteToUnit = 1.0f / 255.0f;
  return PixelValueOf(FloatColor{red * kByteToUnit, green * kByteToUnit, blue * kByteToUnit}, bytesPerPixel,
                      inverseMap555);
}

void StorePixelValue(uint8_t* row, int32_t x, int32_t bytesPerPixel, uint32_t value) {
  if (bytesPerPixel == 1) {
    row[x] = static_cast<uint8_t>(value);
  } else if (bytesPerPixel == 2) {
    const auto word = static_cast<uint16_t>(value);
    std::memcpy(row + static_cast<ptrdiff_t>(x) * 2, &word, sizeof word);
  } else if (bytesPerPixel == 4) {
    std::memcpy(row + static_cast<ptrdiff_t>(x) * 4, &value, sizeof value);
  }
}

CIndexedPixels::CIndexedPixels(const IndexedColorTable& colors, int32_t bytesPerPixel, const uint8_t* inverseMap555)
    : bytesPerPixel_(bytesPerPixel) {
  for (int32_t i = 0; i < kIndexedColors; ++i) values_[i] = PixelValueOf(colors[i], bytesPerPixel, inverseMap555);
}

}  // namespace vx
