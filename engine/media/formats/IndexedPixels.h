// Pixels of decoded pictures in the three forms of the media images: a
// colour becomes the image's pixel value once (through ColorToPixelValues),
// and indexed pictures (GIF, 8-bit BMP) turn their whole colour table into
// pixel values before the first row, so each pixel is one look-up.
#pragma once

#include <array>
#include <cstdint>

#include "engine/render/Palette.h"
#include "engine/render/PixelMap.h"

namespace vx {

inline constexpr int32_t kIndexedColors = 256;

// Entries past a file's own table stay black.
using IndexedColorTable = std::array<FloatColor, kIndexedColors>;

// The value of the colour in a pixel of that size: a palette index through
// the 5:5:5 inverse map (0 without one), a 5:5:5 word, or 0x00RRGGBB.
uint32_t PixelValueOf(const FloatColor& color, int32_t bytesPerPixel, const uint8_t* inverseMap555);

// The value of 8-bit red, green and blue samples in a pixel of that size.
uint32_t RgbPixelValue(uint8_t red, uint8_t green, uint8_t blue, int32_t bytesPerPixel, const uint8_t* inverseMap555);

// Writes the value into column x of the row, in the pixel size given.
void StorePixelValue(uint8_t* row, int32_t x, int32_t bytesPerPixel, uint32_t value);

class CIndexedPixels {
 public:
  CIndexedPixels(const IndexedColorTable& colors, int32_t bytesPerPixel, const uint8_t* inverseMap555);

  uint32_t Value(uint8_t index) const { return values_[index]; }
  void Store(uint8_t* row, int32_t x, uint8_t index) const { StorePixelValue(row, x, bytesPerPixel_, values_[index]); }

 private:
  std::array<uint32_t, kIndexedColors> values_{};
  int32_t bytesPerPixel_;
};

}  // namespace vx
