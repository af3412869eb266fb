#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/pano/PanoContext.h"
#include "engine/pano/PanoRendererFactory.h"
#include "engine/pano/PanoWarper.h"
#include "tests/pano/PanoTestSupport.h"
#include "tests/pano/WarpReference.h"

namespace vx {
namespace {

using test::AngleBetween;
using test::CoordinatePicture;
using test::Direction;

constexpr int16_t kSphere = static_cast<int16_t>(PanoProjection::kSphere);
constexpr int16_t kCylinder = static_cast<int16_t>(PanoProjection::kCylinder);
// Fill colour word: bytes alpha, red, green, blue from the low byte, so the
// fill pixels have their top bit set and no picture pixel has.
constexpr uint32_t kFillWord = 0x563412FF;
constexpr uint8_t kUntouched = 0xEE;

// One context drawing a picture into an output image of its own.
class WarpedView {
 public:
  WarpedView(int16_t projection, const MediaImageInfo& source, int32_t width, int32_t height,
             AngleRangeF extent = kWholeSphereF)
      : size_(source.bytesPerPixel), width_(width), height_(height) {
    context_->fillColour = kFillWord;
    context_->imageExtent = extent;
    EXPECT_EQ(PanoCreateRenderer(context_.get(), source, projection), kPanoOk);
    output_.assign(static_cast<size_t>(width) * height * size_, kUntouched);
    PanoSetOutputRect(context_.get(), test::DescribePixels(output_.data(), static_cast<uint16_t>(width),
                                                           static_cast<uint16_t>(height), static_cast<uint16_t>(size_)));
    EXPECT_EQ(PanoPrepareRender(context_.get()), kPanoOk);
  }

