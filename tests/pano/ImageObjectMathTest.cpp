// The arithmetic of image objects on its own: object-movie frame choice,
// viewer angles, screen placement, crops and clipping, with the hostile
// values a scene file can hold.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/pano/nodes/ScreenPlacement.h"
#include "engine/world/ObjectMovieView.h"

namespace vx {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Axes {
  std::vector<int32_t> quantization;
  std::vector<float> range;
  std::vector<double> animRate;
  ObjectMovieAxes View() const { return {quantization, range, animRate}; }
};

TEST(ObjectMovieFrames, AnglesMapToIndicesWithTheSecondAxisShortenedByOneStep) {
  const Axes axes{{36, 36, 36}, {0, 360, 0, 360, 0, 360}, {}};
  // 10 x 35 / 360 = 0.97 and 10 x 35 / 350 = 1.0: both round to 1.
  EXPECT_EQ(ChooseFrameIndices({10, 10, 0}, axes.View()), (FrameIndices{1, 1, 0}));
  // The second and third axes wrap once around their count, the first is
  // held at its ends.
  EXPECT_EQ(ChooseFrameIndices({-10, -10, -10}, axes.View()), (FrameIndices{0, 35, 35}));
  EXPECT_EQ(ChooseFrameIndices({400, 355, 400}, axes.View()), (FrameIndices{35, 0, 3}));
  EXPECT_EQ(ObjectMovieFrameNumber({1, 2, 3}, axes.quantization), (1 * 36 + 2) * 36 + 3);
}

TEST(ObjectMovieFrames, FullTurnsWrapAndRatesAdvance) {
  const Axes turn{{36, 1, 1}, {0, 360, 0, 0, 0, 0}, {}};
  ObjectViewAngles angles{370, 0, 0};
  AdvanceViewAngles(angles, turn.View(), 0.0);
  EXPECT_FLOAT_EQ(angles[0], 10.0f);
  angles = {-350, 0, 0};
  AdvanceViewAngles(angles, turn.View(), 0.0);
  EXPECT_FLOAT_EQ(angles[0], 10.0f);

  const Axes partial{{36, 1, 1}, {0, 180, 0, 0, 0, 0}, {90, 0, -30}};
  angles = {100, 0, 0};
  AdvanceViewAngles(angles, partial.View(), 0.5);
  EXPECT_FLOAT_EQ(angles[0], 145.0f) << "a range that is not a full turn does not wrap";
  EXPECT_FLOAT_EQ(angles[2], -15.0f);
}

TEST(ObjectMovieFrames, HostileValuesGiveAFrameInsideTheCountsWithoutLooping) {
  const std::vector<Axes> cases = {
      {{0, -5, INT_MIN}, {0, 360, 0, 360, 0, 360}, {}},
      {{36, 36, 36}, {10, 10, 5, 5, 0, 0}, {}},
      {{36, 36, 36}, {kNaN, kInf, -kInf, kInf, kNaN, kNaN}, {}},
      {{INT_MAX, INT_MAX, INT_MAX}, {0, 1e-30f, 0, 360, -1e30f, 1e30f}, {}},
      {{36, 36, 36}, {0, 360, 0, 360, 0, 360}, {1e308, -1e308, std::numeric_limits<double>::quiet_NaN()}},
  };
  for (const Axes& axes : cases) {
    for (const ObjectViewAngles start : {ObjectViewAngles{kInf, -kInf, kNaN}, ObjectViewAngles{1e30f, -1e30f, 3e38f}}) {
      ObjectViewAngles angles = start;
      AdvanceViewAngles(angles, axes.View(), 1e300);
      for (float angle : angles) EXPECT_TRUE(std::isfinite(angle));
      const FrameIndices indices = ChooseFrameIndices(start, axes.View());
      for (size_t i = 0; i < indices.size(); ++i) {
        EXPECT_GE(indices[i], 0);
        EXPECT_LT(indices[i], std::max(axes.quantization[i], 1));
      }
      EXPECT_GE(ObjectMovieFrameNumber(indices, axes.quantization), 0);
    }
  }
  EXPECT_EQ(ObjectMovieFrameNumber({INT_MAX - 1, INT_MAX - 1, INT_MAX - 1}, std::vector<int32_t>(3, INT_MAX)), INT_MAX);
  EXPECT_EQ(ObjectMovieFrameNumber({1, 1, 1}, std::vector<int32_t>{4, 4}), 0) << "needs three counts";
  EXPECT_EQ(ChooseFrameIndices({10, 10, 10}, Axes{{36, 36, 36}, {0, 360}, {}}.View()), (FrameIndices{0, 0, 0}));
}

TEST(ObjectMovieFrames, ViewerAnglesGiveTheHeadingAroundAndTheElevationAbove) {
  const CVec3f zAxis{0, 0, 1};
  EXPECT_NEAR(ViewerAnglesOf({0, 0, 10}, zAxis).heading, 0.0f, 1e-3f);
  EXPECT_NEAR(ViewerAnglesOf({10, 0, 0}, zAxis).heading, 90.0f, 1e-3f);
  EXPECT_NEAR(ViewerAnglesOf({-10, 0, 0}, zAxis).heading, 270.0f, 1e-3f);
  EXPECT_NEAR(ViewerAnglesOf({0, 10, 10}, zAxis).elevation, 45.0f, 1e-3f);
  for (const CVec3f& v : {CVec3f{0, 0, -1}, CVec3f{-1e-9f, 0, -1}, CVec3f{1, 0, -1e-9f}}) {
    const float heading = ViewerAnglesOf(v, {0, 0, -1}).heading;
    EXPECT_GE(heading, 0.0f);
    EXPECT_LT(heading, 360.0f);
  }
  EXPECT_TRUE(std::isnan(ViewerAnglesOf({kNaN, 0, 0}, zAxis).heading)) << "returns rather than looping";
}

TEST(ScreenPlacementTest, TheNineAlignmentsWithAnOffset) {
  struct Case {
    const char* name;
    int32_t left;
    int32_t top;
  };
  // A 20 x 10 block in a 101 x 51 frame, moved by (3, -2).
  const Case cases[] = {
      {"TOP_LEFT", 3, -2},      {"TOP", 43, -2},          {"TOP_RIGHT", 84, -2},  {"LEFT", 3, 18},
      {"CENTER", 43, 18},       {"RIGHT", 84, 18},        {"BOTTOM_LEFT", 3, 39}, {"BOTTOM", 43, 39},
      {"BOTTOM_RIGHT", 84, 39}, {"bottom_right", 43, 18}, {"", 43, 18},
  };
  for (const Case& c : cases) {
    const ScreenRect rect = PlaceOnScreen(AlignmentByName(c.name), 101, 51, 3, -2, 20, 10);
    EXPECT_EQ(rect.left, c.left) << c.name;
    EXPECT_EQ(rect.top, c.top) << c.name;
    EXPECT_EQ(rect.Width(), 20) << c.name;
    EXPECT_EQ(rect.Height(), 10) << c.name;
  }
  EXPECT_EQ(ScreenCoordinate(-7.9f), -7);
  EXPECT_EQ(ScreenCoordinate(kNaN), 0);
  EXPECT_LT(ScreenCoordinate(kInf), INT_MAX / 4);
}

TEST(ScreenPlacementTest, CropsKeepOnlyWhatLiesInTheImage) {
  const auto crop = [](std::vector<int32_t> values) { return CropArea(40, 30, values); };
  const ImageArea whole = crop({});
  EXPECT_EQ(whole.width, 40);
  EXPECT_EQ(whole.height, 30);
  const ImageArea inner = crop({5, 6, 15, 26});
  EXPECT_EQ(inner.x, 5);
  EXPECT_EQ(inner.y, 6);
  EXPECT_EQ(inner.width, 10);
  EXPECT_EQ(inner.height, 20);
  EXPECT_TRUE(crop({15, 6, 5, 26}).IsEmpty()) << "inverted";
  EXPECT_TRUE(crop({5, 26, 15, 6}).IsEmpty()) << "inverted";
  const ImageArea shortened = crop({30, 20, 100, 100});
  EXPECT_EQ(shortened.width, 10);
  EXPECT_EQ(shortened.height, 10);
  const ImageArea outside = crop({-10, 50, 10, 60});
  EXPECT_EQ(outside.x, 0) << "a corner outside the image is not taken";
  EXPECT_EQ(outside.y, 0);
  EXPECT_EQ(outside.width, 20);
  EXPECT_EQ(outside.height, 10);
  EXPECT_TRUE(crop({INT_MAX, 0, INT_MIN, 10}).IsEmpty());
  EXPECT_EQ(crop({INT_MIN, INT_MIN, INT_MAX, INT_MAX}).width, 40);
}

// An image and a frame over buffers of exactly their size, so that the
// sanitizer catches any pixel read or written outside them.
struct Pixels {
  Pixels(int width, int height, uint8_t value) : bytes(static_cast<size_t>(width * height) * 4, value) {
    map = {bytes.data(), static_cast<uint16_t>(width), static_cast<uint16_t>(height), 4, width * 4};
  }
  bool Holds(const PixelMap& part) const {
    const uint8_t* first = part.bits;
    const uint8_t* last = part.Row(part.height - 1) + static_cast<ptrdiff_t>(part.width) * 4;
    return first >= bytes.data() && last <= bytes.data() + bytes.size() && part.width <= map.width &&
           part.height <= map.height;
  }
  std::vector<uint8_t> bytes;
  PixelMap map;
};

TEST(ScreenPlacementTest, ClippingCutsTheImageInProportionToItsScale) {
  Pixels image(40, 30, 1);
  Pixels frame(64, 48, 0);
  // Shown twice its size, half of it beyond the left edge.
  const auto parts = ClipToFrame(image.map, {0, 0, 40, 30}, {-40, 0, 40, 60}, frame.map);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->destination.width, 40);
  EXPECT_EQ(parts->destination.height, 48);
  EXPECT_EQ(parts->source.bits, image.map.Row(0) + 20 * 4) << "the right half of the image";
  EXPECT_EQ(parts->source.width, 20);
  EXPECT_EQ(parts->source.height, 24);
  EXPECT_FALSE(ClipToFrame(image.map, {0, 0, 40, 30}, {-50, 0, -10, 30}, frame.map)) << "wholly left";
  EXPECT_FALSE(ClipToFrame(image.map, {0, 0, 40, 30}, {10, 48, 50, 78}, frame.map)) << "wholly below";
  EXPECT_FALSE(ClipToFrame(image.map, {0, 0, 40, 30}, {10, 10, 5, 40}, frame.map)) << "inverted";
  Pixels other(40, 30, 1);
  other.map.bytesPerPixel = 2;
  EXPECT_FALSE(ClipToFrame(other.map, {0, 0, 40, 30}, {0, 0, 40, 30}, frame.map)) << "another pixel size";
}

