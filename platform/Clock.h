// The millisecond clock behind world time, timers and time-outs.
//
// Everything that reads the time reads it here, so tests can replace the
// clock and step time by hand.
#pragma once

#include <cstdint>

#include "platform/PlatformExport.h"

namespace vx {

using ClockSource = uint64_t (*)();

// Milliseconds since an arbitrary start, never going backwards.
VX_PLATFORM_API uint64_t NowMs();

// The same as 32 bits, wrapping after 49.7 days, like a system tick count.
VX_PLATFORM_API uint32_t TickCountMs();

// Seconds since 1970 (wall-clock time, for dates kept in files).
VX_PLATFORM_API int64_t WallClockSeconds();

// Replaces the clock of NowMs and TickCountMs; null restores the real one.
VX_PLATFORM_API void SetClockSource(ClockSource source);

// A manual clock for tests: installed for the object's lifetime.
class VX_PLATFORM_API ManualClock {
 public:
  explicit ManualClock(uint64_t startMs = 1000);
  ~ManualClock();
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  void Advance(uint64_t ms);
  void Set(uint64_t ms);
  uint64_t Now() const;
};

}  // namespace vx
