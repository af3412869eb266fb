// Four vertices side by side, one per lane of an SSE vector: the geometry
// stage transforms and lights vertices four at a time. Every lane follows
// the single-precision operations, in the order, that CVec3f's operators
// and CMatrix4's transforms follow for one vertex, so a vertex comes out the
// same whichever lane and whichever neighbours it has.
#pragma once

#include <emmintrin.h>

#include <array>
#include <initializer_list>

#include "engine/math/Matrix4.h"
#include "engine/math/Vec.h"
#include "engine/render/SpanVectors.h"

namespace vx::lanes {

inline constexpr int kCount = 4;

struct Vec3 {
  __m128 x, y, z;

  static Vec3 Splat(const CVec3f& v) { return {_mm_set1_ps(v.x), _mm_set1_ps(v.y), _mm_set1_ps(v.z)}; }
  // The vectors p[0] to p[3], one per lane.
  static Vec3 Gather(const CVec3f* const (&p)[kCount]) {
    return {_mm_setr_ps(p[0]->x, p[1]->x, p[2]->x, p[3]->x), _mm_setr_ps(p[0]->y, p[1]->y, p[2]->y, p[3]->y),
            _mm_setr_ps(p[0]->z, p[1]->z, p[2]->z, p[3]->z)};
  }

  Vec3 operator+(const Vec3& v) const { return {_mm_add_ps(x, v.x), _mm_add_ps(y, v.y), _mm_add_ps(z, v.z)}; }
  Vec3 operator-(const Vec3& v) const { return {_mm_sub_ps(x, v.x), _mm_sub_ps(y, v.y), _mm_sub_ps(z, v.z)}; }
  Vec3 operator*(__m128 s) const { return {_mm_mul_ps(x, s), _mm_mul_ps(y, s), _mm_mul_ps(z, s)}; }
  // x v.x + y v.y + z v.z, summed from the left.
  __m128 Dot(const Vec3& v) const {
    return _mm_add_ps(_mm_add_ps(_mm_mul_ps(x, v.x), _mm_mul_ps(y, v.y)), _mm_mul_ps(z, v.z));
  }
};

using span::Select;
inline Vec3 Select(__m128 mask, const Vec3& yes, const Vec3& no) {
  return {Select(mask, yes.x, no.x), Select(mask, yes.y, no.y), Select(mask, yes.z, no.z)};
}

// v > 0 ? min(v, 1) : 0, NaN giving 0: maxps gives its second operand for
// NaN and for equal operands.
inline __m128 ClampTo(__m128 v, __m128 ceiling) { return _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), ceiling); }
inline __m128 Clamp01(__m128 v) { return ClampTo(v, _mm_set1_ps(1.0f)); }

// v over its exact length; a zero (or NaN) length leaves v as it is.
inline Vec3 Normalized(const Vec3& v) {
  const __m128 length = _mm_sqrt_ps(v.Dot(v));
  return Select(_mm_cmpgt_ps(length, _mm_setzero_ps()), v * _mm_div_ps(_mm_set1_ps(1.0f), length), v);
}

// columns[0] v.x + columns[1] v.y + columns[2] v.z.
inline Vec3 Combine(const std::array<CVec3f, 3>& columns, const Vec3& v) {
  return Vec3::Splat(columns[0]) * v.x + Vec3::Splat(columns[1]) * v.y + Vec3::Splat(columns[2]) * v.z;
}

// The largest magnitude plus a quarter of the other two: the stage's
// distance, cheaper than a square root. The two swaps of sorting are
// selections, so that equal and NaN magnitudes end where swaps leave them.
inline __m128 ApproximateLength(const Vec3& v) {
  const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  const __m128 a = _mm_and_ps(v.x, magnitude), b = _mm_and_ps(v.y, magnitude), c = _mm_and_ps(v.z, magnitude);
  const __m128 firstSwap = _mm_cmplt_ps(a, b);
  const __m128 a1 = Select(firstSwap, b, a), b1 = Select(firstSwap, a, b);
  const __m128 secondSwap = _mm_cmplt_ps(a1, c);
  const __m128 largest = Select(secondSwap, c, a1), c1 = Select(secondSwap, a1, c);
  return _mm_add_ps(largest, _mm_mul_ps(_mm_set1_ps(0.25f), _mm_add_ps(b1, c1)));
}