TEST(ScreenPlacementTest, NoCropAndNoRectangleReadsOrWritesOutsideEitherImage) {
  Pixels image(37, 23, 7);
  Pixels frame(50, 40, 0);
  const std::vector<int32_t> values = {INT_MIN, -1000, -37, -1, 0, 1, 5, 22, 23, 36, 37, 38, 49, 50, 1000, INT_MAX};
  int drawn = 0;
  for (int32_t a : values) {
    for (int32_t b : values) {
      const int32_t crop[] = {a, a, b, b};
      const ImageArea area = CropArea(image.map.width, image.map.height, crop);
      const auto fa = static_cast<float>(a), fb = static_cast<float>(b);
      const ScreenRect rect{ScreenCoordinate(fa), ScreenCoordinate(fb), ScreenCoordinate(fb + 40),
                            ScreenCoordinate(fa + 30)};
      const auto parts = ClipToFrame(image.map, area, rect, frame.map);
      if (!parts) continue;
      ++drawn;
      ASSERT_TRUE(image.Holds(parts->source)) << a << " " << b;
      ASSERT_TRUE(frame.Holds(parts->destination)) << a << " " << b;
      StretchPixelMap(parts->source, parts->destination, nullptr, nullptr);
    }
  }
  EXPECT_GT(drawn, 0);
}

}  // namespace
}  // namespace vx
