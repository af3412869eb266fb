#include "engine/render/PixelMap.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace vx {
namespace {

// A pixel map over its own exactly sized heap block, so ASan sees any access
// past either image.
template <typename P>
struct Image {
  Image(int w, int h, P fill = 0) : pixels(static_cast<size_t>(w) * h, fill) {
    map = {reinterpret_cast<uint8_t*>(pixels.data()), static_cast<uint16_t>(w), static_cast<uint16_t>(h), sizeof(P),
           static_cast<int32_t>(w * sizeof(P)), 0};
  }
  Image(int w, int h, std::initializer_list<P> values) : Image(w, h) { std::copy(values.begin(), values.end(), pixels.begin()); }
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

TEST(CopyPixelMap, ClipsToTheSmallerImageEachWayAndRefusesOtherPixelSizes) {
  auto small = Numbered<uint32_t>(3, 2);
  Image<uint32_t> big(5, 4, 0xAA);
  CopyPixelMap(small.map, big.map);
  EXPECT_EQ(big.at(2, 1), small.at(2, 1));
  EXPECT_EQ(big.at(3, 1), 0xAAu);
  EXPECT_EQ(big.at(0, 2), 0xAAu);
  auto wide = Numbered<uint16_t>(6, 1);
  Image<uint16_t> tall(2, 5, 9);
  CopyPixelMap(wide.map, tall.map);
  EXPECT_EQ(tall.pixels, (std::vector<uint16_t>{1, 2, 9, 9, 9, 9, 9, 9, 9, 9}));
  Image<uint8_t> bytes(4, 4, 3);
  CopyPixelMap(small.map, bytes.map);
  EXPECT_EQ(bytes.at(0, 0), 3);
}

TEST(CopyPixelMapKeyed, SkipsTheKeyInEachPixelSize) {
  std::vector<uint8_t> inverse(kInverseMap555Size, 0);
  inverse[0x7C00] = 42;
  const KeyColor red{{1, 0, 0}, inverse.data()};
  Image<uint32_t> source32(2, 1, {0xFFFF0000, 0x00FF0001});  // the top byte is not compared
  Image<uint32_t> dest32(2, 1, 5);
  CopyPixelMapKeyed(source32.map, dest32.map, &red);
  EXPECT_EQ(dest32.pixels, (std::vector<uint32_t>{5, 0x00FF0001}));
  Image<uint16_t> source16(2, 1, {0x7C00, 0x7C01});
  Image<uint16_t> dest16(2, 1, 5);
  CopyPixelMapKeyed(source16.map, dest16.map, &red);
  EXPECT_EQ(dest16.pixels, (std::vector<uint16_t>{5, 0x7C01}));
  Image<uint8_t> source8(2, 1, {42, 43});
  Image<uint8_t> dest8(1, 3, 5);  // narrower and taller than the source
  CopyPixelMapKeyed(source8.map, dest8.map, &red);
  EXPECT_EQ(dest8.pixels, (std::vector<uint8_t>{5, 5, 5}));
}

TEST(RotatePixelMap90, TurnsAQuarterClockwiseAndClips) {
  auto source = Numbered<uint16_t>(3, 2);  // 1 2 3 / 4 5 6
  Image<uint16_t> destination(2, 3);
  RotatePixelMap90(source.map, destination.map);
  EXPECT_EQ(destination.pixels, (std::vector<uint16_t>{4, 1, 5, 2, 6, 3}));
  Image<uint16_t> tooBig(4, 5, 7);
  RotatePixelMap90(source.map, tooBig.map);
  EXPECT_EQ(tooBig.at(1, 2), 3);
  EXPECT_EQ(tooBig.at(2, 0), 7);
  EXPECT_EQ(tooBig.at(0, 3), 7);
}

TEST(ConvertPixelMapFrom32, CopiesPacksAndDithersWithinBothImages) {
  Image<uint32_t> source(3, 2, 0x00FF8040);
  Image<uint32_t> to32(2, 2);
  ConvertPixelMapFrom32(source.map, to32.map, {}, nullptr);
  EXPECT_EQ(to32.at(1, 1), 0x00FF8040u);
  Image<uint16_t> to16(4, 1, 1);
  ConvertPixelMapFrom32(source.map, to16.map, {}, nullptr);
  EXPECT_EQ(to16.pixels, (std::vector<uint16_t>{0x7E08, 0x7E08, 0x7E08, 1}));
  PaletteTable palette;
  palette.count = 2;
  palette.entries[1] = 0x00FF8040;
  std::vector<uint8_t> inverse(kInverseMap555Size);
  BuildInverseColorMap555(palette, std::span<uint8_t, kInverseMap555Size>(inverse.data(), inverse.size()));
  Image<uint8_t> to8(5, 5, 9);
  ConvertPixelMapFrom32(source.map, to8.map, palette, inverse.data());
  EXPECT_EQ(to8.at(2, 1), 1);
  EXPECT_EQ(to8.at(3, 1), 9);
  EXPECT_EQ(to8.at(0, 2), 9);
}

TEST(StretchPixelMap, EqualWidthsCopyHalfWidthTakesEverySecondAndStepsSkip) {
  auto source = Numbered<uint32_t>(100, 2);
  Image<uint32_t> same(100, 2);
  StretchPixelMap(source.map, same.map, nullptr, nullptr);
  EXPECT_EQ(same.pixels, source.pixels);
  Image<uint32_t> half(50, 1);
  StretchPixelMapRow(source.map, half.map, nullptr, 0, 1, nullptr);
  for (int x = 0; x < 50; ++x) ASSERT_EQ(half.at(x, 0), source.at(2 * x, 0));
  // Row 5 of 6 scales to source row 1 of 2; every 2nd pixel.
  Image<uint32_t> rows(100, 6);
  StretchPixelMapRow(source.map, rows.map, nullptr, 5, 2, nullptr);
  EXPECT_EQ(rows.at(2, 5), source.at(2, 1));
  EXPECT_EQ(rows.at(3, 5), 0u);
  // Step 0, a row past the end and a negative row change nothing.
  for (auto [row, step] : {std::pair{0, 0}, {6, 1}, {-1, 1}})
    StretchPixelMapRow(source.map, rows.map, nullptr, row, step, nullptr);
  EXPECT_EQ(rows.at(0, 0), 0u);
}

TEST(StretchPixelMap, UpscalingNeverReadsPastTheSourceRow) {
  // 3 -> 65535 wide: the rounded step overshoots; the last read stays inside.
  auto source = Numbered<uint8_t>(3, 1);
  Image<uint8_t> destination(65535, 1);
  StretchPixelMap(source.map, destination.map, nullptr, nullptr);
  EXPECT_EQ(destination.at(0, 0), 1);
  EXPECT_EQ(destination.at(65534, 0), 3);
}

TEST(StretchPixelMap, MaskWinsOverKeyAndPixelsOutsideTheMaskAreMaskedOut) {
  Image<uint32_t> source(4, 1, 0x00FF0000);  // every pixel is the key
  Image<uint8_t> mask(3, 1, {1, 0, 1});      // narrower than the source
  Image<uint32_t> destination(4, 1, 7);
  const KeyColor key{{1, 0, 0}, nullptr};
  StretchPixelMap(source.map, destination.map, &mask.map, &key);
  EXPECT_EQ(destination.pixels, (std::vector<uint32_t>{0x00FF0000, 7, 0x00FF0000, 7}));
  Image<uint32_t> keyed(4, 1, 7);
  StretchPixelMap(source.map, keyed.map, nullptr, &key);
  EXPECT_EQ(keyed.pixels, std::vector<uint32_t>(4, 7));
}

TEST(FillPixelMapThroughMask, OffIsBlacksIndexOnPalettesAndSizesMustAgree) {
  std::vector<uint8_t> inverse(kInverseMap555Size, 0);
  inverse[0] = 3;
  inverse[0x03E0] = 8;
  const KeyColor green{{0, 1, 0}, inverse.data()};
  Image<uint8_t> mask(3, 1, {3, 3, 0});
  Image<uint8_t> destination(3, 1, 1);
  FillPixelMapThroughMask(mask.map, destination.map, green);
  EXPECT_EQ(destination.pixels, (std::vector<uint8_t>{1, 1, 8}));
  Image<uint8_t> narrow(2, 4, 1);
  FillPixelMapThroughMask(mask.map, narrow.map, green);
  EXPECT_EQ(narrow.pixels, std::vector<uint8_t>(8, 1));
  Image<uint32_t> wrongSize(3, 1, 5);
  FillPixelMapThroughMask(mask.map, wrongSize.map, green);
  EXPECT_EQ(wrongSize.at(2, 0), 5u);
}

}  // namespace
}  // namespace vx
