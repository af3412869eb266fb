// Limits of the browser plug-in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vantessel/EngineResult.h"

namespace vx::plugin {

// Instances that take part in the focus hand-over; more still work.
inline constexpr int kMaxInstances = 16;

// Embed parameters kept per instance.
inline constexpr int kMaxPropertySettings = 32;
// The longest node and field name of a property setting: the engine reads
// names of at most this many characters. The longest value: the engine
// interface's property texts (and string values) hold no more. A setting
// beyond either is passed over.
inline constexpr size_t kMaxPropertyNameLength = VX_TEXT_BUFFER_SIZE - 1;
inline constexpr size_t kMaxPropertyValueLength = VX_TEXT_BUFFER_SIZE - 1;

// The link being opened: URL and frame name, terminator included.
inline constexpr size_t kLinkTextSize = 256;

// The timer that ticks an instance's view in a page window, and its interval.
inline constexpr uintptr_t kTickTimerId = 1;
inline constexpr uint32_t kTickIntervalMs = 1;
// A windowless instance is ticked from the browser's main loop at the
// display's rate (60 Hz).
inline constexpr uint32_t kWindowlessTickIntervalMs = 16;
// The largest side of a windowless instance's drawing: a drawable beyond it
// is drawn in its top-left part only, so a page cannot make the plug-in take
// gigabytes of frame.
inline constexpr int kMaxDrawableSide = 8192;

// The update check of a page from the web holds the browser's thread at most
// this long; past it the check is over for the day.
inline constexpr uint32_t kUpdateCheckBudgetMs = 2000;

// The splash picture shown while no scene is loaded.
inline constexpr int kSplashWidth = 150;
inline constexpr int kSplashHeight = 42;

}  // namespace vx::plugin
