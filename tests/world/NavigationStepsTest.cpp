#include "engine/world/NavigationSteps.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/world/WorldLimits.h"
#include "platform/Clock.h"

namespace vx {
namespace {

// Whole steps give the speeds and turns of a key held for three steps and
// released for two; the pitch keeps a quarter of its speed when released.
TEST(KeyTurnSpeed, WholeStepsAccelerateToTheLimitAndDecayWhenReleased) {
  KeyTurnSpeed turn(kTurnSpeedDecay);
  std::vector<float> speeds, turns;
  for (int direction : {1, 1, 1, 0, 0}) {
    turns.push_back(turn.Advance(direction, 1.0));
    speeds.push_back(turn.Speed());
  }
  const std::vector<float> expected = {0.25f, 0.4f, 0.4f, 0.3f, 0.225f};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_FLOAT_EQ(speeds[i], expected[i]) << "step " << i;
    EXPECT_FLOAT_EQ(turns[i], expected[i]) << "a step turns by the speed it reached";
  }

  KeyTurnSpeed pitch(kPitchSpeedDecay);
  EXPECT_FLOAT_EQ(pitch.Advance(1, 1.0), 0.25f);
  EXPECT_FLOAT_EQ(pitch.Advance(0, 1.0), 0.0625f);
}

TEST(KeyTurnSpeed, TheOtherKeyStartsFromRestAndASmallSpeedStops) {
  KeyTurnSpeed turn(kTurnSpeedDecay);
  (void)turn.Advance(1, 2.0);
  EXPECT_FLOAT_EQ(turn.Advance(-1, 1.0), -0.25f) << "not 0.4 - 0.25";
  KeyTurnSpeed pitch(kPitchSpeedDecay);
  (void)pitch.Advance(1, 1.0);
  float total = 0.0f;
  for (int step = 0; step < 5; ++step) total += pitch.Advance(0, 1.0);
  EXPECT_EQ(pitch.Speed(), 0.0f) << "0.25 / 4^5 is below the stop";
  EXPECT_FLOAT_EQ(total, 0.0625f + 0.015625f + 0.00390625f) << "the steps before it stopped";
  EXPECT_EQ(pitch.Advance(0, 3.0), 0.0f);
}

// The same key presses cut into frames of any length turn as far as in
// whole steps: frames shorter than a step, longer than one, and a change of
// key in the middle of a step.
TEST(KeyTurnSpeed, FramesOfAnyLengthTurnAsFarAsWholeSteps) {
  struct Press {
    int direction;
    double steps;
  };
  const std::vector<Press> presses = {{1, 3.0}, {0, 1.5}, {-1, 2.25}, {0, 20.0}};
  KeyTurnSpeed whole(kTurnSpeedDecay);
  double expected = 0.0;
  for (const Press& press : presses) expected += whole.Advance(press.direction, press.steps);

  for (const double frame : {0.06, 1.0 / 3.0, 0.7, 2.5}) {
    KeyTurnSpeed framed(kTurnSpeedDecay);
    double turned = 0.0;
    for (const Press& press : presses) {
      for (double left = press.steps; left > 1e-9; left -= frame)
        turned += framed.Advance(press.direction, std::min(frame, left));
    }
    EXPECT_NEAR(turned, expected, 1e-4) << "frames of " << frame << " steps";
  }
}

TEST(NavigationClock, CountsStepsSinceTheLastFrameAndAPauseAsAtMostTheCap) {
  ManualClock clock(1000);
  NavigationClock steps;
  EXPECT_EQ(steps.TakeSteps(), 0.0) << "the first frame has nothing to measure from";
  clock.Advance(50);
  EXPECT_DOUBLE_EQ(steps.TakeSteps(), 1.5);
  clock.Advance(5000);
  EXPECT_DOUBLE_EQ(steps.TakeSteps(), kMaxNavigationPauseMs * kNavigationStepRate / 1000.0);
  clock.Set(10);
  EXPECT_EQ(steps.TakeSteps(), 0.0) << "a clock set back";
  clock.Advance(20);
  EXPECT_DOUBLE_EQ(steps.TakeSteps(), 0.6);
}

}  // namespace
}  // namespace vx
