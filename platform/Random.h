// The engine's 15-bit pseudo-random generator.
//
// Results that depend on random numbers (the triangulator's segment order,
// dither noise) must be the same on every machine and repeatable in tests, so
// the engine never calls the C library's rand(). This is the classic linear
// congruential generator with results in 0..32767.
#pragma once

#include <cstdint>

#include "platform/PlatformExport.h"

namespace vx {

inline constexpr int32_t kRandomMax = 0x7FFF;

class Random15 {
 public:
  explicit constexpr Random15(uint32_t seed = 1) : state_(seed) {}
  void Seed(uint32_t seed) { state_ = seed; }
  int32_t Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int32_t>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_;
};

// The process-wide generator (seed 1 until SeedRandom is called).
VX_PLATFORM_API int32_t Random();
VX_PLATFORM_API void SeedRandom(uint32_t seed);

}  // namespace vx
