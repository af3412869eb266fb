// Skies painted in bands of elevation look the same whichever way the
// camera turns, so a frame drawn across a picture's seam must be the frame
// drawn away from it: the Background's band sphere and the Vista's sky,
// drawn and then refined once the camera rests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "VistaTestSupport.h"

namespace vx::test {
namespace {

// The largest difference of one channel between two frames.
int LargestDifference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int largest = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    for (const int shift : {0, 8, 16}) {
      const int difference = static_cast<int>(a[i] >> shift & 0xFF) - static_cast<int>(b[i] >> shift & 0xFF);
      largest = std::max(largest, std::abs(difference));
    }
  return largest;
}

class PanoramaSeamTest : public VistaWorldTest {
 protected:
  // The frame drawn as the camera arrives, and the still frame drawn once
  // it has rested.
  std::pair<std::vector<uint32_t>, std::vector<uint32_t>> FramesAt(float yaw) {
    Context().SetOrientation(0, yaw, 0, true);
    Ticks(1);
    std::vector<uint32_t> moving = Frame();
    Ticks(8);
    return {moving, Frame()};
  }

  // The half-pixel class averages a pixel with its neighbour even where
  // they are alike, which may drop a channel's lowest bit: one level
  // apart is the same frame; a row's worth of bands is many.
  void ExpectTheSameAtEveryYaw(const std::string& what) {
    constexpr int kRoundingLevels = 1;
    const auto [movingAway, stillAway] = FramesAt(1.0f);
    for (const float yaw : {0.0f, 0.05f, 3.0f, 3.1f, 3.2f, 6.25f}) {
      const auto [moving, still] = FramesAt(yaw);
      EXPECT_LE(LargestDifference(moving, movingAway), kRoundingLevels) << what << " at yaw " << yaw;
      EXPECT_LE(LargestDifference(still, stillAway), kRoundingLevels) << what << " refined at yaw " << yaw;
    }
  }
};

TEST_F(PanoramaSeamTest, TheBackgroundsBandsRunOnAcrossTheSeam) {
  Load("Viewpoint { orientation 0 1 0 3.0 }\n"
       "Background { skyAngle [ 1.07 1.45 1.52 1.57 ]"
       " skyColor [ 0 0 0.3, 0 0 0.8, 0.45 0.7 0.8, 0.7 0.5 0, 1 0 0 ]"
       " groundAngle 1.57 groundColor [ 0 0 0, 0 0.7 0 ] }");
  ExpectTheSameAtEveryYaw("Background");
}

TEST_F(PanoramaSeamTest, TheVistasSkyRunsOnAcrossTheSeam) {
  Load(VistaPrototype() +
       "Vista { skyColor [ 0 0 0.3, 0 0 0.8, 0.45 0.7 0.8, 1 0 0 ] skyAngle [ 1.0 1.4 1.57 ]"
       " groundColor [ 0 0 0, 0 0.7 0 ] groundAngle 1.57 }");
  ExpectTheSameAtEveryYaw("Vista");
}

}  // namespace
}  // namespace vx::test
