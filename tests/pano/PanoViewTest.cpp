#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "engine/pano/PanoView.h"
#include "tests/pano/PanoTestSupport.h"

namespace vx {
namespace {

using test::RecordingRenderer;
using test::RendererLog;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

MediaImageInfo OutputOf(std::vector<uint8_t>& pixels, uint16_t width, uint16_t height) {
  pixels.assign(static_cast<size_t>(width) * height * 4, 0);
  return test::DescribePixels(pixels.data(), width, height, 4);
}

class PanoViewTest : public ::testing::Test {
 protected:
  // Attaches a recording renderer with the given limits.
  RecordingRenderer& Attach(AngleRange limits, ZoomLimits zoom = kViewZoomLimits) {
    renderer_ = std::make_unique<RecordingRenderer>(log_);
    renderer_->angleLimits = limits;
    renderer_->zoomLimits = zoom;
    view_.SetRenderer(renderer_.get());
    return *renderer_;
  }

  std::shared_ptr<RendererLog> log_ = std::make_shared<RendererLog>();
  std::unique_ptr<RecordingRenderer> renderer_;
  CPanoView view_;
};

// ---- Direction and field of view ----------------------------------------

TEST_F(PanoViewTest, FullCircleYawWrapsIntoTheRange) {
  // Without renderer the range is 0 .. 2 pi.
  EXPECT_EQ(view_.SetAngles(0, 7.0, 0), kViewValueClamped);
  EXPECT_EQ(view_.GetAngles().yaw, 7.0 - kTwoPi);
  view_.SetAngles(0, -0.5, 0);
  EXPECT_EQ(view_.GetAngles().yaw, -0.5 + kTwoPi);
  EXPECT_EQ(view_.SetAngles(0, 1.0, 0.25), kViewValueKept);
  EXPECT_EQ(view_.GetAngles().roll, 0.25);
  view_.SetAngles(0, kTwoPi, 0);  // the maximum itself lies outside
  EXPECT_EQ(view_.GetAngles().yaw, 0.0);
}

TEST_F(PanoViewTest, HugeOrNonFiniteAnglesEndAndKeepTheViewUsable) {
  view_.SetAngles(0.2, 1.0, 0.1);
  EXPECT_EQ(view_.SetAngles(kNaN, kInf, kNaN), kViewValueClamped);
  EXPECT_EQ(view_.GetAngles().pitch, 0.2);
  EXPECT_EQ(view_.GetAngles().yaw, 1.0);
  EXPECT_EQ(view_.GetAngles().roll, 0.1);
  view_.SetAngles(0, -kInf, 0);
  EXPECT_EQ(view_.GetAngles().yaw, 1.0);

  for (double yaw : {1e300, -1e300, 1e17 + 3, -4e9, std::numeric_limits<double>::max()}) {
    view_.SetAngles(0, yaw, 0);
    const double kept = view_.GetAngles().yaw;
    EXPECT_GE(kept, 0.0) << yaw;
    EXPECT_LT(kept, kTwoPi) << yaw;
  }
  view_.SetFieldOfView(kNaN, 1.0f);
  EXPECT_TRUE(std::isfinite(view_.GetFieldOfView().vertical));
  EXPECT_TRUE(std::isfinite(view_.GetFieldOfView().horizontal));
  view_.SetFieldOfView(0.5, std::numeric_limits<float>::infinity());
  EXPECT_EQ(view_.GetAspect(), 1.0f);
}

TEST_F(PanoViewTest, BoundedYawKeepsTheFieldInsideWithTheMinimumSideWinning) {
  Attach({-1, 1, -kHalfPi, kHalfPi});
  view_.SetFieldOfView(0.5, 1.0f);
  const double h = view_.GetFieldOfView().horizontal;
  EXPECT_NEAR(h, 0.5, 1e-12);
  EXPECT_EQ(view_.SetAngles(0, 0.6, 0), kViewValueClamped);
  EXPECT_EQ(view_.GetAngles().yaw, 1 - (h + 0.05000000074505806));
  view_.SetAngles(0, -0.6, 0);
  EXPECT_EQ(view_.GetAngles().yaw, -1 + h + 0.05000000074505806);
  // Within the test margin of 0.048 but short of the move margin: unchanged.
  EXPECT_EQ(view_.SetAngles(0, 1 - h - 0.049, 0), kViewValueKept);

  renderer_->angleLimits = {-0.2, 0.2, -kHalfPi, kHalfPi};
  view_.SetAngles(0, 0, 0);
  EXPECT_EQ(view_.GetAngles().yaw, -0.2 + h + 0.05000000074505806);
}

TEST_F(PanoViewTest, PitchStopsShortOfThePoleOrInsideABoundedRange) {
  Attach({0, kTwoPi, -kHalfPi, kHalfPi});
  view_.SetAngles(1.6, 0, 0);
  EXPECT_EQ(view_.GetAngles().pitch, 1.5706962994895);
  view_.SetAngles(-2.0, 0, 0);
  EXPECT_EQ(view_.GetAngles().pitch, -1.5706962994895);

  renderer_->angleLimits = {0, kTwoPi, -0.5, 0.5};
  view_.SetFieldOfView(0.3, 1.0f);
  ASSERT_EQ(view_.GetFieldOfView().vertical, 0.3);
  view_.SetAngles(0.4, 0, 0);
  EXPECT_NEAR(view_.GetAngles().pitch, 0.1999, 1e-12);
  view_.SetAngles(-0.4, 0, 0);
  EXPECT_NEAR(view_.GetAngles().pitch, -0.1999, 1e-12);
}

TEST_F(PanoViewTest, FieldOfViewClampsToTheZoomLimits) {
  // Without renderer: vertical at most 50 degrees, horizontal 60, less 0.01.
  EXPECT_EQ(view_.SetFieldOfView(1.0, 1.0f), kViewValueClamped);
  EXPECT_NEAR(view_.GetFieldOfView().vertical, 0.8626646108274999, 1e-15);
  EXPECT_NEAR(view_.GetFieldOfView().horizontal, 0.8626646108274999, 1e-15);

  EXPECT_EQ(view_.SetFieldOfView(0.5, 3.0f), kViewValueKept);
  EXPECT_NEAR(view_.GetFieldOfView().horizontal, std::atan(3 * std::tan(0.5)), 1e-15);
  EXPECT_NEAR(view_.GetFieldOfView().horizontal, 1.02294, 1e-5);
  EXPECT_EQ(view_.GetFieldOfView().vertical, 0.5);

  EXPECT_EQ(view_.SetFieldOfView(0.5, 4.0f), kViewValueClamped);
  EXPECT_NEAR(view_.GetFieldOfView().horizontal, 1.037197532993, 1e-15);
  EXPECT_NEAR(view_.GetFieldOfView().vertical, std::atan(std::tan(1.037197532993) / 4), 1e-15);

  EXPECT_EQ(view_.SetFieldOfView(1e-9, 1.0f), kViewValueClamped);
  EXPECT_EQ(view_.GetFieldOfView().vertical, 1.745329221655e-06);
}

TEST_F(PanoViewTest, LimitsNarrowerThanTheMarginLeaveTheSmallestFieldOfView) {
  // A reversed yaw range gives a negative largest half-angle, an empty one 0.
  for (double largest : {-3.65, 0.0, 0.005}) {
    Attach({6.3, -1, -kHalfPi, kHalfPi}, {1e-6, 2e-6, largest, largest});
    view_.SetFieldOfView(0.5, 1.5f);
    EXPECT_GT(view_.GetFieldOfView().vertical, 0) << largest;
    EXPECT_GE(view_.GetFieldOfView().horizontal, 1e-6) << largest;
    EXPECT_LT(view_.GetFieldOfView().horizontal, 0.01) << largest;
  }
}

TEST_F(PanoViewTest, ANewFieldOfViewClampsTheDirectionAgain) {
  Attach({-1, 1, -0.6, 0.6});
  view_.SetFieldOfView(0.1, 1.0f);
  EXPECT_EQ(view_.SetAngles(0.4, 0.8, 0), kViewValueKept);
  view_.SetFieldOfView(0.3, 1.0f);
  EXPECT_NEAR(view_.GetAngles().pitch, 0.6 - 0.3 - 0.0001, 1e-12);
  EXPECT_NEAR(view_.GetAngles().yaw, 1 - (view_.GetFieldOfView().horizontal + 0.05000000074505806), 1e-12);
}

// ---- Conversions ----------------------------------------------------------

// A pinhole camera turned by yaw and pitch, with vectors and library
// functions: x right, y up, z along the line of sight.
struct ReferenceCamera {
  double yaw, pitch, tanH, tanV;

