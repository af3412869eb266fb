// Limits and fixed values of the Script node and its built-in behaviours.
#pragma once

#include <cstdint>

namespace vx {

// A Script url's prefix and behaviour name are each cut to this many
// characters before they are compared.
inline constexpr size_t kMaxScriptUrlWordLength = 62;

// The url prefix of the built-in behaviours.
inline constexpr char kBuiltInBehaviourPrefix[] = "vxn";

// Angle differences are brought into [-kAngleWrapLimit, kAngleWrapLimit] by
// one turn of kAngleWrapTurn.
inline constexpr float kAngleWrapLimit = 3.1415925f;
inline constexpr float kAngleWrapTurn = 6.2832f;

// A link's animated transition moves the camera in this many frames.
inline constexpr int32_t kLinkTransitionFrames = 10;

// The most frames one slide takes; longer durations are cut to it.
inline constexpr int32_t kMaxSlideSteps = 1 << 30;

}  // namespace vx
