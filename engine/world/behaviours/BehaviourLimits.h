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

// The most frames one slide or camera move takes; longer durations are cut
// to it.
inline constexpr int32_t kMaxMoveFrames = 1 << 30;

// Scene logic takes two numbers as equal when the second lies strictly
// within this distance of the first.
inline constexpr double kValueTolerance = 0.0005;

// keyInput's text: a line holds at most a string value's 255 characters and
// the text at most kMaxKeyInputLines lines, whatever the scene asks for; the
// defaults apply when the scene declares nothing.
inline constexpr int32_t kMaxKeyInputLineLength = 255;
inline constexpr int32_t kMaxKeyInputLines = 1024;
inline constexpr int32_t kDefaultKeyInputLineLength = 20;
inline constexpr int32_t kDefaultKeyInputLines = 20;

// RAND's factor: a 15-bit random integer times this lies in 0..1.
inline constexpr double kRandomScale = 3.051850947599719e-5;

}  // namespace vx
