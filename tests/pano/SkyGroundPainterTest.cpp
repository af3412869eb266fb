#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/pano/PanoLimits.h"
#include "engine/pano/SkyGroundPainter.h"

namespace vx {
namespace {

constexpr float kHalfPiF = 1.57079637f;  // pi/2 as a scene's float holds it
constexpr FloatColor kWhite{1, 1, 1};
constexpr FloatColor kBlue{0, 0, 1};

// Pixels in an allocation of exactly the picture's size, so that ASan sees
// any write past it; every pixel starts as a sentinel.
class Picture {
 public:
  Picture(uint16_t width, uint16_t height, uint16_t bytesPerPixel, uint32_t sentinel = 0xDEADBEEF)
      : size_(static_cast<size_t>(width) * height * bytesPerPixel), pixels_(new uint8_t[size_]) {
    map_.bits = pixels_.get();
    map_.width = width;
    map_.height = height;
    map_.bytesPerPixel = bytesPerPixel;
    map_.rowBytes = width * bytesPerPixel;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) Set(x, y, sentinel);
  }
  const PixelMap& Map() const { return map_; }
  uint32_t At(int32_t x, int32_t y) const {
    uint32_t value = 0;
    std::memcpy(&value, Address(x, y), map_.bytesPerPixel);
    return value;
  }
  // The one value of every pixel of row y, or the sentinel of a mixed row.
  uint32_t Row(int32_t y) const {
    for (int32_t x = 1; x < map_.width; ++x)
      if (At(x, y) != At(0, y)) return kMixed;
    return At(0, y);
  }
  // Rows [first, end) that are all `value`.
  bool RowsAre(int32_t first, int32_t end, uint32_t value) const {
    for (int32_t y = first; y < end; ++y)
      if (Row(y) != value) return false;
    return true;
  }
  static constexpr uint32_t kMixed = 0xFFFFFFFF;

 private:
  uint8_t* Address(int32_t x, int32_t y) const {
    return pixels_.get() + static_cast<size_t>(y) * map_.rowBytes + static_cast<size_t>(x) * map_.bytesPerPixel;
  }
  void Set(int32_t x, int32_t y, uint32_t value) { std::memcpy(Address(x, y), &value, map_.bytesPerPixel); }

  size_t size_;
  std::unique_ptr<uint8_t[]> pixels_;
  PixelMap map_;
};

std::unique_ptr<uint8_t[]> BuiltInInverseMap() {
  std::unique_ptr<uint8_t[]> map(new uint8_t[kInverseMap555Size]);
  BuildInverseColorMap555(BuiltInPaletteTable(), std::span<uint8_t, kInverseMap555Size>(map.get(), kInverseMap555Size));
  return map;
}

uint32_t Xrgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000 | (r << 16) | (g << 8) | b; }
uint32_t Gradient555(uint32_t r, uint32_t g, uint32_t b) { return 0x8000 | (r << 10) | (g << 5) | b; }

struct Description {
  std::vector<float> skyAngle, groundAngle;
  std::vector<FloatColor> skyColor, groundColor;
  float vMin = -kHalfPiF, vMax = kHalfPiF;
  bool cube = false;

  SkyGroundDescription View() const { return {skyAngle, skyColor, groundAngle, groundColor, vMin, vMax, cube}; }
};

// ---- Whole descriptions ---------------------------------------------------

TEST(SkyGroundPicture, SkyFromWhiteToBlueOverTheUpperHalf) {
  const Description sky{{kHalfPiF}, {}, {kWhite, kBlue}, {{0.3f, 0.2f, 0.1f}}};
  Picture xrgb(512, 256, 4);
  EXPECT_TRUE(PaintSkyGround(xrgb.Map(), sky.View(), nullptr));
  // 128 steps of 255/128: row k lies k + 1 steps below white.
  for (int32_t k = 0; k < 128; ++k) {
    const uint32_t level = 255 * (127 - k) / 128;
    ASSERT_EQ(xrgb.Row(k), Xrgb(level, level, 255)) << k;
  }
  EXPECT_EQ(xrgb.Row(0), 0xFFFDFDFFu);
  EXPECT_EQ(xrgb.Row(127), 0xFF0000FFu);
  EXPECT_TRUE(xrgb.RowsAre(128, 256, 0xFF0000FF));

  Picture c555(512, 256, 2);
  EXPECT_TRUE(PaintSkyGround(c555.Map(), sky.View(), nullptr));
  for (int32_t k = 0; k < 128; ++k) {
    const uint32_t level = 31 * (127 - k) / 128;
    ASSERT_EQ(c555.Row(k), Gradient555(level, level, 31)) << k;
  }
  EXPECT_TRUE(c555.RowsAre(128, 256, Gradient555(0, 0, 31)));

}