  void Look(double yaw, double pitch, double roll = 0, double vertical = 0.5, int16_t resolution = 512) {
    PanoSetFieldOfView(context_.get(), static_cast<float>(vertical));
    PanoSetViewAngles(context_.get(), {static_cast<float>(yaw), static_cast<float>(pitch), static_cast<float>(roll)});
    PanoSetResolution(context_.get(), resolution);
  }
  // The renderer's answer: 0 drawn, non-zero refused.
  int32_t Draw() {
    std::fill(output_.begin(), output_.end(), kUntouched);
    return context_->view->DrawFrame(context_->frameWord);
  }
  uint32_t PixelAt(int32_t column, int32_t row) const {
    const uint8_t* at = output_.data() + (static_cast<size_t>(row) * width_ + column) * size_;
    if (size_ == 4) {
      uint32_t v;
      std::memcpy(&v, at, 4);
      return v;
    }
    uint16_t v;
    std::memcpy(&v, at, 2);
    return v;
  }
  bool RowUntouched(int32_t row) const {
    const auto begin = output_.begin() + static_cast<ptrdiff_t>(row) * width_ * size_;
    return std::all_of(begin, begin + width_ * size_, [](uint8_t b) { return b == kUntouched; });
  }
  bool AllUntouched() const {
    return std::all_of(output_.begin(), output_.end(), [](uint8_t b) { return b == kUntouched; });
  }
  PanoContext& Context() { return *context_; }
  const CPanoView& View() const { return *context_->view; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

 private:
  std::unique_ptr<PanoContext> context_ = PanoCreate();
  int32_t size_, width_, height_;
  std::vector<uint8_t> output_;
};

// How a projection places a picture: the direction of a picture pixel's
// centre, whether a direction lies on the picture at least `margin` inside
// its edges, and the angle half a picture pixel spans there.
struct PictureModel {
  std::function<Direction(double column, double row)> toDirection;
  std::function<bool(const Direction&, double margin)> onPicture;
  std::function<double(const Direction&)> halfPixel;
};

// Whether a direction lies `margin` or more inside the yaws from `first`
// to `first + span` (a whole turn holds every direction).
bool InsideYaws(const Direction& d, double first, double span, double margin) {
  if (span >= 2 * M_PI) return true;
  const double fromFirst = std::remainder(d.yaw - first - span / 2, 2 * M_PI) + span / 2;
  if (fromFirst < 0 || fromFirst > span) return false;
  // The angle to the half-plane of an edge's meridian.
  auto toEdge = [&d](double yaws) {
    return yaws >= M_PI / 2 ? M_PI / 2 : std::asin(std::cos(d.pitch) * std::sin(yaws));
  };
  return std::min(toEdge(fromFirst), toEdge(span - fromFirst)) >= margin;
}

// A sphere picture from pitch `top` down to `-top` (the whole height of the
// sphere for pi/2) and over `span` of yaw from `first` (a whole turn from
// -pi unless told); outside it the warper shows the fill colour.
PictureModel SphereModel(int32_t width, int32_t height, double top = M_PI / 2, double first = -M_PI,
                         double span = 2 * M_PI) {
  const double w = width, h = height;
  return {[=](double column, double row) { return Direction{first + column / w * span, top - row / h * 2 * top}; },
          [=](const Direction& d, double margin) {
            return std::fabs(d.pitch) <= top - margin && InsideYaws(d, first, span, margin);
          },
          [=](const Direction& d) { return std::hypot(span / (2 * w) * std::cos(d.pitch), top / h); }};
}

// A cylinder picture reaching `cap` above and below the horizon.
PictureModel CylinderModel(int32_t width, int32_t height, double cap) {
  const double w = width, h = height, th = std::tan(cap);
  return {[w, h, th](double column, double row) {
            return Direction{column / w * 2 * M_PI - M_PI, std::atan(th - row / h * 2 * th)};
          },
          [cap](const Direction& d, double margin) { return std::fabs(d.pitch) <= cap - margin; },
          [w, h, th](const Direction& d) {
            const double c = std::cos(d.pitch);
            return std::hypot(M_PI / w * c, th / h * c * c);
          }};
}

// The worst drawn pixel, as its distance from the reference direction over
// the tolerance: half a picture pixel, plus `outputPixels` output pixels,
// plus `extraAngle`. A pixel showing fill where the picture is expected
// counts as wrong unless it lies within the tolerance of the picture's edge.
struct Measure {
  double worst = 0;
  int32_t wrongFill = 0;
  int32_t fill = 0;
  int32_t untouched = 0;
};

struct Tolerance {
  double outputPixels = 1.0;
  double extraAngle = 0;
  int32_t every = 1;  // measure every n-th row and column
};

Measure MeasureView(const WarpedView& view, const CoordinatePicture& picture, const PictureModel& model,
                    const Tolerance& t = {}) {
  Measure m;
  const double outputAngle = test::OutputPixelAngle(view.View());
  const uint32_t untouched = picture.Info().bytesPerPixel == 4 ? 0xEEEEEEEEu : 0xEEEEu;
  for (int32_t row = 0; row < view.Height(); row += t.every) {
    for (int32_t column = 0; column < view.Width(); column += t.every) {
      const Direction expected = test::ReferenceDirection(view.View(), column, row);
      const uint32_t pixel = view.PixelAt(column, row);
      const double tolerance = model.halfPixel(expected) + t.outputPixels * outputAngle + t.extraAngle;
      if (pixel == untouched) {
        ++m.untouched;
        continue;
      }
      const auto position = picture.Decode(pixel);
      if (!position) {
        ++m.fill;
        if (model.onPicture(expected, tolerance)) ++m.wrongFill;
        continue;
      }
      const Direction drawn = model.toDirection(position->first + 0.5, position->second + 0.5);
      m.worst = std::max(m.worst, AngleBetween(drawn, expected) / tolerance);
    }
  }
  return m;
}

void ExpectWithin(const Measure& m, double worst, const std::string& what) {
  EXPECT_LE(m.worst, worst) << what;
  EXPECT_EQ(m.wrongFill, 0) << what;
  EXPECT_EQ(m.untouched, 0) << what;
}

CoordinatePicture PictureFor(int32_t size, bool wrapped) {
  return size == 4 ? CoordinatePicture(1024, 512, 4, wrapped) : CoordinatePicture(256, 128, 2, wrapped);
}

struct ViewCase {
  const char* name;
  double yaw, pitch, vertical;
};

constexpr ViewCase kSphereViews[] = {
    {"ahead", 0.3, 0.0, 0.5},
    {"across the seam", 3.1, 0.1, 0.5},
    {"up over the pole", 0.7, 1.35, 0.6},
    {"down over the pole", -2.0, -1.4, 0.6},
    {"zoomed in", -1.0, 0.4, 0.05},
    {"wide", 1.5, -0.3, 0.8},
};

// Nearest sampling puts every pixel within half a picture pixel and one
// output pixel of the exact direction; a little more is left for the
// table's 1/16-pixel steps and its interpolation between samples.
constexpr double kNearestWorst = 1.35;
// The roll grid is coarse (a sixth as many columns as rows).
constexpr double kRollWorst = 4.0;

class SphereWarpTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(SphereWarpTest, FollowsTheReferenceAcrossTheSeamAndOverThePoles) {
  const CoordinatePicture picture = PictureFor(GetParam(), true);
  WarpedView view(kSphere, picture.Info(), 640, 480);
  for (const ViewCase& c : kSphereViews) {
    view.Look(c.yaw, c.pitch, 0, c.vertical);
    ASSERT_EQ(view.Draw(), 0) << c.name;
    ExpectWithin(MeasureView(view, picture, SphereModel(picture.Width(), picture.Height())), kNearestWorst, c.name);
  }
}

// Rows of a plain picture lie end to end, so a read past the right edge
// would see the next row's start: the seam must read the same row's first
// columns, as the wrapped picture's row table does.
TEST_P(SphereWarpTest, PlainPicturesAreDrawnAsWrappedOnesAcrossTheSeam) {
  const CoordinatePicture plain = PictureFor(GetParam(), false);
  const CoordinatePicture wrapped = PictureFor(GetParam(), true);
  WarpedView plainView(kSphere, plain.Info(), 640, 480);
  WarpedView wrappedView(kSphere, wrapped.Info(), 640, 480);
  const PictureModel model = SphereModel(plain.Width(), plain.Height());
  for (const ViewCase& c : kSphereViews) {
    plainView.Look(c.yaw, c.pitch, 0, c.vertical);
    wrappedView.Look(c.yaw, c.pitch, 0, c.vertical);
    ASSERT_EQ(plainView.Draw(), 0) << c.name;
    ASSERT_EQ(wrappedView.Draw(), 0) << c.name;
    const Measure plainMeasure = MeasureView(plainView, plain, model);
    ExpectWithin(plainMeasure, kNearestWorst, c.name);
    EXPECT_LE(plainMeasure.worst, MeasureView(wrappedView, wrapped, model).worst + 0.01) << c.name;
  }
}

TEST_P(SphereWarpTest, FullHdOutputIsSizedFromTheOutput) {
  const CoordinatePicture picture = PictureFor(GetParam(), true);
  WarpedView view(kSphere, picture.Info(), 1920, 1080);
  for (const ViewCase& c : {kSphereViews[0], kSphereViews[2], kSphereViews[5]}) {
    view.Look(c.yaw, c.pitch, 0, c.vertical);
    ASSERT_EQ(view.Draw(), 0) << c.name;
    ExpectWithin(MeasureView(view, picture, SphereModel(picture.Width(), picture.Height()), {1.0, 0, 3}),
                 kNearestWorst, c.name);
  }
}

TEST_P(SphereWarpTest, RolledViewsTurnAboutTheCentreWithBothGridSamplers) {
  const CoordinatePicture picture = PictureFor(GetParam(), true);
  WarpedView view(kSphere, picture.Info(), 640, 480);
  for (const int16_t resolution : {512, 768}) {
    for (const double roll : {0.3, -1.0, 2.5}) {
      view.Look(0.4, 0.2, roll, 0.5, resolution);
      ASSERT_EQ(view.Draw(), 0);
      ExpectWithin(MeasureView(view, picture, SphereModel(picture.Width(), picture.Height())), kRollWorst,
                   "roll " + std::to_string(roll) + " at " + std::to_string(resolution));
    }
  }
}

TEST_P(SphereWarpTest, BandRowsBeyondThePictureShowTheFillColour) {
  const CoordinatePicture picture = PictureFor(GetParam(), true);
  WarpedView view(kSphere, picture.Info(), 640, 480, {-kFacadePi, kFacadePi, -0.5f, 0.5f});
  const PictureModel model = SphereModel(picture.Width(), picture.Height(), 0.5f);
  for (const double pitch : {0.8, -0.9, 1.5}) {
    view.Look(1.0, pitch, 0, 0.5);
    ASSERT_EQ(view.Draw(), 0);
    const Measure m = MeasureView(view, picture, model);
    ExpectWithin(m, kNearestWorst, "pitch " + std::to_string(pitch));
    EXPECT_GT(m.fill, view.Width() * 10) << pitch;
  }
}

TEST_P(SphereWarpTest, InterlacedFramesDrawOnlyTheirField) {
  const CoordinatePicture picture = PictureFor(GetParam(), true);
  WarpedView view(kSphere, picture.Info(), 320, 240);
  PanoSetViewFlag(&view.Context(), 1);
  for (const uint32_t field : {0u, 1u}) {
    PanoSetFrameWord(&view.Context(), field);
    view.Look(0.5, 0.3);
    ASSERT_EQ(view.Draw(), 0);
    for (int32_t row = 0; row < view.Height(); ++row)
      ASSERT_EQ(view.RowUntouched(row), (row & 1) != static_cast<int32_t>(field)) << row;
    // The drawn rows are where a whole frame would put them.
    EXPECT_LE(MeasureView(view, picture, SphereModel(picture.Width(), picture.Height())).worst, kNearestWorst);
  }
}

TEST_P(SphereWarpTest, CylinderCapsShowTheFillColourAndTheBandTheReference) {
  const CoordinatePicture picture = PictureFor(GetParam(), true);
  constexpr float kCap = 0.6f;
  WarpedView view(kCylinder, picture.Info(), 640, 480, {-kFacadePi, kFacadePi, -kCap, kCap});
  const PictureModel model = CylinderModel(picture.Width(), picture.Height(), kCap);
  for (const double pitch : {0.0, 0.9, -1.2}) {
    view.Look(0.4, pitch, 0, 0.5);
    ASSERT_EQ(view.Draw(), 0);
    const Measure m = MeasureView(view, picture, model);
    ExpectWithin(m, kNearestWorst, "pitch " + std::to_string(pitch));
    if (pitch != 0) {
      EXPECT_GT(m.fill, view.Width() * 10) << pitch;
    }
  }
}

// Rolled views as wide as the zoom limits allow, of plain pictures and
// across their seam: the roll grid's steps are long and its reads reach
// far to either side, and still land on the picture or the fill.
TEST_P(SphereWarpTest, WideRolledViewsOfPlainPicturesStayOnThePicture) {
  const CoordinatePicture picture = PictureFor(GetParam(), false);
  constexpr float kCap = 0.6f;
  WarpedView view(kCylinder, picture.Info(), 640, 480, {-kFacadePi, kFacadePi, -kCap, kCap});
  const PictureModel model = CylinderModel(picture.Width(), picture.Height(), kCap);
  for (const double yaw : {0.3, 3.1}) {
    for (const double roll : {0.7, -2.5}) {
      view.Look(yaw, 0.4, roll, 0.8, 1024);
      ASSERT_EQ(view.Draw(), 0) << yaw << " " << roll;
      ExpectWithin(MeasureView(view, picture, model), kRollWorst,
                   "yaw " + std::to_string(yaw) + " roll " + std::to_string(roll));
    }
  }
}

// A level view of a picture symmetric about its horizon row: output row r
// and row h - 1 - r must show mirrored picture rows, for even and odd h.
TEST(WarperTest, TheLowerHalfOfALevelViewMirrorsTheUpperRowForRow) {
  const CoordinatePicture picture(1024, 512, 4, true);
  for (const int32_t height : {480, 481}) {
    WarpedView view(kSphere, picture.Info(), 640, height);
    view.Look(0.0, 0.0, 0, 0.8);
    ASSERT_EQ(view.Draw(), 0);
    for (int32_t row = 0; row < height / 2; ++row) {
      const auto upper = picture.Decode(view.PixelAt(320, row));
      const auto lower = picture.Decode(view.PixelAt(320, height - 1 - row));
      ASSERT_TRUE(upper && lower);
      ASSERT_EQ(upper->second + lower->second, picture.Height() - 1) << "height " << height << " row " << row;
    }
  }
}

struct LargePicture {
  const char* name;
  int32_t width, height;
  int16_t projection;
  double cap;  // pitch of the picture's top edge
  bool wide;   // past what narrow table entries hold
};

constexpr LargePicture kLargePictures[] = {
    {"4096 x 2048", 4096, 2048, kSphere, M_PI / 2, false},
    {"8192 x 4096", 8192, 4096, kSphere, M_PI / 2, true},
    {"11584 x 5792", 11584, 5792, kSphere, M_PI / 2, true},
    // A whole turn of square pixels.
    {"16384 x 4096 cylinder", 16384, 4096, kCylinder, 0.6657737500283538, true},
};

// Picture pixels finer than the table's steps of pitch leave room for those
// steps: a 640-wide output has a table of 281 columns and 563 rows from the
// pole to the horizon, and its rows are read half a row apart.
constexpr Tolerance kFinePicture{1.0, M_PI / 2 / (4 * 281), 2};

// Every picture the media limits admit is drawn whole, at the seam, over
// both poles (up to the caps of a cylinder) and rolled, from wide table
// entries where narrow ones run out.
TEST(WarperTest, PicturesUpToTheMediaLimitsAreDrawnWhole) {
  const CoordinatePicture small(1024, 512, 4, false);
  for (const LargePicture& large : kLargePictures) {
    const CoordinatePicture picture(large.width, large.height, 4, false);
    const auto cap = static_cast<float>(large.cap);
    // Prepared for a small picture first: the large one grows the buffer.
    WarpedView view(large.projection, small.Info(), 640, 480, {-kFacadePi, kFacadePi, -cap, cap});
    PanoSetSourceImage(&view.Context(), picture.Info());
    ASSERT_EQ(PanoPrepareRender(&view.Context()), kPanoOk);
    const bool sphere = large.projection == kSphere;
    const PictureModel model =
        sphere ? SphereModel(large.width, large.height) : CylinderModel(large.width, large.height, large.cap);
    const double steep = sphere ? 1.5 : 0.45;
    const ViewCase views[] = {
        {"at the seam", 3.12, 0.05, 0.5}, {"up", 3.0, steep, 0.6}, {"down", -0.2, -steep, 0.6}};
    for (const ViewCase& c : views) {
      const std::string what = std::string(large.name) + " " + c.name;
      view.Look(c.yaw, c.pitch, 0, c.vertical);
      ASSERT_EQ(view.Draw(), 0) << what;
      ExpectWithin(MeasureView(view, picture, model, kFinePicture), kNearestWorst, what);
    }
    EXPECT_EQ(dynamic_cast<const CPanoWarper&>(*view.Context().renderer).HasWideTable(), large.wide) << large.name;
    view.Look(-3.0, 0.4, 0.8, 0.5, 768);
    ASSERT_EQ(view.Draw(), 0) << large.name;
    ExpectWithin(MeasureView(view, picture, model, kFinePicture), kRollWorst, std::string(large.name) + " rolled");
  }
}

// Pictures of less than a whole turn, held by view limits of their own
// yaws as a Vista holds them, with the default pitch limits: every view the
// limits allow is drawn, with the fill colour where a steep view sees past
// the picture's sides.
TEST(WarperTest, PartialPicturesAreDrawnAtEveryViewTheirLimitsAllow) {
  constexpr int32_t kHeight = 1800;  // a tenth of a degree a row
  for (const double degrees : {60.0, 90.0, 120.0}) {
    const double span = degrees * M_PI / 180;
    const auto width = static_cast<int32_t>(degrees * 10);
    const CoordinatePicture picture(width, kHeight, 4, false);
    const AngleRangeF extent{1.0f, static_cast<float>(1.0 + span), -kFacadeHalfPi, kFacadeHalfPi};
    WarpedView view(kSphere, picture.Info(), 640, 480, extent);
    PanoSetViewLimits(&view.Context(), extent);
    const PictureModel model = SphereModel(width, kHeight, M_PI / 2, extent.yawMin, extent.yawMax - extent.yawMin);
    const double middle = 1.0 + span / 2;
    const ViewCase views[] = {
        {"level", middle, 0.0, 0.3},          {"up past the sides", middle, 1.2, 0.4},
        {"down over the pole", middle, -1.5, 0.4}, {"at the left limit", 0.0, 0.2, 0.3},
        {"closer at the right", 1.0 + span * 0.9, -0.4, 0.15},
    };
    for (const ViewCase& c : views) {
      const std::string what = std::to_string(static_cast<int>(degrees)) + " degrees " + c.name;
      view.Look(c.yaw, c.pitch, 0, c.vertical);
      ASSERT_EQ(view.Draw(), 0) << what;
      const Measure m = MeasureView(view, picture, model, kFinePicture);
      ExpectWithin(m, kNearestWorst, what);
      if (c.pitch > 1) {
        EXPECT_GT(m.fill, 0) << what;
      }
    }
  }
}

struct Refusal {
  const char* what;
  std::function<void(WarpedView&)> spoil;
};

// Each spoiled frame is refused whole: nothing of the output is written.
TEST(WarperTest, FramesItCannotDrawAreRefusedWithoutWriting) {
  static std::vector<uint8_t> twoRows(64 * 2 * 4 + 4096);
  static std::vector<uint8_t> sixteenBit(64 * 32 * 2 * 4);
  static const CoordinatePicture narrow(2048, 64, 4, false);
  const std::vector<Refusal> refusals{
      {"two rows", [](WarpedView& v) {
         MediaImageInfo image = test::DescribePixels(twoRows.data() + 1024, 64, 2, 4);
         EXPECT_EQ(v.Context().renderer->SetSourceImage(image), 2);
       }},
      {"pixel sizes differ", [](WarpedView& v) {
         PanoSetSourceImage(&v.Context(), test::DescribePixels(sixteenBit.data() + 2048, 64, 16, 2));
       }},
      {"picture without height", [](WarpedView& v) { PanoSetImageExtent(&v.Context(), {-kFacadePi, kFacadePi, 0, 0}); }},
      {"picture without width", [](WarpedView& v) { PanoSetImageExtent(&v.Context(), {1, 1, -1, 1}); }},
      {"view limits without height", [](WarpedView& v) { PanoSetViewLimits(&v.Context(), {-kFacadePi, kFacadePi, 0, 0}); }},
      {"columns past even wide entries", [](WarpedView& v) {
         PanoSetSourceImage(&v.Context(), narrow.Info());
         PanoSetImageExtent(&v.Context(), {-5e-6f, 5e-6f, -kFacadeHalfPi, kFacadeHalfPi});
       }},
      {"band of more rows than any picture", [](WarpedView& v) {
         PanoSetImageExtent(&v.Context(), {-kFacadePi, kFacadePi, -0.001f, 0.001f});
       }},
      {"resolution below every class", [](WarpedView& v) { PanoSetResolution(&v.Context(), 100); }},
      {"output grown without a new buffer", [](WarpedView& v) {
         static std::vector<uint8_t> larger(1920 * 1080 * 4);
         PanoSetOutputRect(&v.Context(), test::DescribePixels(larger.data(), 1920, 1080, 4));
         EXPECT_EQ(v.Context().view->DrawFrame(0), 2);
         std::fill(larger.begin(), larger.end(), kUntouched);
         // Prepared again, the same output is drawn with tables of its size.
         ASSERT_EQ(PanoPrepareRender(&v.Context()), kPanoOk);
         EXPECT_EQ(v.Context().view->DrawFrame(0), 0);
         EXPECT_NE(larger[1080 / 2 * 1920 * 4 + 4], kUntouched);
         PanoSetOutputRect(&v.Context(), test::DescribePixels(larger.data(), 640, 480, 4));
       }},
  };
  const CoordinatePicture picture(1024, 512, 4, false);
  for (const Refusal& r : refusals) {
    WarpedView view(kSphere, picture.Info(), 640, 480);
    view.Look(0.2, 0.1);
    ASSERT_EQ(view.Draw(), 0) << r.what;
    r.spoil(view);
    EXPECT_NE(view.Draw(), 0) << r.what;
    EXPECT_TRUE(view.AllUntouched()) << r.what;
  }
}

TEST(WarperTest, PictureFractionsAndDirectionsConvertBothWays) {
  const CoordinatePicture picture(1024, 512, 4, false);
  for (const int16_t projection : {kSphere, kCylinder}) {
    WarpedView view(projection, picture.Info(), 64, 48, {-kFacadePi, kFacadePi, -0.8f, 0.8f});
    CPanoImageRenderer& renderer = *view.Context().renderer;
    for (const Direction d : {Direction{0.5, 0.3}, Direction{-3.0, -0.7}, Direction{2.0, 0.0}}) {
      ImagePoint point;
      EXPECT_EQ(renderer.AnglesToImage(d.yaw, d.pitch, &point), 1);
      EXPECT_NEAR(point.u, (d.yaw + kPi) / kTwoPi, 1e-5) << projection;
      double yaw = 0, pitch = 0;
      renderer.ImageToAngles(point.u, point.v, &yaw, &pitch);
      EXPECT_NEAR(yaw, d.yaw, 1e-5) << projection;
      EXPECT_NEAR(pitch, d.pitch, 1e-4) << projection;
    }
    // A picture without width or height answers without dividing by zero.
    PanoSetImageExtent(&view.Context(), {0, 0, 0, 0});
    ImagePoint point;
    renderer.AnglesToImage(0.2, 0.1, &point);
    EXPECT_TRUE(std::isfinite(point.u) && std::isfinite(point.v));
  }
}

// Blending classes mix a pixel with its neighbours toward the exact
// position: decoded, the blend lies within one more picture pixel of it.
TEST_P(SphereWarpTest, BlendingClassesStayWithinAPixelOfTheReference) {
  const int32_t side = GetParam() == 4 ? 256 : 32;
  const CoordinatePicture picture(side, side, GetParam(), true, true);
  WarpedView view(kSphere, picture.Info(), 320, 240);
  const PictureModel model = SphereModel(side, side);
  const double onePixel = M_PI / side;
  // Away from the seam, where the column channel jumps from the last
  // column back to 0.
  for (const int16_t resolution : {768, 1024}) {
    for (const ViewCase& c : {ViewCase{"level", 0.2, 0.0, 0.4}, ViewCase{"up", -0.5, 0.8, 0.4}}) {
      view.Look(c.yaw, c.pitch, 0, c.vertical, resolution);
      ASSERT_EQ(view.Draw(), 0);
      ExpectWithin(MeasureView(view, picture, model, {1.0, 2 * onePixel}), kNearestWorst,
                   std::string(c.name) + " at " + std::to_string(resolution));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PixelSizes, SphereWarpTest, ::testing::Values(2, 4),
                         [](const auto& info) { return std::to_string(info.param * 8) + "Bits"; });

}  // namespace
}  // namespace vx
