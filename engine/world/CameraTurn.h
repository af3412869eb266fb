// A camera's turn as the view context keeps it, and its rotation.
//
// The turn is a yaw about the vertical (0 looks along +Z, pi along -Z), then
// a pitch up from the horizontal, then a roll about the line of sight. As a
// rotation it turns the camera's own axes (looking along -Z with +Y up, the
// axes of a Viewpoint without orientation) into the world's; matrices follow
// CMatrix4's row-vector convention.
#pragma once

#include "engine/math/Matrix4.h"

namespace vx {

struct CameraTurn {
  float pitch = 0.0f;
  float yaw = 0.0f;
  float roll = 0.0f;
};

[[nodiscard]] CMatrix4 RotationOf(const CameraTurn& turn);

// The turn of the rotation in a matrix's upper 3 x 3 part. Scale and shear
// are taken out: the line of sight is kept and the up direction made square
// to it. Looking straight up or down, where yaw and roll turn about the same
// line, the roll is 0 and the yaw takes the whole turn. A matrix that leaves
// no line of sight gives the turn of no rotation; one that leaves no up
// direction gives no roll.
[[nodiscard]] CameraTurn TurnOf(const CMatrix4& rotation);

// The turn after pitching by `pitch` and turning by `yaw` about `up` (unit
// length) rather than about the world's +Y: the turn is measured in the
// frame whose vertical is `up`, and its pitch there stays short of the
// vertical, so that the camera never tips over.
[[nodiscard]] CameraTurn TurnAboutUp(const CameraTurn& turn, float pitch, float yaw, const CVec3f& up);

// The horizontal of `up`'s frame that the camera faces: its yaw there.
[[nodiscard]] CVec3f HeadingAboutUp(const CameraTurn& turn, const CVec3f& up);

// Where a point at `offset` from a centre goes when the camera turns from
// `from` to `to` about that centre: it keeps its place as the camera sees it.
[[nodiscard]] CVec3f OffsetTurnedWith(const CVec3f& offset, const CameraTurn& from, const CameraTurn& to);

}  // namespace vx
