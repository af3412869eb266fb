#include "engine/render/Palette.h"

#include <gtest/gtest.h>

#include <limits>

namespace vx {
namespace {

TEST(BuiltInPalette, SpotValues) {
  const auto& p = BuiltInPalette();
  EXPECT_EQ(p[0], 0x000000u);
  EXPECT_EQ(p[9], 0xA6CAF0u);
  EXPECT_EQ(p[16], 0x00373Cu);
  EXPECT_EQ(p[17], 0x000033u);   // the cube without its black corner
  EXPECT_EQ(p[20], 0x0000CCu);
  EXPECT_EQ(p[21], 0x003300u);   // 0000FF is a corner
  EXPECT_EQ(p[22], 0x003333u);
  EXPECT_EQ(p[224], 0xFFFFCCu);  // the cube without its white corner
  EXPECT_EQ(p[230], 0x000000u);
  EXPECT_EQ(p[246], 0xFFFBF0u);
  EXPECT_EQ(p[255], 0xFFFFFFu);
}

TEST(ColorToPixelValues, ClampsTruncatesAndPacks) {
  uint32_t xrgb = 0;
  uint16_t c555 = 0;
  ColorToPixelValues({1, 1, 1}, nullptr, &xrgb, &c555, nullptr);
  EXPECT_EQ(xrgb, 0xFFFFFFu);
  EXPECT_EQ(c555, 0x7FFF);
  ColorToPixelValues({0.5f, 0.5f, 0.5f}, nullptr, &xrgb, &c555, nullptr);
  EXPECT_EQ(xrgb, 0x7F7F7Fu);
  EXPECT_EQ(c555, 0x3DEF);
  ColorToPixelValues({-0.2f, 2.0f, 0}, nullptr, &xrgb, nullptr, nullptr);
  EXPECT_EQ(xrgb, 0xFF00u);
  ColorToPixelValues({std::numeric_limits<float>::quiet_NaN(), -0.0f, 1e30f}, nullptr, &xrgb, nullptr, nullptr);
  EXPECT_EQ(xrgb, 0x0000FFu);
  // The index needs the map.
  std::vector<uint8_t> map(kInverseMap555Size, 0);
  map[0x7C00] = 42;
  uint8_t index = 99;
  ColorToPixelValues({1, 0, 0}, nullptr, nullptr, nullptr, &index);
  EXPECT_EQ(index, 99);
  ColorToPixelValues({1, 0, 0}, map.data(), nullptr, nullptr, &index);
  EXPECT_EQ(index, 42);
}

// The slow, obvious nearest-entry search.
uint8_t NearestByDistance(const PaletteTable& palette, int r, int g, int b) {
  int best = 0;
  long bestD = std::numeric_limits<long>::max();
  for (int i = 0; i < palette.count; ++i) {
    const long dr = static_cast<long>((palette.entries[i] >> 16) & 0xFF) - (8 * r + 4);
    const long dg = static_cast<long>((palette.entries[i] >> 8) & 0xFF) - (8 * g + 4);
    const long db = static_cast<long>(palette.entries[i] & 0xFF) - (8 * b + 4);
    const long d = dr * dr + dg * dg + db * db;
    if (d < bestD) bestD = d, best = i;
  }
  return static_cast<uint8_t>(best);
}

// The display palette repeats black 22 times, so this covers the rule that
// the lowest of equally near entries wins.
TEST(InverseColorMap555, MatchesBruteForceOnTheDisplayPalette) {
  PaletteTable palette = BuiltInPaletteTable();
  std::array<uint8_t, kInverseMap555Size> map{};
  BuildInverseColorMap555(palette, map);
  for (int r = 0; r < 32; ++r)
    for (int g = 0; g < 32; ++g)
      for (int b = 0; b < 32; ++b)
        ASSERT_EQ(map[(r << 10) | (g << 5) | b], NearestByDistance(palette, r, g, b)) << r << "," << g << "," << b;
  map.fill(77);
  palette.count = 0;
  BuildInverseColorMap555(palette, map);  // an empty table changes nothing
  EXPECT_EQ(map[123], 77);
}

TEST(InverseColorMap, ZeroBitChannelUses255AndEmptyPaletteGivesFF) {
  // Two entries that differ only in blue: with blue at 0 bits every cell sees
  // blue 255 and so picks the blue entry.
  const std::vector<uint8_t> triples = {0, 0, 0, 0, 0, 255};
  const std::vector<uint8_t> map = BuildInverseColorMap(triples, 2, 1, 1, 0);
  ASSERT_EQ(map.size(), 4u);
  EXPECT_EQ(map[0], 1);
  EXPECT_EQ(BuildInverseColorMap(triples, 0, 2, 2, 2), std::vector<uint8_t>(64, 0xFF));
  EXPECT_TRUE(BuildInverseColorMap(triples, 2, 9, 0, 0).empty());
}

TEST(Luv, NearestSearchKeepsTheFirstOfEquals) {
  const Luv entries[] = {{1, 0, 0}, {-1, 0, 0}, {1, 0, 0}};
  EXPECT_EQ(FindNearestLuvEntry({0, 0, 0}, entries), 0);
  EXPECT_EQ(FindNearestLuvEntry({1, 0, 0}, std::span<const Luv>()), -1);
  const Xyz white = RgbToXyz(255, 255, 255);
  EXPECT_NEAR(XyzToLuv(white, white).l, 100.04f, 0.01f);  // 25 x 100^(1/3) - 16
}

}  // namespace
}  // namespace vx