TEST(SkyGroundPicture, OneSkyColourWithoutAnglesFillsTheWholePicture) {
  const Description plain{{}, {}, {{0.2f, 0.4f, 0.6f}}, {{1, 0, 0}}};
  Picture picture(64, 32, 4);
  EXPECT_TRUE(PaintSkyGround(picture.Map(), plain.View(), nullptr));
  EXPECT_TRUE(picture.RowsAre(0, 32, Xrgb(51, 102, 153)));
}

TEST(SkyGroundPicture, GroundRisesFromTheNadirOverTheSky) {
  const FloatColor brown{0.4f, 0.2f, 0}, green{0, 1, 0};
  const Description ground{{}, {kHalfPiF}, {kWhite}, {brown, green}};
  Picture picture(16, 256, 4);
  EXPECT_TRUE(PaintSkyGround(picture.Map(), ground.View(), nullptr));
  EXPECT_TRUE(picture.RowsAre(0, 128, 0xFFFFFFFF));
  EXPECT_EQ(picture.Row(128), Xrgb(0, 253, 0));   // one step past green
  EXPECT_EQ(picture.Row(255), Xrgb(102, 51, 0));  // brown exactly
}

TEST(SkyGroundPicture, InvalidDescriptionsGetThePlaceholder) {
  const Description invalid[] = {
      {{}, {}, {kWhite}, {}},                                // no ground colour
      {{}, {0.5f}, {kWhite}, {kBlue}},                       // as many ground angles as colours
      {{0.5f, 0.5f}, {}, {kWhite, kBlue, kWhite}, {kBlue}},  // angles that do not rise
      {{}, {}, {}, {kBlue}},                                 // no sky colour
  };
  for (const Description& d : invalid) {
    Picture picture(512, 256, 2);
    EXPECT_FALSE(PaintSkyGround(picture.Map(), d.View(), nullptr));
    EXPECT_TRUE(picture.RowsAre(0, 256, 0x4210));
  }
}

TEST(SkyGroundPicture, CubeOfOneColourCoversEveryFaceWithoutTheGradientBit) {
  const Description cube{{}, {}, {{1, 0, 0}}, {kBlue}, -kHalfPiF, kHalfPiF, true};
  Picture picture(128, 768, 2, 0xFFFF);
  EXPECT_TRUE(PaintSkyGround(picture.Map(), cube.View(), nullptr));
  EXPECT_TRUE(picture.RowsAre(0, 768, 31u << 10));
}

TEST(SkyGroundPicture, NonSquareCubePicturesArePaintedInsideTheirFaces) {
  const Description cube{{0.7f}, {1.2f}, {kWhite, kBlue}, {kBlue, kWhite}, -kHalfPiF, kHalfPiF, true};
  for (auto [width, height] : {std::pair{256, 768}, {64, 768}, {100, 770}, {300, 5}, {1, 12}}) {
    Picture picture(static_cast<uint16_t>(width), static_cast<uint16_t>(height), 4);
    EXPECT_TRUE(PaintSkyGround(picture.Map(), cube.View(), nullptr));
  }
  // Rings far larger than a wide face stay on their own face.
  Picture wide(256, 768, 4);
  FillCapFaceRings(wide.Map(), 3.0f, -2.0f, kWhite, kBlue, CubeCap::kTop, nullptr);
  EXPECT_TRUE(wide.RowsAre(0, 512, 0xDEADBEEF));
  EXPECT_TRUE(wide.RowsAre(640, 768, 0xDEADBEEF));
  EXPECT_NE(wide.At(0, 512), 0xDEADBEEF);
  EXPECT_NE(wide.At(255, 639), 0xDEADBEEF);
  FillCapFaceRings(wide.Map(), 3.0f, -2.0f, kWhite, kBlue, CubeCap::kBottom, nullptr);
  EXPECT_NE(wide.At(255, 767), 0xDEADBEEF);
  FillSideFaceRows(wide.Map(), -0.5f, 1.5f, kWhite, kBlue, nullptr);
  EXPECT_NE(wide.Row(511), 0xDEADBEEF);
}

