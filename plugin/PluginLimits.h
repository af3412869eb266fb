// Limits of the browser plug-in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::plugin {

// Instances that take part in the focus hand-over; more still work.
inline constexpr int kMaxInstances = 16;

// Embed parameters kept per instance, and the size of each of their texts
// (node name, field name, value), terminator included. Longer texts are cut.
inline constexpr int kMaxPropertySettings = 32;
inline constexpr size_t kPropertyTextSize = 64;

// The link being opened: URL and frame name, terminator included.
inline constexpr size_t kLinkTextSize = 256;

// The timer that ticks an instance's view, and its interval.
inline constexpr uintptr_t kTickTimerId = 1;
inline constexpr uint32_t kTickIntervalMs = 1;

// The splash picture shown while no scene is loaded.
inline constexpr int kSplashWidth = 150;
inline constexpr int kSplashHeight = 42;

}  // namespace vx::plugin
