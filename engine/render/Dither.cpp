#include "engine/render/Dither.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/render/RenderLimits.h"

namespace vx {
namespace {

constexpr int32_t kChannels = 3;

// Error-limit output for a non-negative input: linear to 15, then rising by
// one every second step to 31 at 47, then flat at 32.
int16_t LimitError(int32_t e) {
  if (e < 16) return static_cast<int16_t>(e);
  if (e < 48) return static_cast<int16_t>(16 + (e - 16) / 2);
  return 32;
}

bool ValidPalette(const DitherPalette& palette) {
  auto validBits = [](int32_t bits) { return bits >= 0 && bits <= kMaxInverseMapBits; };
  return palette.inverseMap && validBits(palette.redBits) && validBits(palette.greenBits) &&
         validBits(palette.blueBits);
}

uint32_t LoadPixel(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void DitherRows(const uint8_t* source, ptrdiff_t sourceStride, int32_t width, int32_t height,
                const DitherPalette& palette, uint8_t* destination, ptrdiff_t destinationStride) {
  if (width < 1 || height < 1 || !source || !destination || !ValidPalette(palette)) return;
  static const ErrorLimitTable errorLimit;
  static const RangeLimitTable rangeLimit;

  const int32_t shifts[kChannels] = {8 - palette.redBits, 8 - palette.greenBits, 8 - palette.blueBits};
  const int32_t positions[kChannels] = {palette.greenBits + palette.blueBits, palette.blueBits, 0};
  const int32_t paletteCount = static_cast<int32_t>(palette.triples.size() / kChannels);

  // One entry per channel for columns 0 .. width + 1; column c + 1 is pixel c.
  std::vector<int16_t> errors(static_cast<size_t>(width) * kChannels + 2 * kChannels, 0);
  int32_t cur[kChannels] = {}, below[kChannels] = {}, before[kChannels] = {};

  for (int32_t row = 0; row < height; ++row) {
    const bool leftToRight = row % 2 == 0;
    const int32_t dir = leftToRight ? 1 : -1;
    int32_t column = leftToRight ? 0 : width + 1;  // one behind the pixel
    int32_t x = leftToRight ? 0 : width - 1;
    const uint8_t* sourceRow = source + sourceStride * row;
    uint8_t* destinationRow = destination + destinationStride * row;
    for (int32_t n = 0; n < width; ++n, x += dir, column += dir) {
      const uint32_t pixel = LoadPixel(sourceRow + static_cast<ptrdiff_t>(x) * 4);
      const int16_t* own = &errors[static_cast<size_t>(column + dir) * kChannels];
      int32_t value[kChannels];
      uint32_t mapIndex = 0;
      for (int c = 0; c < kChannels; ++c) {
        const int32_t channel = static_cast<int32_t>((pixel >> (16 - 8 * c)) & 0xFF);
        const int32_t sum = std::clamp((cur[c] + own[c] + 8) >> 4, -ErrorLimitTable::kRange, ErrorLimitTable::kRange);
        value[c] = rangeLimit[channel + errorLimit[sum]];
        mapIndex |= static_cast<uint32_t>(value[c] >> shifts[c]) << positions[c];
      }
      const uint8_t index = palette.inverseMap[mapIndex];
      destinationRow[x] = index;
      int16_t* behind = &errors[static_cast<size_t>(column) * kChannels];
      for (int c = 0; c < kChannels; ++c) {
        const int32_t entry = index < paletteCount ? palette.triples[index * kChannels + c] : value[c];
        const int32_t err = value[c] - entry;
        behind[c] = static_cast<int16_t>(before[c] + 3 * err);
        before[c] = below[c] + 5 * err;
        below[c] = err;
        cur[c] = 7 * err;
      }
    }
    // The pointer now stands at the column of the row's last pixel.
    for (int c = 0; c < kChannels; ++c) errors[static_cast<size_t>(column) * kChannels + c] = static_cast<int16_t>(before[c]);
  }
}

}  // namespace

ErrorLimitTable::ErrorLimitTable() : table_(2 * kRange + 1) {
  for (int32_t e = 0; e <= kRange; ++e) {
    table_[kRange + e] = LimitError(e);
    table_[kRange - e] = static_cast<int16_t>(-LimitError(e));
  }
}

RangeLimitTable::RangeLimitTable() : table_(kBelow + 256 + kAbove, 0) {
  for (int32_t v = 0; v < 256; ++v) table_[kBelow + v] = static_cast<uint8_t>(v);
  std::fill(table_.begin() + kBelow + 256, table_.end(), 255);
}

void DitherToPalette(const uint32_t* source, int32_t width, int32_t height, const DitherPalette& palette,
                     uint8_t* destination, int32_t destinationRowBytes) {
  DitherRows(reinterpret_cast<const uint8_t*>(source), static_cast<ptrdiff_t>(std::max(width, 0)) * 4, width,
             height, palette, destination, destinationRowBytes);
}

void DitherToPalettePitched(const uint32_t* source, int32_t width, int32_t height, const DitherPalette& palette,
                            uint8_t* destination, int32_t destinationRowBytes, int32_t sourceRowBytes) {
  DitherRows(reinterpret_cast<const uint8_t*>(source), sourceRowBytes & ~3, width, height, palette, destination,
             destinationRowBytes);
}

}  // namespace vx