// ---- The fillers ------------------------------------------------------------

TEST(SkyGroundFillers, GradientRowsCountRowsOutsideThePicture) {
  Picture picture(8, 16, 4);
  FillGradientRows(picture.Map(), 5, 5, kWhite, kBlue, nullptr);
  EXPECT_TRUE(picture.RowsAre(0, 16, 0xDEADBEEF));
  FillGradientRows(picture.Map(), -2, 2, {0, 0, 0}, kWhite, nullptr);
  EXPECT_EQ(picture.Row(0), Xrgb(191, 191, 191));  // three steps of 63.75
  EXPECT_EQ(picture.Row(1), 0xFFFFFFFFu);
  EXPECT_EQ(picture.Row(2), 0xDEADBEEFu);
  FillGradientRows(picture.Map(), 14, 30, kBlue, kBlue, nullptr);
  EXPECT_TRUE(picture.RowsAre(14, 16, 0xFF0000FF));
  FillGradientRows(picture.Map(), std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(), kBlue,
                   kWhite, nullptr);
  EXPECT_NE(picture.Row(3), 0xDEADBEEFu);
}

TEST(SkyGroundFillers, ColoursOutsideTheUnitRangeAreClampedPerPixel) {
  const FloatColor wild{-3, 7, std::numeric_limits<float>::quiet_NaN()};
  const FloatColor wilder{2, -1, 1e30f};
  const auto inverse = BuiltInInverseMap();
  Picture indexed(4, 8, 1);
  FillGradientRows(indexed.Map(), 0, 8, wild, wilder, inverse.get());
  EXPECT_EQ(indexed.Row(0), inverse[InverseMap555Index(0, 255, 0)]);
  Picture c555(4, 8, 2);
  FillGradientRows(c555.Map(), 0, 1, wild, wild, nullptr);
  EXPECT_EQ(c555.Row(0), Gradient555(0, 31, 0));
  FillCapFaceRings(c555.Map(), 1.0f, 0.0f, wilder, wilder, CubeCap::kTop, nullptr);
  Picture cube(12, 72, 1);
  FillSkyGroundBand(cube.Map(), -30, 40, wild, wilder, inverse.get());
  FillSideFaceRows(cube.Map(), 0, 1, wilder, wild, inverse.get());
  EXPECT_EQ(cube.Row(0), inverse[InverseMap555Index(255, 0, 0)]);  // NaN gives level 0
}

TEST(SkyGroundFillers, BandsRouteToTheCapsAndTheSides) {
  const FloatColor red{1, 0, 0};
  // The first quarter of the virtual height is the top cap only.
  Picture top(128, 768, 4);
  FillSkyGroundBand(top.Map(), 0, 64, red, red, nullptr);
  EXPECT_TRUE(top.RowsAre(512, 640, Xrgb(255, 0, 0)));
  EXPECT_TRUE(top.RowsAre(0, 512, 0xDEADBEEF));
  EXPECT_TRUE(top.RowsAre(640, 768, 0xDEADBEEF));

  // The middle half is the sides: the same rows of each side face.
  Picture sides(128, 768, 4);
  FillSkyGroundBand(sides.Map(), 64, 128, kWhite, kBlue, nullptr);
  for (int32_t face = 0; face < 4; ++face) {
    EXPECT_EQ(sides.Row(face * 128), Xrgb(251, 251, 255)) << face;  // one step of 255/64 past white
    EXPECT_EQ(sides.Row(face * 128 + 63), 0xFF0000FF) << face;
    EXPECT_EQ(sides.Row(face * 128 + 64), 0xDEADBEEF) << face;
  }
  EXPECT_TRUE(sides.RowsAre(512, 768, 0xDEADBEEF));
}

