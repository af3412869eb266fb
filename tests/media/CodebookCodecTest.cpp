// The block-codebook arithmetic: widening, transform, colour conversion and
// expansion into each pixel form, on entries whose pixels are known.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "engine/media/formats/ric/CodebookCodec.h"

namespace vx {
namespace {

Codebook BookOf(CodebookShape shape, const std::array<uint8_t, 6>& entry) {
  std::array<uint8_t, kCodebookBytes> stored;
  for (int i = 0; i < kCodebookBytes; ++i) stored[i] = entry[i % 6];
  Codebook book;
  WidenCodebook(stored, shape, &book);
  return book;
}

// The first entry's pixels as 32-bit values (or 16-bit, or packed triples).
std::vector<uint32_t> FirstEntryPixels(CodebookShape shape, const std::array<uint8_t, 6>& entry,
                                       CodebookOutput output) {
  const std::vector<uint8_t> expanded = ExpandCodebook(BookOf(shape, entry), shape, output);
  const int pixels = shape == CodebookShape::Large4x4 ? 16 : 4;
  const int bytes = ExpandedPixelBytes(output);
  EXPECT_EQ(expanded.size(), static_cast<size_t>(256 * pixels * bytes));
  std::vector<uint32_t> out(pixels, 0);
  for (int i = 0; i < pixels; ++i) std::memcpy(&out[i], &expanded[i * bytes], bytes);
  return out;
}

TEST(CodebookCodec, FlatLargeEntryIsGrey127At32Bits) {
  for (uint32_t pixel : FirstEntryPixels(CodebookShape::Large4x4, {128, 128, 128, 128, 128, 128},
                                         CodebookOutput::Xrgb32))
    EXPECT_EQ(pixel, 0x007F7F7Fu);
}

TEST(CodebookCodec, SmallEntryKeepsItsFourGreys) {
  const std::vector<uint32_t> pixels =
      FirstEntryPixels(CodebookShape::Small2x2, {10, 20, 30, 40, 128, 128}, CodebookOutput::Xrgb32);
  EXPECT_EQ(pixels, (std::vector<uint32_t>{0x0A0A0A, 0x141414, 0x1E1E1E, 0x282828}));
}

TEST(CodebookCodec, SixteenBitLargeEntriesCarryTheOrderedDither) {
  const std::vector<uint32_t> pixels =
      FirstEntryPixels(CodebookShape::Large4x4, {101, 128, 128, 128, 128, 128}, CodebookOutput::Rgb555);
  const int expected[16] = {12, 13, 12, 13, 12, 13, 12, 13, 13, 13, 12, 12, 13, 12, 13, 12};
  for (int i = 0; i < 16; ++i) {
    const uint32_t v = static_cast<uint32_t>(expected[i]);
    EXPECT_EQ(pixels[i], (v << 10) | (v << 5) | v) << "pixel " << i;
  }
  // The 32-bit form of the same entry has no dither: luminance 100 throughout.
  for (uint32_t pixel : FirstEntryPixels(CodebookShape::Large4x4, {101, 128, 128, 128, 128, 128},
                                         CodebookOutput::Xrgb32))
    EXPECT_EQ(pixel, 0x00646464u);
}

TEST(CodebookCodec, ColourConversionShiftsNegativeValuesArithmetically) {
  std::array<int16_t, 2> y = {100, -100};
  std::array<int16_t, 2> u = {40, -3};
  std::array<int16_t, 2> v = {-20, 0};
  CodebookColorToRgb(y, u, v);
  EXPECT_EQ(y[0], 100);  // green: (220 x 2 - 40) >> 2
  EXPECT_EQ(u[0], 140);  // blue
  EXPECT_EQ(v[0], 80);   // red
  EXPECT_EQ(y[1], -100);  // -397 >> 2 rounds down
  EXPECT_EQ(u[1], -103);
  EXPECT_EQ(v[1], -100);
}

TEST(CodebookCodec, ColouredEntryInEveryPixelForm) {
  // U = 40, V = -20 on luminance 100: red 80, green 100, blue 140.
  const std::array<uint8_t, 6> entry = {100, 100, 100, 100, 148, 118};
  EXPECT_EQ(FirstEntryPixels(CodebookShape::Small2x2, entry, CodebookOutput::Xrgb32)[0], 0x0050648Cu);
  EXPECT_EQ(FirstEntryPixels(CodebookShape::Small2x2, entry, CodebookOutput::Palette8)[0], 0x0050648Cu);
  EXPECT_EQ(FirstEntryPixels(CodebookShape::Small2x2, entry, CodebookOutput::Rgb555)[0],
            (10u << 10) | (12u << 5) | 17u);
  // Three bytes in memory order red, green, blue.
  EXPECT_EQ(FirstEntryPixels(CodebookShape::Small2x2, entry, CodebookOutput::Rgb24)[0], 0x8C6450u);
}

TEST(CodebookCodec, ChannelsAreClampedBothWays) {
  // U = 254, V = -256: luminance 0 gives green 64, blue 254, red 0; 255
  // drives green and blue past 255 and red below 0.
  const std::vector<uint32_t> pixels =
      FirstEntryPixels(CodebookShape::Small2x2, {0, 0, 255, 255, 255, 0}, CodebookOutput::Xrgb32);
  EXPECT_EQ(pixels[0], 0x000040FEu);
  EXPECT_EQ(pixels[3], 0x0000FFFFu);
}

TEST(CodebookCodec, OutputFormsFollowThePixelSize) {
  CodebookOutput output = CodebookOutput::Xrgb32;
  EXPECT_FALSE(OutputForPixelSize(0, &output));
  EXPECT_FALSE(OutputForPixelSize(5, &output));
  ASSERT_TRUE(OutputForPixelSize(3, &output));
  EXPECT_EQ(output, CodebookOutput::Rgb24);
  EXPECT_EQ(ExpandedPixelBytes(CodebookOutput::Palette8), 4);
}

TEST(CodebookCodec, TransformOfLargeInputsStaysDefined) {
  std::array<int16_t, 16> values;
  values.fill(-32768);
  InverseDct4x4Blocks(values, 4, 4);
  std::array<int16_t, 16> again;
  again.fill(-32768);
  InverseDct4x4Blocks(again, 4, 4);
  EXPECT_EQ(values, again);
}

}  // namespace
}  // namespace vx
