// Navigation that keeps to time rather than to frames.
//
// Each navigation amount (a walking step, a turn, a zoom, a key's change of
// the turning speed) is that of one step at kNavigationStepRate steps a
// second. A frame moves the camera by as many steps, or by the part of one,
// as the time since the last frame holds, so the same key time and the same
// drag move it as far at any frame rate.
#pragma once

#include <cstdint>
#include <optional>

namespace vx {

class NavigationClock {
 public:
  // The steps since the last call; none at the first. A longer pause than
  // kMaxNavigationPauseMs counts as that long.
  [[nodiscard]] double TakeSteps();

 private:
  std::optional<uint64_t> lastMs_;
};

// The turning speed that a pair of opposite keys gives one axis of the
// camera. It changes in whole steps: a held key adds kKeySpeedStep (from 0
// when the speed turned the other way), with neither key the speed keeps
// `releaseDecay` of itself; it stops below kKeySpeedStop and stays within
// kMaxKeySpeed. A change of keys starts a step at once, and a frame turns at
// the speed of the steps it spans. Changing the speed only on whole steps
// makes the turn of a key press the same at every frame rate: a speed that
// changed a little every frame would turn further or less far the more
// frames there are.
class KeyTurnSpeed {
 public:
  explicit KeyTurnSpeed(float releaseDecay) : decay_(releaseDecay) {}

  // Runs the keys over `steps`, one direction held throughout: +1 or -1, 0
  // for neither key. The speed summed over them (speed x steps): the turn in
  // units of the field of view.
  [[nodiscard]] float Advance(int direction, double steps);
  float Speed() const { return speed_; }

 private:
  void Step();

  float decay_;
  float speed_ = 0.0f;
  int direction_ = 0;
  // How much of the current step has run; 1 when it is over.
  double intoStep_ = 1.0;
};

}  // namespace vx
