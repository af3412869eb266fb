#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/pano/PanoContext.h"
#include "engine/pano/PanoRendererFactory.h"
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
// centre, whether a direction is on the picture, and the angle half a
// picture pixel spans there.
struct PictureModel {
  std::function<Direction(double column, double row)> toDirection;
  std::function<bool(const Direction&)> onPicture;
  std::function<double(const Direction&)> halfPixel;
};

PictureModel SphereModel(int32_t width, int32_t height) {
  const double w = width, h = height;
  return {[w, h](double column, double row) {
            return Direction{column / w * 2 * M_PI - M_PI, M_PI / 2 - row / h * M_PI};
          },
          [](const Direction&) { return true; },
          [w, h](const Direction& d) { return std::hypot(M_PI / w * std::cos(d.pitch), M_PI / (2 * h)); }};
}

// A cylinder picture reaching `cap` above and below the horizon.
PictureModel CylinderModel(int32_t width, int32_t height, double cap) {
  const double w = width, h = height, th = std::tan(cap);
  return {[w, h, th](double column, double row) {
            return Direction{column / w * 2 * M_PI - M_PI, std::atan(th - row / h * 2 * th)};
          },
          [cap](const Direction& d) { return std::fabs(d.pitch) <= cap; },
          [w, h, th](const Direction& d) {
            const double c = std::cos(d.pitch);
            return std::hypot(M_PI / w * c, th / h * c * c);
          }};
}

// The worst drawn pixel, as its distance from the reference direction over
// the tolerance (half a picture pixel plus `outputPixels` output pixels);
// a pixel showing fill where the picture is expected, or the other way
// round, counts unless it lies within the tolerance of the picture's edge.
struct Measure {
  double worst = 0;
  int32_t wrongFill = 0;
  int32_t untouched = 0;
};

Measure MeasureView(const WarpedView& view, const CoordinatePicture& picture, const PictureModel& model,
                    double outputPixels, int32_t every = 1) {
  Measure m;
  const double outputAngle = test::OutputPixelAngle(view.View());
  for (int32_t row = 0; row < view.Height(); row += every) {
    for (int32_t column = 0; column < view.Width(); column += every) {
      const Direction expected = test::ReferenceDirection(view.View(), column, row);
      const uint32_t pixel = view.PixelAt(column, row);
      const double tolerance = model.halfPixel(expected) + outputPixels * outputAngle;
      if (pixel == (picture.Info().bytesPerPixel == 4 ? 0xEEEEEEEEu : 0xEEEEu)) {
        ++m.untouched;
        continue;
      }
      const auto position = picture.Decode(pixel);
      if (!position) {
        if (model.onPicture(expected)) {
          const Direction nearer{expected.yaw, expected.pitch > 0 ? expected.pitch + tolerance : expected.pitch - tolerance};
          if (model.onPicture(nearer)) ++m.wrongFill;
        }
        continue;
      }
      const Direction drawn = model.toDirection(position->first + 0.5, position->second + 0.5);
      m.worst = std::max(m.worst, AngleBetween(drawn, expected) / tolerance);
    }
  }
  return m;
}

struct ViewCase {
  const char* name;
  double yaw, pitch, vertical;
};

constexpr ViewCase kSphereViews[] = {
    {"ahead", 0.3, 0.0, 0.5},
    {"seam", 3.1, 0.1, 0.5},
    {"up over the pole", 0.7, 1.35, 0.6},
    {"down over the pole", -2.0, -1.4, 0.6},
    {"zoomed in", -1.0, 0.4, 0.05},
    {"wide", 1.5, -0.3, 0.8},
};

class SphereWarpTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(SphereWarpTest, NearestDrawingFollowsTheReferenceEverywhere) {
  const int32_t size = GetParam();
  for (const bool wrapped : {true, false}) {
    const CoordinatePicture picture = size == 4 ? CoordinatePicture(1024, 512, 4, wrapped)
                                                : CoordinatePicture(256, 128, 2, wrapped);
    WarpedView view(kSphere, picture.Info(), 640, 480);
    for (const ViewCase& c : kSphereViews) {
      view.Look(c.yaw, c.pitch, 0, c.vertical);
      ASSERT_EQ(view.Draw(), 0) << c.name;
      const Measure m = MeasureView(view, picture, SphereModel(picture.Width(), picture.Height()), 1.0);
      std::printf("%d %d %s worst %.3f fill %d untouched %d\n", size, wrapped, c.name, m.worst, m.wrongFill, m.untouched);
    }
  }
}

TEST_P(SphereWarpTest, Probe) {
  const int32_t size = GetParam();
  const CoordinatePicture picture = size == 4 ? CoordinatePicture(1024, 512, 4, true)
                                              : CoordinatePicture(256, 128, 2, true);
  for (int16_t res : {512, 768}) {
    WarpedView view(kSphere, picture.Info(), 640, 480);
    for (double roll : {0.3, -1.0, 2.5}) {
      view.Look(0.4, 0.2, roll, 0.5, res);
      ASSERT_EQ(view.Draw(), 0);
      const Measure m = MeasureView(view, picture, SphereModel(picture.Width(), picture.Height()), 1.0);
      std::printf("roll %d %d %.2f worst %.3f fill %d untouched %d\n", size, res, roll, m.worst, m.wrongFill, m.untouched);
    }
  }
  {
    WarpedView view(kCylinder, picture.Info(), 640, 480, {-kFacadePi, kFacadePi, -0.6f, 0.6f});
    for (double pitch : {0.0, 0.9, -1.2}) {
      view.Look(0.4, pitch, 0, 0.5);
      ASSERT_EQ(view.Draw(), 0);
      const Measure m = MeasureView(view, picture, CylinderModel(picture.Width(), picture.Height(), 0.6f), 1.0);
      std::printf("cyl %d %.2f worst %.3f fill %d untouched %d\n", size, pitch, m.worst, m.wrongFill, m.untouched);
    }
  }
  {
    WarpedView view(kSphere, picture.Info(), 1920, 1080);
    view.Look(2.0, 0.6, 0, 0.7);
    ASSERT_EQ(view.Draw(), 0);
    const Measure m = MeasureView(view, picture, SphereModel(picture.Width(), picture.Height()), 1.0, 3);
    std::printf("1080 %d worst %.3f fill %d untouched %d\n", size, m.worst, m.wrongFill, m.untouched);
  }
}

INSTANTIATE_TEST_SUITE_P(PixelSizes, SphereWarpTest, ::testing::Values(2, 4),
                         [](const auto& info) { return std::to_string(info.param * 8) + "Bits"; });

}  // namespace
}  // namespace vx
