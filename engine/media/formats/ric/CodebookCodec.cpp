#include "engine/media/formats/ric/CodebookCodec.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstring>

namespace vx {
namespace {

constexpr int32_t kLargePixels = 16;
constexpr int32_t kSmallPixels = 4;

// 16-bit output folds this ordered dither into the large entries, so that a
// 16-bit draw needs no pass over the pixels.
constexpr std::array<int32_t, kLargePixels> kOrderedDither = {1, 7, 3, 5, 3, 5, 1, 7, 7, 5, 1, 3, 5, 3, 7, 1};

// The transform of four values `stride` apart. The products of a 16-bit
// input can pass 32 bits, so they are formed in 64; for the values a stored
// codebook can give, the results are those of 32-bit arithmetic.
void Transform4(int16_t* v, ptrdiff_t stride) {
  const int64_t x0 = v[0];
  const int64_t x1 = v[stride];
  const int64_t x2 = v[2 * stride];
  const int64_t x3 = v[3 * stride];
  const int64_t a = (x0 * 185344) >> 8;
  const int64_t b = (x1 * 185344) >> 8;
  const int64_t s = a + b;
  const int64_t d = a - b;
  const int64_t u = x2 * 512;
  const int64_t t = (181 * ((x2 + x3) * 512)) >> 8;
  const int64_t p = (u + t) >> 1;
  const int64_t m = (u - t) >> 1;
  const int64_t q = (277 * p) >> 7;
  const int64_t r = (-(669 * m)) >> 7;
  v[0] = static_cast<int16_t>((s + q) >> 10);
  v[stride] = static_cast<int16_t>((s - q) >> 10);
  v[2 * stride] = static_cast<int16_t>((d + r) >> 10);
  v[3 * stride] = static_cast<int16_t>((d - r) >> 10);
}

int32_t ClampChannel(int32_t value) { return std::clamp(value, 0, 255); }

void StorePixel(uint8_t* out, CodebookOutput output, int32_t red, int32_t green, int32_t blue) {
  red = ClampChannel(red);
  green = ClampChannel(green);
  blue = ClampChannel(blue);
  switch (output) {
    case CodebookOutput::Rgb555: {
      const auto pixel = static_cast<uint16_t>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
      std::memcpy(out, &pixel, sizeof pixel);
      return;
    }
    case CodebookOutput::Rgb24:
      out[0] = static_cast<uint8_t>(red);
      out[1] = static_cast<uint8_t>(green);
      out[2] = static_cast<uint8_t>(blue);
      return;
    case CodebookOutput::Palette8:
    case CodebookOutput::Xrgb32: {
      const auto pixel = static_cast<uint32_t>((red << 16) | (green << 8) | blue);
      std::memcpy(out, &pixel, sizeof pixel);
      return;
    }
  }
}

// Luminance and colour of n pixels to pixels of the output form.
template <size_t n>
void StoreEntry(std::array<int16_t, n>& luminance, const CodebookEntry& entry, CodebookOutput output,
                bool orderedDither, uint8_t* out) {
  std::array<int16_t, n> u;
  std::array<int16_t, n> v;
  u.fill(entry[4]);
  v.fill(entry[5]);
  CodebookColorToRgb(luminance, u, v);
  const int32_t pixelBytes = ExpandedPixelBytes(output);
  for (size_t i = 0; i < n; ++i) {
    const int32_t dither = orderedDither ? kOrderedDither[i] : 0;
    StorePixel(out + i * pixelBytes, output, v[i] + dither, luminance[i] + dither, u[i] + dither);
  }
}

}  // namespace

bool OutputForPixelSize(int32_t bytesPerPixel, CodebookOutput* output) {
  if (bytesPerPixel < 1 || bytesPerPixel > 4) return false;
  *output = static_cast<CodebookOutput>(bytesPerPixel);
  return true;
}

int32_t ExpandedPixelBytes(CodebookOutput output) {
  return output == CodebookOutput::Palette8 ? 4 : static_cast<int32_t>(output);
}

void WidenCodebook(std::span<const uint8_t, kCodebookBytes> stored, CodebookShape shape, Codebook* out) {
  for (int32_t i = 0; i < kCodebookEntries; ++i) {
    const uint8_t* b = stored.data() + i * kCodebookEntryBytes;
    CodebookEntry& entry = (*out)[i];
    if (shape == CodebookShape::Large4x4) {
      entry[0] = static_cast<int16_t>(2 * b[0]);
      for (int k = 1; k < 4; ++k) entry[k] = static_cast<int16_t>(b[k] - 128);
    } else {
      for (int k = 0; k < 4; ++k) entry[k] = b[k];
    }
    entry[4] = static_cast<int16_t>(2 * b[4] - 256);
    entry[5] = static_cast<int16_t>(2 * b[5] - 256);
  }
}

void CodebookColorToRgb(std::span<int16_t> y, std::span<int16_t> u, std::span<int16_t> v) {
  assert(u.size() >= y.size() && v.size() >= y.size());
  for (size_t i = 0; i < y.size(); ++i) {
    const int32_t luminance = y[i];
    const int32_t blueDifference = u[i];
    const int32_t redDifference = v[i];
    y[i] = static_cast<int16_t>(((2 * luminance - redDifference) * 2 - blueDifference) >> 2);
    u[i] = static_cast<int16_t>(blueDifference + luminance);
    v[i] = static_cast<int16_t>(redDifference + luminance);
  }
}

void InverseDct4x4Blocks(std::span<int16_t> values, int32_t width, int32_t height) {
  assert(width % 4 == 0 && static_cast<size_t>(width) * static_cast<size_t>(height) <= values.size());
  const int32_t fullBands = height / 4;
  for (int32_t band = 0; band < fullBands; ++band)
    for (int32_t column = 0; column < width; ++column)
      Transform4(values.data() + static_cast<ptrdiff_t>(band) * 4 * width + column, width);
  for (int32_t row = 0; row < height; ++row)
    for (int32_t column = 0; column < width; column += 4)
      Transform4(values.data() + static_cast<ptrdiff_t>(row) * width + column, 1);
}

std::vector<uint8_t> ExpandCodebook(const Codebook& book, CodebookShape shape, CodebookOutput output) {
  const bool large = shape == CodebookShape::Large4x4;
  const int32_t entryBytes = (large ? kLargePixels : kSmallPixels) * ExpandedPixelBytes(output);
  std::vector<uint8_t> expanded(static_cast<size_t>(entryBytes) * kCodebookEntries);
  for (int32_t i = 0; i < kCodebookEntries; ++i) {
    const CodebookEntry& entry = book[i];
    uint8_t* out = expanded.data() + static_cast<ptrdiff_t>(i) * entryBytes;
    if (large) {
      std::array<int16_t, kLargePixels> luminance{};
      luminance[0] = entry[0];
      luminance[1] = entry[1];
      luminance[4] = entry[2];
      luminance[5] = entry[3];
      InverseDct4x4Blocks(luminance, 4, 4);
      StoreEntry(luminance, entry, output, output == CodebookOutput::Rgb555, out);
    } else {
      std::array<int16_t, kSmallPixels> luminance = {entry[0], entry[1], entry[2], entry[3]};
      StoreEntry(luminance, entry, output, false, out);
    }
  }
  return expanded;
}

}  // namespace vx
