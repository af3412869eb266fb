// Four pixels of a span at a time, on the x86-64 baseline (SSE2): the depth
// of each computed from the span's start, the depth test as a lane mask, and
// stores of depth and colour that keep the old value wherever the mask is
// clear. Every lane follows the same IEEE single-precision operations as one
// pixel would on its own, so results do not depend on how a span is split.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace vx::span {

inline constexpr int32_t kLanes = 4;

// Pixel indices k to k + 3 as floats, exact up to 2^24.
inline __m128 Indices(int32_t k) {
  return _mm_add_ps(_mm_set1_ps(static_cast<float>(k)), _mm_setr_ps(0.0f, 1.0f, 2.0f, 3.0f));
}

// The depth of pixel k of a span (k = 0 at the first pixel): one
// multiplication and one addition from the start, never a running sum, so no
// rounding error builds up along the span.
struct DepthRamp {
  __m128 z0, dz;
  DepthRamp(float start, float step) : z0(_mm_set1_ps(start)), dz(_mm_set1_ps(step)) {}
  // The pixels whose indices are the lanes of k.
  __m128 At(__m128 k) const { return _mm_add_ps(z0, _mm_mul_ps(k, dz)); }
};

// start + i x step in lane i, wrapping as running sums of the step would.
inline __m128i Ramp(int32_t start, int32_t step) {
  const __m128i steps = _mm_slli_si128(_mm_set1_epi32(step), 4);         // 0, s, s, s
  const __m128i pairs = _mm_add_epi32(steps, _mm_slli_si128(steps, 4));  // 0, s, 2s, 2s
  return _mm_add_epi32(_mm_set1_epi32(start), _mm_add_epi32(pairs, _mm_slli_si128(pairs, 8)));
}

// Lanes 0 to n - 1 set (n in 0..4).
inline __m128i FirstLanes(int32_t n) {
  return _mm_cmpgt_epi32(_mm_set1_epi32(n), _mm_setr_epi32(0, 1, 2, 3));
}

inline __m128 Select(__m128 mask, __m128 yes, __m128 no) {
  return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}
inline __m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The low sizeof(P) bytes of each 32-bit lane, packed into the low
// 4 x sizeof(P) bytes. A mask lane (0 or all ones) packs to 0 or all ones.
template <typename P>
__m128i Narrow(__m128i lanes) {
  if constexpr (sizeof(P) == 4) {
    return lanes;
  } else if constexpr (sizeof(P) == 2) {
    // Sign-extending the low half first keeps packs from saturating it.
    const __m128i low = _mm_srai_epi32(_mm_slli_epi32(lanes, 16), 16);
    return _mm_packs_epi32(low, low);
  } else {
    const __m128i low = _mm_and_si128(lanes, _mm_set1_epi32(0xFF));
    const __m128i words = _mm_packs_epi32(low, low);
    return _mm_packus_epi16(words, words);
  }
}

// Loads and stores of four pixels of size P at p (no alignment needed).
template <typename P>
__m128i LoadPixels(const uint8_t* p) {
  if constexpr (sizeof(P) == 4) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  } else if constexpr (sizeof(P) == 2) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  } else {
    int32_t bytes;
    std::memcpy(&bytes, p, sizeof(bytes));
    return _mm_cvtsi32_si128(bytes);
  }
}
template <typename P>
void StorePixels(uint8_t* p, __m128i narrow) {
  if constexpr (sizeof(P) == 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), narrow);
  } else if constexpr (sizeof(P) == 2) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), narrow);
  } else {
    const int32_t bytes = _mm_cvtsi128_si32(narrow);
    std::memcpy(p, &bytes, sizeof(bytes));
  }
}

// 16.16 values of four floats, one at a time, the exact slow way.
template <typename Slow>
__attribute__((noinline)) __m128i ToFixed16Slowly(__m128 values, Slow slow) {
  alignas(16) float in[kLanes];
  alignas(16) int32_t out[kLanes];
  _mm_store_ps(in, values);
  for (int i = 0; i < kLanes; ++i) out[i] = slow(in[i]);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(out));
}

// 16.16 values of the floats of two vectors, as ToFixed16Wrap gives them:
// the truncating conversion serves every lane within the 32-bit range
// (scaling by 2^16 is exact short of overflow); if a lane lies beyond it,
// or is NaN, all lanes take the exact slow way.
template <typename Slow>
void ToFixed16(__m128 a, __m128 b, __m128i& fixedA, __m128i& fixedB, Slow slow) {
  const __m128 scale = _mm_set1_ps(65536.0f);
  const __m128 scaledA = _mm_mul_ps(a, scale), scaledB = _mm_mul_ps(b, scale);
  // Magnitudes below 2^31 (-2^31 itself, in range, takes the slow way).
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)), bound = _mm_set1_ps(2147483648.0f);
  const __m128 inRange = _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(scaledA, magnitude), bound),
                                    _mm_cmplt_ps(_mm_and_ps(scaledB, magnitude), bound));
  if (_mm_movemask_ps(inRange) == 0xF) [[likely]] {
    fixedA = _mm_cvttps_epi32(scaledA);
    fixedB = _mm_cvttps_epi32(scaledB);
  } else {
    fixedA = ToFixed16Slowly(a, slow);
    fixedB = ToFixed16Slowly(b, slow);
  }
}

}  // namespace vx::span
