// The host's millisecond clock, as the media library's entry was given it:
// the null output plays on it, so a test that steps the platform's clock by
// hand steps the sound too.
#pragma once

#include <cstdint>

namespace vx {

using HostClockFn = uint64_t (*)();

// Set once, by the entry, before any stream is made.
void SetHostClock(HostClockFn clock);
uint64_t HostNowMs();

}  // namespace vx
