#include "engine/world/CameraTurn.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vx {
namespace {

constexpr float kHalfTurn = std::numbers::pi_v<float>;
// A line of sight whose horizontal part is this short looks straight up or
// down: there its yaw can no longer be told from its roll.
constexpr float kPoleTolerance = 1e-4f;
// An up direction this short after it was made square to the line of sight
// lay along it.
constexpr float kNoUp = 1e-6f;

CMatrix4 AxisRotation(int axis, float angle) {
  CMatrix4 r;
  r.SetAxisRotation(axis, angle);
  return r;
}

bool IsFinite(const CVec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A pitch this close to the vertical is as far as turning about an up goes.
constexpr float kMaxPitchAboutUp = kHalfTurn * 0.5f - 1e-3f;

// The rotation that turns the world's +Y into `up`.
CMatrix4 FrameOf(const CVec3f& up) {
  CMatrix4 frame;
  frame.SetRotationFromTo({0.0f, 1.0f, 0.0f}, up);
  return frame;
}

CMatrix4 Transposed(const CMatrix4& m) {
  CMatrix4 t;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) t[4 * r + c] = m.At(c, r);
  return t;
}

// The turn as seen in the frame of `up`.
CameraTurn TurnInFrame(const CameraTurn& turn, const CMatrix4& frame) {
  CMatrix4 local = Transposed(frame);
  local.PreMultiply(RotationOf(turn));
  return TurnOf(local);
}

}  // namespace

CMatrix4 RotationOf(const CameraTurn& turn) {
  CMatrix4 rotation = AxisRotation(1, kHalfTurn - turn.yaw);
  rotation.PreMultiply(AxisRotation(0, turn.pitch));
  rotation.PreMultiply(AxisRotation(2, turn.roll));
  return rotation;
}

CameraTurn TurnOf(const CMatrix4& rotation) {
  const CameraTurn none{0.0f, kHalfTurn, 0.0f};
  CVec3f forward{-rotation[8], -rotation[9], -rotation[10]};
  CVec3f up{rotation[4], rotation[5], rotation[6]};
  const float length = forward.Length();
  if (!(length > 0.0f) || !std::isfinite(length) || !IsFinite(up)) return none;
  forward *= 1.0f / length;
  up -= forward * up.Dot(forward);
  const float upLength = up.Length();
  const bool hasUp = upLength > kNoUp;
  if (hasUp) up *= 1.0f / upLength;
  const CVec3f right = forward.Cross(up);

  CameraTurn turn;
  turn.pitch = std::asin(std::clamp(forward.y, -1.0f, 1.0f));
  if (std::hypot(forward.x, forward.z) > kPoleTolerance) {
    turn.yaw = std::atan2(-forward.x, forward.z);
    if (hasUp) turn.roll = std::atan2(right.y, up.y);
  } else {
    turn.yaw = hasUp ? kHalfTurn - std::atan2(-right.z, right.x) : kHalfTurn;
  }
  return turn;
}

CameraTurn TurnAboutUp(const CameraTurn& turn, float pitch, float yaw, const CVec3f& up) {
  const CMatrix4 frame = FrameOf(up);
  CameraTurn local = TurnInFrame(turn, frame);
  local.pitch = std::clamp(local.pitch + pitch, -kMaxPitchAboutUp, kMaxPitchAboutUp);
  local.yaw += yaw;
  CMatrix4 world = frame;
  world.PreMultiply(RotationOf(local));
  return TurnOf(world);
}

CVec3f HeadingAboutUp(const CameraTurn& turn, const CVec3f& up) {
  const CMatrix4 frame = FrameOf(up);
  const CameraTurn local = TurnInFrame(turn, frame);
  CVec3f heading{-std::sin(local.yaw), 0.0f, std::cos(local.yaw)};
  frame.TransformPoint(heading);
  return heading;
}

CVec3f OffsetTurnedWith(const CVec3f& offset, const CameraTurn& from, const CameraTurn& to) {
  CMatrix4 change = RotationOf(to);
  change.PreMultiply(Transposed(RotationOf(from)));
  CVec3f turned = offset;
  change.TransformPoint(turned);
  return turned;
}

}  // namespace vx
