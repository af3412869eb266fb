#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/pano/CubeWarper.h"
#include "engine/pano/PanoContext.h"
#include "engine/pano/PanoRendererFactory.h"
#include "tests/pano/PanoTestSupport.h"
#include "tests/pano/WarpReference.h"

namespace vx {
namespace {

using test::CoordinatePicture;
using test::Direction;

constexpr int32_t kFace = 64;  // texels along a tile's side
constexpr uint8_t kUntouched = 0xEE;

TEST(CubeProjectionTest, DirectionsLandOnTheirTiles) {
  CCubeWarper cube;
  struct Case {
    double yaw, pitch, u, v;
  };
  const Case cases[] = {
      {0, 0, 0.5, 0.4165},         {M_PI / 2, 0, 0.5, 0.5835}, {M_PI, 0, 0.5, 0.0835},
      {-M_PI / 2, 0, 0.5, 0.2505}, {0, M_PI / 2, 0.5, 0.7505}, {0, -M_PI / 2, 0.5, 0.9165},
      // |x| equals |z|: the x axis wins, tile 3 at its edge.
      {M_PI / 4, 0, 0.0, 0.5835},
  };
  for (const Case& c : cases) {
    double u = -1, v = -1;
    cube.AnglesToProjection(c.yaw, c.pitch, &u, &v);
    EXPECT_NEAR(u, c.u, 1e-5) << c.yaw << " " << c.pitch;
    EXPECT_NEAR(v, c.v, 1e-5) << c.yaw << " " << c.pitch;
  }
  // The tile limits are strict: v = 0.5 is still tile 2, straight ahead.
  double yaw = 1, pitch = 1;
  cube.ProjectionToAngles(0.5, 0.5, &yaw, &pitch);
  EXPECT_NEAR(yaw, 0.0, 1e-9);
  EXPECT_LT(pitch, 0);
  // Back and forth agree within the rounding of the tile fractions.
  for (const Direction d : {Direction{0.3, 0.2}, Direction{2.0, -0.5}, Direction{-1.2, 1.1}, Direction{-2.9, -1.2}}) {
    double u = 0, v = 0;
    cube.AnglesToProjection(d.yaw, d.pitch, &u, &v);
    cube.ProjectionToAngles(u, v, &yaw, &pitch);
    EXPECT_LT(test::AngleBetween({yaw, pitch}, d), 0.01) << d.yaw << " " << d.pitch;
  }
}

TEST(CubeSpanTest, SpansAreCutIntoAHeadBlocksAndATail) {
  const SpanPlan a = PlanSpan(5, 37);
  EXPECT_EQ(a.head, 3);
  EXPECT_EQ(a.blocks32, 1);
  EXPECT_FALSE(a.block16 || a.block8 || a.block4);
  EXPECT_EQ(a.tail, 2);
  const SpanPlan b = PlanSpan(4, 4 * 15 + 3);  // 15 groups: 8 + 4 + 2 + 1
  EXPECT_EQ(b.head, 0);
  EXPECT_EQ(b.blocks32, 1);
  EXPECT_TRUE(b.block16 && b.block8 && b.block4);
  EXPECT_EQ(b.tail, 3);
  const SpanPlan single = PlanSpan(6, 1);
  EXPECT_EQ(single.head + single.tail, 1);
  EXPECT_EQ(PlanSpan(3, 0).head, 0);
}

// The cube picture as six tiles of coordinate-coded texels, and the
// direction each texel's centre stands for.
Direction TexelDirection(int32_t column, int32_t row) {
  const int32_t tile = row / kFace;
  const double a = (column + 0.5) / kFace * 2 - 1, b = ((row % kFace) + 0.5) / kFace * 2 - 1;
  double x = 0, y = 0, z = 0;
  switch (tile) {
    case 0: x = a, y = -b, z = -1; break;
    case 1: x = 1, y = -b, z = a; break;
    case 2: x = -a, y = -b, z = 1; break;
    case 3: x = -1, y = -b, z = -a; break;
    case 4: x = a, y = 1, z = -b; break;
    default: x = a, y = -1, z = b; break;
  }
  // The cube's x axis points the other way from the view's right.
  return {std::atan2(-x, z), std::atan2(y, std::hypot(x, z))};
}

class CubeView {
 public:
  CubeView(const MediaImageInfo& picture, int32_t width, int32_t height)
      : width_(width), height_(height), output_(static_cast<size_t>(width) * height * 4, kUntouched) {
    EXPECT_EQ(PanoCreateRenderer(context_.get(), picture, static_cast<int16_t>(PanoProjection::kCube)), kPanoOk);
    PanoSetOutputRect(context_.get(), test::DescribePixels(output_.data(), static_cast<uint16_t>(width),
                                                           static_cast<uint16_t>(height), 4));
    EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  }
  void Look(double yaw, double pitch, double roll, double vertical) {
    PanoSetFieldOfView(context_.get(), static_cast<float>(vertical));
    PanoSetViewAngles(context_.get(), {static_cast<float>(yaw), static_cast<float>(pitch), static_cast<float>(roll)});
    std::fill(output_.begin(), output_.end(), kUntouched);
    EXPECT_EQ(PanoDrawFrame(context_.get()), kPanoOk);
  }
  uint32_t PixelAt(int32_t column, int32_t row) const {
    uint32_t v;
    std::memcpy(&v, output_.data() + (static_cast<size_t>(row) * width_ + column) * 4, 4);
    return v;
  }
  const CPanoView& View() const { return *context_->view; }
  PanoContext& Context() { return *context_; }