// h^16 by four squarings.
inline __m128 Power16(__m128 h) {
  h = _mm_mul_ps(h, h);
  h = _mm_mul_ps(h, h);
  h = _mm_mul_ps(h, h);
  return _mm_mul_ps(h, h);
}

// log2 of positive normal numbers: the exponent, and the mantissa m in
// [1, 2) by the series of atanh((m - 1) / (m + 1)), good to about 1e-6.
inline __m128 Log2(__m128 v) {
  const __m128i bits = _mm_castps_si128(v);
  const __m128 exponent = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_srli_epi32(bits, 23), _mm_set1_epi32(127)));
  const __m128 m =
      _mm_castsi128_ps(_mm_or_si128(_mm_and_si128(bits, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000)));
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 t = _mm_div_ps(_mm_sub_ps(m, one), _mm_add_ps(m, one));
  const __m128 t2 = _mm_mul_ps(t, t);
  __m128 series = _mm_set1_ps(1.0f / 9.0f);
  for (float c : {1.0f / 7.0f, 1.0f / 5.0f, 1.0f / 3.0f, 1.0f})
    series = _mm_add_ps(_mm_mul_ps(series, t2), _mm_set1_ps(c));
  constexpr float kTwoOverLn2 = 2.8853900817779268f;
  return _mm_add_ps(exponent, _mm_mul_ps(_mm_mul_ps(series, t), _mm_set1_ps(kTwoOverLn2)));
}

// 2^y for y in [-126, 0]: the whole part into the exponent, a polynomial of
// the fraction, good to about 1e-7.
inline __m128 Exp2(__m128 y) {
  const __m128i truncated = _mm_cvttps_epi32(y);
  // Truncation rounds negative values up: one less where it did.
  const __m128i whole = _mm_add_epi32(truncated, _mm_castps_si128(_mm_cmplt_ps(y, _mm_cvtepi32_ps(truncated))));
  const __m128 f = _mm_sub_ps(y, _mm_cvtepi32_ps(whole));
  __m128 p = _mm_set1_ps(0.001333355f);
  for (float c : {0.009618129f, 0.05550411f, 0.2402265f, 0.6931472f, 1.0f})
    p = _mm_add_ps(_mm_mul_ps(p, f), _mm_set1_ps(c));
  const __m128i scale = _mm_slli_epi32(_mm_add_epi32(whole, _mm_set1_epi32(127)), 23);
  return _mm_mul_ps(p, _mm_castsi128_ps(scale));
}

// h^e for 0 < h <= 1 (h a little above 1 counts as 1), 0 elsewhere.
inline __m128 Power(__m128 h, float e) {
  const __m128 y = _mm_max_ps(_mm_min_ps(_mm_mul_ps(Log2(h), _mm_set1_ps(e)), _mm_setzero_ps()), _mm_set1_ps(-126.0f));
  return _mm_and_ps(_mm_cmpgt_ps(h, _mm_setzero_ps()), Exp2(y));
}

// The point (x, y, z, 1) times a matrix, each of the four results in a
// vector of its own.
struct Vec4 {
  __m128 x, y, z, w;
};
inline Vec4 TransformPoint(const CMatrix4& m, const Vec3& p) {
  auto column = [&m, &p](int j) {
    const __m128 sum = _mm_add_ps(_mm_mul_ps(p.x, _mm_set1_ps(m[j])), _mm_mul_ps(p.y, _mm_set1_ps(m[4 + j])));
    return _mm_add_ps(_mm_add_ps(sum, _mm_mul_ps(p.z, _mm_set1_ps(m[8 + j]))), _mm_set1_ps(m[12 + j]));
  };
  return {column(0), column(1), column(2), column(3)};
}

// Four vectors of four lanes, turned so that lane i of each becomes vector
// i: the words of one vertex from the words of four.
inline void Transpose(__m128 (&v)[kCount]) { _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]); }

}  // namespace vx::lanes
