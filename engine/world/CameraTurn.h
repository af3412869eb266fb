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

}  // namespace vx