 private:
  std::unique_ptr<PanoContext> context_ = PanoCreate();
  int32_t width_, height_;
  std::vector<uint8_t> output_;
};

struct CubeCase {
  double yaw, pitch, roll, vertical;
};
constexpr CubeCase kCubeViews[] = {
    {0, 0, 0, 0.5}, {0.7, 0.3, 0, 0.6}, {2.5, -0.4, 0.4, 0.5}, {-1.0, 1.3, 0, 0.7}, {3.0, -1.5, -0.8, 0.6},
};

// Every pixel is drawn by some face, and shows the texel of its direction
// within a texel and a pixel.
TEST(CubeDrawTest, FacesMeetWithoutCracksAndFollowThePerspectiveReference) {
  const CoordinatePicture picture(kFace, 6 * kFace, 4, false);
  CubeView view(picture.Info(), 320, 240);
  for (const CubeCase& c : kCubeViews) {
    view.Look(c.yaw, c.pitch, c.roll, c.vertical);
    const double outputAngle = test::OutputPixelAngle(view.View());
    double worst = 0;
    int32_t untouched = 0;
    for (int32_t row = 0; row < 240; ++row) {
      for (int32_t column = 0; column < 320; ++column) {
        const uint32_t pixel = view.PixelAt(column, row);
        const auto texel = picture.Decode(pixel);
        if (!texel) {
          ++untouched;
          continue;
        }
        const Direction expected = test::ReferenceDirection(view.View(), column, row);
        const Direction drawn = TexelDirection(texel->first, texel->second);
        // A texel spans at most 2/64 of a face's half-width (1.8 degrees);
        // half of it for nearest sampling and one and a half more where a
        // tile's inner edge is pulled in by that many texel rows.
        const double tolerance = 2.0 * (2.0 / kFace) + 1.5 * outputAngle;
        worst = std::max(worst, test::AngleBetween(drawn, expected) / tolerance);
      }
    }
    EXPECT_EQ(untouched, 0) << c.yaw << " " << c.pitch;
    EXPECT_LE(worst, 1.0) << c.yaw << " " << c.pitch;
  }
}

// The two fields of an interlaced frame together are the whole frame.
TEST(CubeDrawTest, InterlacedFieldsTogetherDrawTheWholeFrame) {
  const CoordinatePicture picture(kFace, 6 * kFace, 4, false);
  CubeView whole(picture.Info(), 160, 120), fields(picture.Info(), 160, 120);
  whole.Look(0.9, 0.4, 0.2, 0.6);
  PanoSetViewFlag(&fields.Context(), 1);
  fields.Look(0.9, 0.4, 0.2, 0.6);
  PanoSetFrameWord(&fields.Context(), 1);
  EXPECT_EQ(PanoDrawFrame(&fields.Context()), kPanoOk);
  for (int32_t row = 0; row < 120; ++row)
    for (int32_t column = 0; column < 160; ++column)
      ASSERT_EQ(fields.PixelAt(column, row), whole.PixelAt(column, row)) << column << " " << row;
}

// A face on its own: degenerate and hidden polygons draw nothing, and a
// polygon one pixel wide draws that pixel once per row.
TEST(CubeFaceTest, DegenerateFacesDrawOnlyWhatTheyCover) {
  std::vector<uint32_t> texels(4 * 4, 0x00ABCDEF);
  const MediaImageInfo image = test::DescribePixels(reinterpret_cast<uint8_t*>(texels.data()), 4, 4, 4);
  std::vector<uint32_t> pixels(16 * 16, 0);
  CPanoView view;
  view.SetOutputImage(test::DescribePixels(reinterpret_cast<uint8_t*>(pixels.data()), 16, 16, 4));
  CCubeFaceRenderer face;
  face.SetFaceImage(image);
  // The identity matrix: clip space is the position itself, w = 1 from z's
  // column being 0 and the translation row giving w.
  const std::array<float, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  face.SetMatrix(identity);
  auto draw = [&](std::initializer_list<std::array<float, 3>> corners) {
    std::fill(pixels.begin(), pixels.end(), 0u);
    int32_t i = 0;
    for (const auto& c : corners) face.SetCorner(i++, c[0], c[1], c[2], 0.5f, 0.5f);
    face.SetCornerCount(i);
    view.DrawWithRenderer(face, 0);
    return std::count(pixels.begin(), pixels.end(), 0x00ABCDEFu);
  };
  EXPECT_EQ(draw({{-1, -1, 0}, {1, 1, 0}}), 0) << "two corners";
  // Beyond the near plane (w - z < 0).
  EXPECT_EQ(draw({{-0.5f, -0.5f, 2}, {0.5f, -0.5f, 2}, {0.5f, 0.5f, 2}, {-0.5f, 0.5f, 2}}), 0) << "behind";
  // Columns 7.5 .. 8.5 of 16: only pixel 7's centre (7.5) lies inside.
  const float left = 7.4f / 8 - 1, right = 7.6f / 8 - 1;
  const auto count = draw({{left, 0.5f, 0}, {right, 0.5f, 0}, {right, -0.5f, 0}, {left, -0.5f, 0}});
  EXPECT_EQ(count, 8);
  for (int32_t row = 4; row < 12; ++row) EXPECT_EQ(pixels[static_cast<size_t>(row * 16 + 7)], 0x00ABCDEFu) << row;
}

}  // namespace
}  // namespace vx
