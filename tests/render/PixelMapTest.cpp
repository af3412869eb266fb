#include "engine/render/PixelMap.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vx {
namespace {

// A pixel map over its own exactly sized heap block, so ASan sees any access
// past the last row.
template <typename P>
struct Image {
  Image(int w, int h, P fill = 0) : pixels(static_cast<size_t>(w) * h, fill) {
    map.bits = reinterpret_cast<uint8_t*>(pixels.data());
    map.width = static_cast<uint16_t>(w);
    map.height = static_cast<uint16_t>(h);
    map.bytesPerPixel = sizeof(P);
    map.rowBytes = static_cast<int32_t>(w * sizeof(P));
  }
  P& at(int x, int y) { return pixels[static_cast<size_t>(y) * map.width + x]; }
  std::vector<P> pixels;
  PixelMap map;
};

template <typename P>
Image<P> Numbered(int w, int h) {
  Image<P> image(w, h);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<P>(i + 1);
  return image;
}

TEST(CopyPixelMap, ClipsToTheSmallerImageEachWay) {
  auto small = Numbered<uint32_t>(3, 2);
  Image<uint32_t> big(5, 4, 0xAA);
  CopyPixelMap(small.map, big.map);
  EXPECT_EQ(big.at(2, 1), small.at(2, 1));
  EXPECT_EQ(big.at(3, 1), 0xAAu);
  EXPECT_EQ(big.at(0, 2), 0xAAu);
  auto wide = Numbered<uint16_t>(6, 1);
  Image<uint16_t> tall(2, 5, 9);
  CopyPixelMap(wide.map, tall.map);
  EXPECT_EQ(tall.at(1, 0), 2);
  EXPECT_EQ(tall.at(0, 1), 9);
}

TEST(CopyPixelMap, DifferentPixelSizesAreLeftAlone) {
  auto source = Numbered<uint32_t>(4, 4);
  Image<uint8_t> destination(4, 4, 3);
  CopyPixelMap(source.map, destination.map);
  EXPECT_EQ(destination.at(3, 3), 3);
}

TEST(CopyPixelMapKeyed, SkipsTheKeyInEachPixelSize) {
  const KeyColor key{{1, 0, 0}, nullptr};
  Image<uint32_t> source32(2, 1);
  source32.at(0, 0) = 0xFFFF0000;  // top byte is ignored by the comparison
  source32.at(1, 0) = 0x00FF0001;
  Image<uint32_t> dest32(2, 1, 5);
  CopyPixelMapKeyed(source32.map, dest32.map, &key);
  EXPECT_EQ(dest32.at(0, 0), 5u);
  EXPECT_EQ(dest32.at(1, 0), 0x00FF0001u);

  Image<uint16_t> source16(2, 1);
  source16.at(0, 0) = 0x7C00;
  source16.at(1, 0) = 0x7C01;
  Image<uint16_t> dest16(2, 1, 5);
  CopyPixelMapKeyed(source16.map, dest16.map, &key);
  EXPECT_EQ(dest16.at(0, 0), 5);
  EXPECT_EQ(dest16.at(1, 0), 0x7C01);

  std::vector<uint8_t> inverse(kInverseMap555Size, 0);
  inverse[0x7C00] = 42;
  const KeyColor paletteKey{{1, 0, 0}, inverse.data()};
  Image<uint8_t> source8(2, 1);
  source8.at(0, 0) = 42;
  source8.at(1, 0) = 43;
  Image<uint8_t> dest8(1, 3, 5);  // narrower and taller than the source
  CopyPixelMapKeyed(source8.map, dest8.map, &paletteKey);
  EXPECT_EQ(dest8.at(0, 0), 5);
  EXPECT_EQ(dest8.at(0, 1), 5);
}

TEST(RotatePixelMap90, TurnsAQuarterClockwiseAndClips) {
  auto source = Numbered<uint16_t>(3, 2);  // 1 2 3 / 4 5 6
  Image<uint16_t> destination(2, 3);
  RotatePixelMap90(source.map, destination.map);
  // Clockwise: 4 1 / 5 2 / 6 3.
  EXPECT_EQ(destination.pixels, (std::vector<uint16_t>{4, 1, 5, 2, 6, 3}));
  Image<uint16_t> tooBig(4, 5, 7);
  RotatePixelMap90(source.map, tooBig.map);
  EXPECT_EQ(tooBig.at(1, 2), 3);
  EXPECT_EQ(tooBig.at(2, 0), 7);
  EXPECT_EQ(tooBig.at(0, 3), 7);
}

TEST(ConvertPixelMapFrom32, CopiesPacksAndDithers) {
  Image<uint32_t> source(3, 2, 0x00FF8040);
  Image<uint32_t> to32(2, 2);
  ConvertPixelMapFrom32(source.map, to32.map, {}, nullptr);
  EXPECT_EQ(to32.at(1, 1), 0x00FF8040u);
  Image<uint16_t> to16(4, 1, 1);
  ConvertPixelMapFrom32(source.map, to16.map, {}, nullptr);
  EXPECT_EQ(to16.at(2, 0), (31 << 10) | (16 << 5) | 8);
  EXPECT_EQ(to16.at(3, 0), 1);

  PaletteTable palette;
  palette.count = 2;
  palette.entries[0] = 0;
  palette.entries[1] = 0x00FF8040;
  std::vector<uint8_t> inverse(kInverseMap555Size);
  BuildInverseColorMap555(palette, std::span<uint8_t, kInverseMap555Size>(inverse.data(), inverse.size()));
  Image<uint8_t> to8(5, 5, 9);
  ConvertPixelMapFrom32(source.map, to8.map, palette, inverse.data());
  EXPECT_EQ(to8.at(2, 1), 1);
  EXPECT_EQ(to8.at(3, 1), 9);
  EXPECT_EQ(to8.at(0, 2), 9);
}

TEST(StretchPixelMapRow, EqualWidthsCopyAndHalfWidthTakesEverySecond) {
  auto source = Numbered<uint32_t>(100, 2);
  Image<uint32_t> same(100, 2);
  StretchPixelMap(source.map, same.map, nullptr, nullptr);
  EXPECT_EQ(same.pixels, source.pixels);
  Image<uint32_t> half(50, 1);
  StretchPixelMapRow(source.map, half.map, nullptr, 0, 1, nullptr);
  for (int x = 0; x < 50; ++x) ASSERT_EQ(half.at(x, 0), source.at(2 * x, 0));
}

TEST(StretchPixelMapRow, StepRowAndSourceRowChoice) {
  auto source = Numbered<uint16_t>(4, 3);
  Image<uint16_t> destination(4, 6);
  StretchPixelMapRow(source.map, destination.map, nullptr, 5, 2, nullptr);
  // Row 5 of 6 scales to source row 2 (3 x 5 / 6 = 2.5); every 2nd pixel.
  EXPECT_EQ(destination.at(0, 5), source.at(0, 2));
  EXPECT_EQ(destination.at(1, 5), 0);
  EXPECT_EQ(destination.at(2, 5), source.at(2, 2));
  // Step 0, a row past the end and a negative row change nothing.
  StretchPixelMapRow(source.map, destination.map, nullptr, 0, 0, nullptr);
  StretchPixelMapRow(source.map, destination.map, nullptr, 6, 1, nullptr);
  StretchPixelMapRow(source.map, destination.map, nullptr, -1, 1, nullptr);
  EXPECT_EQ(destination.at(0, 0), 0);
}

TEST(StretchPixelMap, UpscalingNeverReadsPastTheSourceRow) {
  // 1 -> 65535 wide: the rounded step may overshoot; the last read stays in.
  auto source = Numbered<uint8_t>(3, 1);
  Image<uint8_t> destination(65535, 1);
  StretchPixelMap(source.map, destination.map, nullptr, nullptr);
  EXPECT_EQ(destination.at(0, 0), 1);
  EXPECT_EQ(destination.at(65534, 0), 3);
}

TEST(StretchPixelMap, MaskWinsOverKeyAndSmallMaskMasksOut) {
  Image<uint32_t> source(4, 1, 0x00FF0000);  // every pixel is the key
  Image<uint8_t> mask(3, 1, 1);              // narrower than the source
  mask.at(1, 0) = 0;
  Image<uint32_t> destination(4, 1, 7);
  const KeyColor key{{1, 0, 0}, nullptr};
  StretchPixelMap(source.map, destination.map, &mask.map, &key);
  EXPECT_EQ(destination.pixels, (std::vector<uint32_t>{0x00FF0000, 7, 0x00FF0000, 7}));
  Image<uint32_t> keyed(4, 1, 7);
  StretchPixelMap(source.map, keyed.map, nullptr, &key);
  EXPECT_EQ(keyed.pixels, std::vector<uint32_t>(4, 7));
}

TEST(FillPixelMapThroughMask, WritesWhereTheMaskAllows) {
  Image<uint16_t> mask16(3, 2, 0);
  mask16.map.bytesPerPixel = 2;  // the caller states the destination's size
  reinterpret_cast<uint8_t*>(mask16.pixels.data())[1] = 1;  // one byte per pixel
  Image<uint16_t> destination(3, 2, 5);
  FillPixelMapThroughMask(mask16.map, destination.map, {{0, 1, 0}, nullptr});
  EXPECT_EQ(destination.at(1, 0), 0x03E0);
  EXPECT_EQ(destination.at(0, 0), 5);

  // Palette images: "off" is the index of black, not zero.
  std::vector<uint8_t> inverse(kInverseMap555Size, 0);
  inverse[0] = 3;
  inverse[0x03E0] = 8;
  Image<uint8_t> mask8(3, 1, 3);
  mask8.at(2, 0) = 0;
  Image<uint8_t> palette(2, 4, 1);  // narrower than the mask
  FillPixelMapThroughMask(mask8.map, palette.map, {{0, 1, 0}, inverse.data()});
  EXPECT_EQ(palette.at(0, 0), 1);
  Image<uint8_t> other(3, 1, 1);
  FillPixelMapThroughMask(mask8.map, other.map, {{0, 1, 0}, inverse.data()});
  EXPECT_EQ(other.pixels, (std::vector<uint8_t>{1, 1, 8}));

  Image<uint32_t> wrongSize(3, 1, 5);
  FillPixelMapThroughMask(mask8.map, wrongSize.map, {{0, 1, 0}, inverse.data()});
  EXPECT_EQ(wrongSize.at(2, 0), 5u);
}

}  // namespace
}  // namespace vx
