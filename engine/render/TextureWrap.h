// Texel addressing of textured spans: which texel a texture coordinate reads
// along one axis of the bound texture.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/render/Numeric.h"

namespace vx {

// How the two axes of a bound texture meet coordinates beyond the picture:
// a repeating axis tiles the picture, a clamping one stretches its edge
// texels outwards.
struct TextureAddressing {
  bool repeatS = true;
  bool repeatT = true;
};

// How a run steps positions and finds texels between exact places.
// kGeneral serves every axis. kMasked serves repeating axes of power-of-two
// sizes only, whose period divides 2^32: positions may then run on past the
// period, and a mask finds the texel.
enum class TexelForm : uint8_t { kGeneral, kMasked };

// One axis of a bound texture as a textured run walks it. A coordinate of
// 0..1 across the picture is 0..size in texels; positions are those texel
// coordinates in 16.16, and the texel read is the position's integer part.
//
// A repeating axis keeps every position and every step within one period
// (size x 65536), so that one conditional subtraction after each step keeps
// the position there, whatever the coordinate and whatever the size. A
// clamping axis keeps positions as they come and clamps the texel to the
// edges. Per pixel both cost an addition, a compare and select, a shift and
// a clamp (in the masked form an addition, a shift and a mask), never a
// division; positions are reduced into the period only where the run
// computes them exactly, mostly by one addition there too. What a run calls
// is forced inline: out of line, it would make the compiler keep the
// fillers' running values in memory.
class TextureAxis {
 public:
  // A place where the run is exact: the coordinate in 16.16 and its position.
  struct Exact {
    int64_t fixed;
    int32_t position;
  };

  TextureAxis() = default;
  // size is 1..kMaxTextureSide.
  TextureAxis(int32_t size, bool repeat);

  // The exact place of a coordinate given in texels.
  Exact At(float texels) const { return Place(ToFixed16Wide(texels)); }
  // The same found from an earlier exact place: for a coordinate not far
  // from it, by an addition.
  __attribute__((always_inline)) Exact Next(const Exact& from, float texels) const {
    const int64_t fixed = ToFixed16Wide(texels);
    if (period_ == 0) return Place(fixed);
    return {fixed, Reduce(from.position + (fixed - from.fixed))};
  }
  // The step per pixel of `texelsPerPixel`.
  __attribute__((always_inline)) int32_t StepOf(float texelsPerPixel) const { return Step(ToFixed16Wide(texelsPerPixel)); }
  // The step per pixel that walks from one exact place towards another in
  // 2^shift pixels, rounded towards minus infinity. A repeating axis walks
  // between the coordinates, whose positions lie whole periods apart; a
  // clamping one between the positions, so that it meets the next one.
  __attribute__((always_inline)) int32_t StepAcross(const Exact& from, const Exact& to, int shift) const {
    if (period_ == 0) return Step((int64_t{to.position} - from.position) >> shift);
    return Step((to.fixed - from.fixed) >> shift);
  }

  // Whether the axis may take the masked form.
  bool Masks() const { return period_ != 0 && (last_ & (last_ + 1)) == 0; }

  template <TexelForm Form = TexelForm::kGeneral>
  __attribute__((always_inline)) int32_t Advance(int32_t position, int32_t step) const {
    const int32_t next = WrapAdd(position, step);
    if constexpr (Form == TexelForm::kMasked) return next;
    return next >= period_ ? next - period_ : next;
  }
  template <TexelForm Form = TexelForm::kGeneral>
  __attribute__((always_inline)) int32_t Texel(int32_t position) const {
    if constexpr (Form == TexelForm::kMasked) return (position >> 16) & last_;
    return std::clamp(position >> 16, 0, last_);
  }

 private:
  // Clamped positions and steps stay within these, so that the two steps a
  // run takes at most from an exact position before it reads a texel never
  // overflow: a position of 2^30 is 16,384 texels, at or past the far edge
  // of any texture, and a step is less than half that. (Within a block a
  // walk stays between its exact ends.)
  static constexpr int64_t kClampedPositionReach = int64_t{1} << 30;
  static constexpr int64_t kClampedStepReach = (int64_t{1} << 29) - 1;

  __attribute__((always_inline)) Exact Place(int64_t fixed) const {
    if (period_ == 0)
      return {fixed, static_cast<int32_t>(std::clamp(fixed, -kClampedPositionReach, kClampedPositionReach))};
    return {fixed, Reduce(fixed)};
  }
  __attribute__((always_inline)) int32_t Step(int64_t fixed) const {
    if (period_ == 0) return static_cast<int32_t>(std::clamp(fixed, -kClampedStepReach, kClampedStepReach));
    return Reduce(fixed);
  }
  // fixed modulo the period, in [0, period): one addition or subtraction
  // within a period of it, a multiplication by the inverse beyond.
  __attribute__((always_inline)) int32_t Reduce(int64_t fixed) const {
    int64_t near = fixed < 0 ? fixed + period_ : fixed;
    near = near >= period_ ? near - period_ : near;
    if (static_cast<uint64_t>(near) < static_cast<uint64_t>(period_)) return static_cast<int32_t>(near);
    return ReduceFar(fixed);
  }
  int32_t ReduceFar(int64_t fixed) const;

  int32_t period_ = 0;  // 0 on a clamping axis: no step leaves a position at or past it
  int32_t last_ = 0;
  double inversePeriod_ = 0.0;
};

}  // namespace vx
