// Numeric conversions shared by the whole renderer.
//
// Every float-to-integer conversion in the renderer truncates toward zero;
// rounding to the nearest pixel is written TruncToInt(x + 0.5f). A plain cast
// is undefined for NaN and for values outside the int32 range, and such
// values do reach the renderer (unclipped coordinates, w near zero), so every
// conversion goes through these saturating helpers instead.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace vx {

inline constexpr int32_t kFixedOne = 1 << 16;  // 1.0 in 16.16 fixed point

// Truncates toward zero; NaN gives 0, values beyond the range saturate.
// Inline: the span set-up calls these several times per row.
inline int32_t TruncToInt(double value) {
  constexpr double kMax = static_cast<double>(std::numeric_limits<int32_t>::max());
  constexpr double kMin = static_cast<double>(std::numeric_limits<int32_t>::min());
  if (std::isnan(value)) return 0;
  if (value >= kMax) return std::numeric_limits<int32_t>::max();
  if (value <= kMin) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}
inline constexpr float kInt32Bound = 2147483648.0f;  // 2^31
// Within the range a plain conversion truncates; only NaN and values beyond
// it take the careful way.
inline int32_t TruncToInt(float value) {
  if (value >= -kInt32Bound && value < kInt32Bound) return static_cast<int32_t>(value);
  return TruncToInt(static_cast<double>(value));
}

// Rounds half up to the nearest integer: trunc(x + 0.5), saturating.
inline int32_t RoundToInt(float value) { return TruncToInt(value + 0.5f); }

// 16.16 fixed point from a float, truncated toward zero and saturating.
inline int32_t ToFixed16(float value) { return TruncToInt(static_cast<double>(value) * kFixedOne); }
inline float FromFixed16(int32_t fixed) { return static_cast<float>(fixed) / kFixedOne; }

// 16.16 fixed point as the span fillers step it: trunc(value x 65536) keeping
// the low 32 bits, so far-off texture coordinates wrap instead of saturating.
// NaN and values beyond the 64-bit range give 0.
inline int32_t ToFixed16Wrap(float value) {
  // Scaling by 2^16 is exact in single precision short of overflow, which
  // then fails the range test as NaN does.
  const float quick = value * static_cast<float>(kFixedOne);
  if (quick >= -kInt32Bound && quick < kInt32Bound) return static_cast<int32_t>(quick);
  const double scaled = static_cast<double>(value) * kFixedOne;
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(scaled > -kLimit && scaled < kLimit)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(scaled))));
}

// 16.16 fixed point from a float in 64 bits, truncated toward zero: texture
// coordinates far beyond the 32-bit range keep their place in a repeating
// texture. Saturates at 2^52, where a double still holds every integer, and
// gives 0 for NaN.
inline int64_t ToFixed16Wide(float value) {
  constexpr double kLimit = 4503599627370496.0;  // 2^52
  const double scaled = static_cast<double>(value) * kFixedOne;
  if (scaled > -kLimit && scaled < kLimit) return static_cast<int64_t>(scaled);
  if (std::isnan(scaled)) return 0;
  return scaled > 0.0 ? static_cast<int64_t>(kLimit) : -static_cast<int64_t>(kLimit);
}

// Two's-complement addition and subtraction of 16.16 values: a wrapped
// coordinate must not be undefined behaviour.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Integer part of a 16.16 value (arithmetic shift: rounds toward minus infinity).
inline int32_t FixedToInt(int32_t fixed) { return fixed >> 16; }

}  // namespace vx