TEST(SkyGroundFillers, CapRingsRunFromTheEdgeToThePole) {
  Picture picture(8, 48, 4);  // faces of 8 x 8
  FillCapFaceRings(picture.Map(), 1.0f, 0.0f, {0, 0, 0}, kWhite, CubeCap::kBottom, nullptr);
  // Four rings, 63.75 levels apart, the innermost white.
  const uint32_t ring[4] = {Xrgb(63, 63, 63), Xrgb(127, 127, 127), Xrgb(191, 191, 191), 0xFFFFFFFF};
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      const int32_t depth = std::min(std::min(x, 7 - x), std::min(y, 7 - y));
      EXPECT_EQ(picture.At(x, 40 + y), ring[depth]) << x << "," << y;
    }
  }
  EXPECT_TRUE(picture.RowsAre(0, 40, 0xDEADBEEF));
}

// ---- Placeholder ------------------------------------------------------------

TEST(SkyGroundPlaceholder, NarrowPicturesAreFlatGrey) {
  Picture c555(512, 256, 2);
  FillPlaceholderGrid(c555.Map());
  EXPECT_TRUE(c555.RowsAre(0, 256, 0x4210));
  Picture xrgb(100, 10, 4);
  FillPlaceholderGrid(xrgb.Map());
  EXPECT_TRUE(xrgb.RowsAre(0, 10, 0xFF808080));
  Picture indexed(100, 10, 1, 0x55);
  FillPlaceholderGrid(indexed.Map());
  EXPECT_TRUE(indexed.RowsAre(0, 10, 0));
}

TEST(SkyGroundPlaceholder, WidePicturesGetBevelledCellsOverAWash) {
  Picture xrgb(1024, 512, 4);
  FillPlaceholderGrid(xrgb.Map());
  // Cells of 32 x 32 with lines 6 pixels wide.
  EXPECT_EQ(xrgb.At(6, 6), 0x575779u);  // inside: the sky wash (87, 87, 121)
  EXPECT_EQ(xrgb.At(38, 70), 0x575779u);
  EXPECT_EQ(xrgb.At(2, 10), 0xA0908Fu);  // line, middle shade
  EXPECT_EQ(xrgb.At(0, 10), 0xD0CFC0u);  // line, light edge
  EXPECT_EQ(xrgb.At(33, 10), 0xD0CFC0u);
  EXPECT_EQ(xrgb.At(4, 4), 0x594B3Fu);     // line, dark corner
  EXPECT_EQ(xrgb.At(10, 400), 0x795454u);  // the ground wash (121, 84, 84)
  // Between the quarter lines the wash runs over the whole height.
  const double f = 200.0 / 511;
  const uint32_t r = static_cast<uint32_t>(87 * (1 - f) + 121 * f);
  const uint32_t g = static_cast<uint32_t>(87 * (1 - f) + 84 * f);
  const uint32_t b = static_cast<uint32_t>(121 * (1 - f) + 84 * f);
  EXPECT_EQ(xrgb.At(10, 200), (r << 16) | (g << 8) | b);

  Picture c555(1024, 512, 2);
  FillPlaceholderGrid(c555.Map());
  EXPECT_EQ(c555.At(6, 6), static_cast<uint32_t>(InverseMap555Index(87, 87, 121)));
  EXPECT_EQ(c555.At(0, 10), 0x6B38u);
  EXPECT_EQ(c555.At(4, 4), 0x2D27u);
  EXPECT_EQ(c555.At(2, 10), 0x5251u);
  Picture indexed(1024, 512, 1);
  FillPlaceholderGrid(indexed.Map());
  EXPECT_EQ(indexed.At(6, 6), 0u);
  EXPECT_EQ(indexed.At(4, 4), 0x80u);

  Picture thin(600, 1, 4);  // a single row is all grid line
  FillPlaceholderGrid(thin.Map());
  EXPECT_TRUE(thin.RowsAre(0, 1, 0xD0CFC0));
}

}  // namespace
}  // namespace vx
