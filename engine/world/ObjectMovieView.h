// How an object movie (frames photographed around an object, one per view
// direction) picks its frame: three view angles in degrees, moved by an
// automatic rate and wrapped around full turns, become one index per axis
// and from them one frame number.
//
// Every value comes from a scene file, so none is trusted: empty or zero
// ranges, zero or negative frame counts and infinite or NaN angles all give
// a frame within the counts, and nothing here loops on the size of a value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/math/Vec.h"

namespace vx {

using ObjectViewAngles = std::array<float, 3>;
using FrameIndices = std::array<int32_t, 3>;

// The fields of an object movie; each list is used only at its full length
// (3 frame counts, 6 range values {min, max} per axis, 3 rates).
struct ObjectMovieAxes {
  std::span<const int32_t> quantization;
  std::span<const float> range;
  std::span<const double> animRate;

  bool HasRange() const;
};

// Adds each axis's rate over dt seconds, then wraps an axis whose range is a
// full turn into that range. An angle that is not finite starts again at
// its range's lower end (0 without a range).
void AdvanceViewAngles(ObjectViewAngles& angles, const ObjectMovieAxes& axes, double dt);

// Whether a range from low to high is a full turn, which angles wrap into.
bool IsFullTurn(float low, float high);
// A finite angle moved by whole turns into the full turn from low to high,
// in one step however far it has run.
float WrapIntoTurn(float angle, float low, float high);
// The frame index of one axis (0, 1 or 2) for an angle in the range from
// start to end and count frames, as ChooseFrameIndices takes it.
int32_t ObjectMovieAxisIndex(float angle, float start, float end, int32_t count, size_t axis);

// The frame index of each axis: the angle's place in its range scaled to
// the axis's frame count, rounded half away from zero. The second axis
// leaves out its last step (its range's ends show the same frame), and the
// second and third wrap once around their count. Always within 0..count-1;
// 0 without a range or with a count below 1.
FrameIndices ChooseFrameIndices(const ObjectViewAngles& angles, const ObjectMovieAxes& axes);

// (i0 x q1 + i1) x q2 + i2 with the three frame counts; 0 without them.
// Saturates at the largest frame number rather than overflowing.
int32_t ObjectMovieFrameNumber(const FrameIndices& indices, std::span<const int32_t> quantization);

// The viewer's heading around the object (0..360) and elevation above it,
// in degrees, from the vector towards the viewer and the object's own z
// axis.
struct ViewerAngles {
  float heading = 0.0f;
  float elevation = 0.0f;
};
ViewerAngles ViewerAnglesOf(const CVec3f& towardsViewer, const CVec3f& objectAxis);

}  // namespace vx
