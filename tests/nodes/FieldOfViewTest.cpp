#include <gtest/gtest.h>

#include <string>

#include "RenderedWorld.h"

namespace vx::test {
namespace {

// A quad of side 2 at the distance where a field of view of 45 degrees
// spans four of its sides: 2 / (4 x tan(22.5 degrees)).
const std::string kQuarterOfTheNarrowSide =
    std::string("Viewpoint { position 0 0 0 } Transform { translation 0 0 -4.828427 children ") + kWhiteQuad + " }";

class FieldOfView : public RenderedWorld {
 protected:
  // How many pixels the quad covers along the middle row and column.
  struct Span {
    int across = 0;
    int down = 0;
  };
  Span Measure(int width, int height) {
    Load(kQuarterOfTheNarrowSide, width, height);
    Span span;
    for (int x = 0; x < width; ++x) span.across += Pixel(x, height / 2) != 0;
    for (int y = 0; y < height; ++y) span.down += Pixel(width / 2, y) != 0;
    return span;
  }
};

TEST_F(FieldOfView, TheNarrowSideSpansTheViewpointsAngleAtEveryAspectRatio) {
  struct Frame {
    int width, height, narrow;
  };
  for (Frame f : {Frame{160, 120, 120}, Frame{160, 80, 80}, Frame{100, 100, 100}, Frame{90, 120, 90}}) {
    const Span span = Measure(f.width, f.height);
    const std::string size = std::to_string(f.width) + " x " + std::to_string(f.height);
    EXPECT_NEAR(span.across, f.narrow / 2, 1) << size;
    EXPECT_NEAR(span.down, f.narrow / 2, 1) << size << ": pixels stay square";
  }
}

}  // namespace
}  // namespace vx::test