  ViewAngles Direction(double x, double y) const {
    const double cx = (2 * x - 1) * tanH, cy = (1 - 2 * y) * tanV, cz = 1;
    const double wy = cy * std::cos(pitch) + cz * std::sin(pitch);
    const double wz = -cy * std::sin(pitch) + cz * std::cos(pitch);
    return {yaw + std::atan2(cx, wz), std::atan2(wy, std::hypot(cx, wz))};
  }
  ScreenPoint Screen(double t, double q) const {
    const double d = t - yaw;
    const double wx = std::cos(q) * std::sin(d), wy = std::sin(q), wz = std::cos(q) * std::cos(d);
    const double cy = wy * std::cos(pitch) - wz * std::sin(pitch);
    const double cz = wy * std::sin(pitch) + wz * std::cos(pitch);
    return {0.5 + 0.5 * wx / (cz * tanH), 0.5 - 0.5 * cy / (cz * tanV)};
  }
};

double TurnDifference(double a, double b) { return std::remainder(a - b, 2 * M_PI); }

TEST_F(PanoViewTest, ScreenAndAnglesAgreeWithAPinholeCamera) {
  view_.SetFieldOfView(0.45, 1.5f);
  for (double pitch : {-1.3, -0.4, 0.0, 0.7, 1.2}) {
    view_.SetAngles(pitch, 0.3, 0);
    const FieldOfView fov = view_.GetFieldOfView();
    const ReferenceCamera camera{0.3, pitch, std::tan(fov.horizontal), std::tan(fov.vertical)};
    for (double x : {0.0, 0.2, 0.5, 0.9, 1.0}) {
      for (double y : {0.0, 0.35, 0.5, 1.0}) {
        const ViewAngles got = view_.ScreenToAngles(x, y);
        const ViewAngles want = camera.Direction(x, y);
        EXPECT_NEAR(TurnDifference(got.yaw, want.yaw), 0, 1e-5) << pitch << " " << x << " " << y;
        EXPECT_NEAR(got.pitch, want.pitch, 1e-5) << pitch << " " << x << " " << y;

        // Back to the screen, for directions in front of the viewer.
        const ScreenPoint back = view_.AnglesToScreen(got.yaw, got.pitch);
        const ScreenPoint reference = camera.Screen(want.yaw, want.pitch);
        EXPECT_NEAR(back.x, reference.x, 1e-4) << pitch << " " << x << " " << y;
        EXPECT_NEAR(back.y, reference.y, 1e-4) << pitch << " " << x << " " << y;
        EXPECT_NEAR(back.x, x, 1e-4);
        EXPECT_NEAR(back.y, y, 1e-4);
      }
    }
  }
}

TEST_F(PanoViewTest, ScreenAnglesFoldOverThePoleAndWrapIntoTheRange) {
  Attach({-kPi, kPi, -kHalfPi, kHalfPi});
  view_.SetFieldOfView(0.5, 1.0f);
  view_.SetAngles(kHalfPi, 3.0, 0);  // stops just short of the zenith
  // The centre keeps the view's pitch, a hair below the zenith.
  const ViewAngles up = view_.ScreenToAngles(0.5, 0.5);
  EXPECT_NEAR(up.pitch, kHalfPi, 1e-3);
  // Beyond the zenith the yaw turns half round and is wrapped into -pi .. pi.
  const ViewAngles beyond = view_.ScreenToAngles(0.5, 0.0);
  EXPECT_NEAR(beyond.yaw, 3.0 + kPi - kTwoPi, 1e-6);
  EXPECT_NEAR(beyond.pitch, kHalfPi - 0.5, 1e-3);
}

// ---- Row pattern and drawing ---------------------------------------------

using Rows = std::vector<std::pair<int32_t, int32_t>>;

class PanoViewRowsTest : public PanoViewTest {
 protected:
  void SetUp() override {
    view_.SetOutputImage(OutputOf(pixels_, 4, 6));
    Attach(kAnyDirection);
    renderer_->SetTarget(&view_);
  }
  Rows DrawWithMode(int16_t mode, uint32_t frameWord = 0) {
    renderer_->SetMode(mode);
    log_->rows.clear();
    view_.DrawFrame(frameWord);
    return log_->rows;
  }
  std::vector<uint8_t> pixels_;
};

TEST_F(PanoViewRowsTest, ModeBitsSixAndSevenPickTheRowPattern) {
  EXPECT_EQ(DrawWithMode(0x01), (Rows{{1, 2}, {3, 2}, {5, 2}}));
  EXPECT_EQ(DrawWithMode(0x40), (Rows{{1, 1}, {3, 1}, {5, 1}}));
  EXPECT_EQ(DrawWithMode(0x80), (Rows{{0, 2}, {1, 1}, {2, 2}, {3, 1}, {4, 2}, {5, 1}}));
  const Rows everyRow{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}};
  EXPECT_EQ(DrawWithMode(kDefaultRendererMode), everyRow);
  EXPECT_EQ(DrawWithMode(0), Rows{});
  // Negative modes use their bits 6-7 as well.
  EXPECT_EQ(DrawWithMode(-1), everyRow);
  EXPECT_EQ(DrawWithMode(static_cast<int16_t>(0x8040)), (Rows{{1, 1}, {3, 1}, {5, 1}}));
}

TEST_F(PanoViewRowsTest, InterlacingDrawsTheFieldOfBitZeroWithinTheBounds) {
  view_.SetInterlace(1);
  EXPECT_EQ(DrawWithMode(kDefaultRendererMode, 1), (Rows{{1, 1}, {3, 1}, {5, 1}}));
  EXPECT_EQ(DrawWithMode(kDefaultRendererMode, 2), (Rows{{0, 1}, {2, 1}, {4, 1}}));
  EXPECT_EQ(view_.GetFrameWord(), 2u);
  view_.SetInterlace(0);
  renderer_->bounds = PanoBounds{2, 0, 5, 4};
  EXPECT_EQ(DrawWithMode(kDefaultRendererMode), (Rows{{2, 1}, {3, 1}, {4, 1}}));
}

TEST_F(PanoViewRowsTest, ExtraRenderersDrawAfterTheMainOneRowByRow) {
  auto extra = std::make_unique<RecordingRenderer>(log_, "x");
  extra->bounds = PanoBounds{0, 0, 2, 4};
  CPanoRenderer* extras[] = {extra.get()};
  view_.SetExtraRenderers(extras);
  EXPECT_EQ(view_.Prepare(), 0);
  log_->calls.clear();
  view_.SetOutputImage(OutputOf(pixels_, 4, 2));
  EXPECT_EQ(view_.DrawFrame(0), 0);
  EXPECT_EQ(log_->calls, (std::vector<std::string>{"r:Draw", "x:Draw", "r:DrawRow", "x:DrawRow", "r:DrawRow",
                                                   "x:DrawRow", "r:FinishDraw", "x:FinishDraw"}));

  // The first extra's non-zero FinishDraw is the frame's result; the main
  // renderer's result counts only without extras.
  renderer_->finishResult = 4;
  EXPECT_EQ(view_.DrawFrame(0), 0);
  extra->finishResult = 6;
  EXPECT_EQ(view_.DrawFrame(0), 6);
  view_.SetExtraRenderers({});
  EXPECT_EQ(view_.DrawFrame(0), 4);

  // One renderer on its own, whatever its results.
  log_->calls.clear();
  EXPECT_EQ(view_.DrawWithRenderer(*extra, 7), 0);
  EXPECT_EQ(log_->calls, (std::vector<std::string>{"x:SetTarget", "x:Draw", "x:DrawRow", "x:DrawRow", "x:FinishDraw"}));
  EXPECT_EQ(view_.GetFrameWord(), 7u);
}

TEST_F(PanoViewRowsTest, ARendererThatDrawsTheWholeFrameEndsIt) {
  renderer_->drawResult = 3;
  log_->calls.clear();
  EXPECT_EQ(view_.DrawFrame(0), 3);
  EXPECT_EQ(log_->calls, std::vector<std::string>{"r:Draw"});

  view_.SetRenderer(nullptr);
  EXPECT_EQ(view_.DrawFrame(0), 2);  // nothing to draw with
}

TEST_F(PanoViewRowsTest, PrepareNeedsOutputPixelsAndTargetsEachRenderer) {
  CPanoView empty;
  empty.SetRenderer(renderer_.get());
  log_->calls.clear();
  EXPECT_EQ(empty.Prepare(), 2);
  EXPECT_TRUE(log_->calls.empty());
  EXPECT_EQ(view_.Prepare(), 0);
  EXPECT_EQ(log_->calls, (std::vector<std::string>{"r:SetTarget", "r:Prepare"}));
  EXPECT_EQ(renderer_->GetTarget(), &view_);
}

TEST_F(PanoViewRowsTest, BaseRenderWalksItsBoundsAndTheFieldParity) {
  view_.SetInterlace(1);
  log_->rows.clear();
  EXPECT_EQ(renderer_->Render(1), 0);
  EXPECT_EQ(log_->rows, (Rows{{1, 1}, {3, 1}, {5, 1}}));
  renderer_->bounds = PanoBounds{3, 0, 6, 4};
  log_->rows.clear();
  renderer_->Render(0);
  EXPECT_EQ(log_->rows, (Rows{{4, 1}}));

  CPanoRenderer untargeted;
  PanoBounds bounds{1, 2, 3, 4};
  EXPECT_EQ(untargeted.GetBounds(&bounds), 2);
  EXPECT_EQ(bounds.bottom, 0);
  EXPECT_EQ(untargeted.Render(0), 0);
}

// ---- Visible part of the picture -----------------------------------------

class PanoVisibleRectTest : public PanoViewTest {
 protected:
  void SetUp() override {
    Attach({-kPi, kPi, -kHalfPi, kHalfPi}).toImage = test::SpherePicturePoint;
    view_.SetFieldOfView(0.5, 1.0f);
  }
  PanoBounds Rect() {
    PanoBounds rect;
    EXPECT_TRUE(view_.GetVisibleImageRect(kWidth, kHeight, &rect));
    return rect;
  }
  static constexpr int32_t kWidth = 1025, kHeight = 513;
};

TEST_F(PanoVisibleRectTest, LevelViewCoversItsFieldOfView) {
  view_.SetAngles(0, 0, 0);
  const double v = view_.GetFieldOfView().vertical;
  const PanoBounds rect = Rect();
  EXPECT_EQ(rect.top, static_cast<int32_t>(512 * ((kHalfPi - v) / kPi) - 0.5));
  EXPECT_EQ(rect.bottom, static_cast<int32_t>(512 * ((kHalfPi + v) / kPi) + 0.5));
  // The corners of the top edge lie at yaw -+atan(tan h) = -+h.
  const double h = view_.GetFieldOfView().horizontal;
  EXPECT_EQ(rect.left, static_cast<int32_t>(1024 * ((kPi - h) / kTwoPi) - 0.5));
  EXPECT_EQ(rect.right, static_cast<int32_t>(1024 * ((kPi + h) / kTwoPi) + 0.5));
}

TEST_F(PanoVisibleRectTest, RegionAcrossTheSeamWrapsPastTheWidth) {
  view_.SetAngles(0, kPi - 0.1, 0);
  const PanoBounds rect = Rect();
  EXPECT_GT(rect.right, kWidth);
  EXPECT_GT(rect.left, kWidth / 2);
  EXPECT_NEAR(rect.right - rect.left, 1024 * (2 * view_.GetFieldOfView().horizontal / kTwoPi), 2);
}

TEST_F(PanoVisibleRectTest, ViewsOverAPoleTakeEveryColumn) {
  view_.SetAngles(1.3, 0.4, 0);
  PanoBounds rect = Rect();
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.right, 1024);
  EXPECT_EQ(rect.top, 0);
  EXPECT_GT(rect.bottom, 0);
  EXPECT_LT(rect.bottom, kHeight / 2);

  view_.SetAngles(-1.3, 0.4, 0);
  rect = Rect();
  EXPECT_EQ(rect.right, 1024);
  EXPECT_GT(rect.top, kHeight / 2);
  EXPECT_EQ(rect.bottom, kHeight - 1);  // wrapped below the picture, kept inside
}

TEST_F(PanoVisibleRectTest, NothingIsVisibleWithoutRenderer) {
  view_.SetRenderer(nullptr);
  PanoBounds rect{1, 2, 3, 4};
  EXPECT_FALSE(view_.GetVisibleImageRect(kWidth, kHeight, &rect));
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 0);
}

}  // namespace
}  // namespace vx
