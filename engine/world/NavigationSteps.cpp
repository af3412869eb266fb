#include "engine/world/NavigationSteps.h"

#include <algorithm>
#include <cmath>

#include "engine/world/WorldLimits.h"
#include "platform/Clock.h"

namespace vx {
namespace {

// A step this close to its end is over: steps made of milliseconds do not
// add up to whole ones exactly.
constexpr double kStepEnd = 1.0 - 1e-6;

}  // namespace

double NavigationClock::TakeSteps() {
  const uint64_t now = NowMs();
  const uint64_t last = lastMs_.value_or(now);
  lastMs_ = now;
  // A replaced clock may start behind the one it replaced.
  const uint64_t elapsed = now > last ? std::min<uint64_t>(now - last, kMaxNavigationPauseMs) : 0;
  return static_cast<double>(elapsed) * kNavigationStepRate / 1000.0;
}

float KeyTurnSpeed::Advance(int direction, double steps) {
  if (direction != direction_) {
    direction_ = direction;
    Step();
  }
  double turn = 0.0;
  while (steps > 0.0 && (speed_ != 0.0f || direction_ != 0)) {
    if (intoStep_ >= kStepEnd) Step();
    const double run = std::min(steps, 1.0 - intoStep_);
    turn += speed_ * run;
    intoStep_ += run;
    steps -= run;
  }
  return static_cast<float>(turn);
}

void KeyTurnSpeed::Step() {
  intoStep_ = 0.0;
  if (direction_ > 0) {
    speed_ = std::max(speed_, 0.0f) + kKeySpeedStep;
  } else if (direction_ < 0) {
    speed_ = std::min(speed_, 0.0f) - kKeySpeedStep;
  } else {
    speed_ *= decay_;
  }
  if (std::fabs(speed_) < kKeySpeedStop) speed_ = 0.0f;
  speed_ = std::clamp(speed_, -kMaxKeySpeed, kMaxKeySpeed);
}

}  // namespace vx
