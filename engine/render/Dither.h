// Floyd-Steinberg error diffusion of xRGB images to a palette, with serpentine
// rows and errors kept in sixteenths.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vx {

// How to map a dithered colour to the palette: an inverse map quantised to
// the given channel depths and the palette as R, G, B byte triples.
struct DitherPalette {
  const uint8_t* inverseMap = nullptr;
  int32_t redBits = 5;
  int32_t greenBits = 5;
  int32_t blueBits = 5;
  std::span<const uint8_t> triples;
};

// Writes width x height palette indices. Source rows are packed (width x 4
// bytes apart).
void DitherToPalette(const uint32_t* source, int32_t width, int32_t height, const DitherPalette& palette,
                     uint8_t* destination, int32_t destinationRowBytes);

// The same with source rows sourceRowBytes apart (rounded down to whole pixels).
void DitherToPalettePitched(const uint32_t* source, int32_t width, int32_t height, const DitherPalette& palette,
                            uint8_t* destination, int32_t destinationRowBytes, int32_t sourceRowBytes);

// Limits an error in sixteenths-rounded units: addressed from -255 to 255.
class ErrorLimitTable {
 public:
  ErrorLimitTable();
  int16_t operator[](int32_t error) const { return table_[static_cast<size_t>(error + kRange)]; }
  static constexpr int32_t kRange = 255;

 private:
  std::vector<int16_t> table_;
};

// Clamps a value to 0..255: addressed from -255 to 510.
class RangeLimitTable {
 public:
  RangeLimitTable();
  uint8_t operator[](int32_t value) const { return table_[static_cast<size_t>(value + kBelow)]; }
  static constexpr int32_t kBelow = 255;
  static constexpr int32_t kAbove = 255;

 private:
  std::vector<uint8_t> table_;
};

}  // namespace vx
