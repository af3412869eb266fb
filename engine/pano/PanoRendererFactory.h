// Makes the renderer of a panorama projection.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/pano/PanoRenderer.h"

namespace vx {

// Projection types as scenes and callers number them.
enum class PanoProjection : int16_t {
  kSphere = 1,
  kCylinder = 2,
  kCube = 3,
};
inline constexpr int32_t kPanoProjectionCount = 3;

// The renderer for a projection type; null for any other type, for a
// projection whose renderer the engine does not have, and when it cannot be
// allocated.
std::unique_ptr<CPanoImageRenderer> MakePanoRenderer(int16_t type);

}  // namespace vx
