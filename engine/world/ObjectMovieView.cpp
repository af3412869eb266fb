#include "engine/world/ObjectMovieView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

constexpr float kHalfTurnDegrees = kFullTurnDegrees / 2;

}  // namespace

bool IsFullTurn(float low, float high) {
  return std::fabs(std::fabs(high - low) - kFullTurnDegrees) < kFullTurnTolerance;
}

float WrapIntoTurn(float angle, float low, float high) {
  const float width = high - low;
  float wrapped = low + std::fmod(angle - low, width);
  if (wrapped < low) wrapped += width;
  return wrapped;
}

int32_t ObjectMovieAxisIndex(float angle, float start, float end, int32_t count, size_t axis) {
  // The second axis leaves out its last step, and the second and third wrap
  // once around their count.
  const bool dropLastStep = axis == 1;
  const bool wrapOnce = axis > 0;
  if (count < 1) return 0;
  if (dropLastStep) end -= (end - start) / static_cast<float>(count);
  const double span = static_cast<double>(end) - start;
  if (span == 0.0) return 0;
  const double t = (static_cast<double>(angle) - start) * (count - 1) / span;
  if (!std::isfinite(t)) return 0;
  const double limit = 2.0 * count;
  auto index = static_cast<int64_t>(std::clamp(std::round(t), -limit, limit));
  if (wrapOnce) {
    if (index >= count) {
      index -= count;
    } else if (index < 0) {
      index += count;
    }
  }
  return static_cast<int32_t>(std::clamp<int64_t>(index, 0, count - 1));
}

bool ObjectMovieAxes::HasRange() const { return range.size() == static_cast<size_t>(kObjectMovieRangeValues); }

void AdvanceViewAngles(ObjectViewAngles& angles, const ObjectMovieAxes& axes, double dt) {
  const bool rates = axes.animRate.size() == static_cast<size_t>(kObjectMovieAxes);
  for (size_t i = 0; i < angles.size(); ++i) {
    if (rates) angles[i] = static_cast<float>(angles[i] + axes.animRate[i] * dt);
    float low = 0.0f;
    if (axes.HasRange()) {
      low = std::min(axes.range[2 * i], axes.range[2 * i + 1]);
      const float high = std::max(axes.range[2 * i], axes.range[2 * i + 1]);
      if (IsFullTurn(low, high) && std::isfinite(angles[i])) angles[i] = WrapIntoTurn(angles[i], low, high);
    }
    if (!std::isfinite(angles[i])) angles[i] = std::isfinite(low) ? low : 0.0f;
  }
}

FrameIndices ChooseFrameIndices(const ObjectViewAngles& angles, const ObjectMovieAxes& axes) {
  FrameIndices indices{};
  if (!axes.HasRange()) return indices;
  for (size_t i = 0; i < indices.size(); ++i) {
    const int32_t count = i < axes.quantization.size() ? axes.quantization[i] : 0;
    indices[i] = ObjectMovieAxisIndex(angles[i], axes.range[2 * i], axes.range[2 * i + 1], count, i);
  }
  return indices;
}

int32_t ObjectMovieFrameNumber(const FrameIndices& indices, std::span<const int32_t> quantization) {
  if (quantization.size() != static_cast<size_t>(kObjectMovieAxes)) return 0;
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  int64_t number = 0;
  for (size_t i = 0; i < indices.size(); ++i) {
    // Both factors stay below 2^31, so the product fits before the check.
    number = number * std::max(quantization[i], 1) + indices[i];
    if (number > kLargest) return static_cast<int32_t>(kLargest);
  }
  return static_cast<int32_t>(number);
}

ViewerAngles ViewerAnglesOf(const CVec3f& v, const CVec3f& z) {
  float heading = (std::atan2(-v.x, -v.z) - std::atan2(z.x, z.z)) * kDegreesPerRadian - kHalfTurnDegrees;
  // Both arcs lie within half a turn either way, so two turns at most.
  for (int turn = 0; turn < 2 && heading < 0.0f; ++turn) heading += kFullTurnDegrees;
  const float elevation =
      (std::atan2(v.y, std::sqrt(v.x * v.x + v.z * v.z)) - std::atan2(z.y, std::sqrt(z.x * z.x + z.z * z.z))) *
      kDegreesPerRadian;
  return {heading, elevation};
}

}  // namespace vx
