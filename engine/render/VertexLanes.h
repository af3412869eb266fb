// Four vertices side by side, one per lane of an SSE vector: the geometry
// stage transforms and lights vertices four at a time. Every lane follows
// the single-precision operations, in the order, that CVec3f's operators
// and CMatrix4's transforms follow for one vertex, so a vertex comes out the
// same whichever lane and whichever neighbours it has.
#pragma once

#include <emmintrin.h>

#include <array>
#include <cmath>

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

// h^e for h > 0, lane by lane (0 elsewhere): exponents other than 16 are
// the standard's worlds', which are not the hot path.
inline __m128 Power(__m128 h, float e) {
  alignas(16) float lanes[kCount];
  _mm_store_ps(lanes, h);
  for (float& v : lanes) v = v > 0.0f ? std::pow(v, e) : 0.0f;
  return _mm_load_ps(lanes);
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
