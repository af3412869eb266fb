#include "engine/math/Vec.h"

#include <cmath>

namespace vx {
namespace {

// The last sine and cosine of RotateAboutAxis. The engine runs on one thread.
struct RotationCache {
  int axis = 666;  // no axis
  float angle = 0.0f;
  float sine = 0.0f;
  float cosine = 1.0f;
};

RotationCache& TheRotationCache() {
  static RotationCache cache;
  return cache;
}

}  // namespace

float CVec3f::Length() const { return std::sqrt(x * x + y * y + z * z); }

CVec3f& CVec3f::Normalize() {
  float length = Length();
  if (length == 0.0f) return Set(0.0f, 0.0f, 1.0f);
  return Set(x / length, y / length, z / length);
}

CVec3f& CVec3f::RotateAboutAxis(int axis, float angle) {
  RotationCache& cache = TheRotationCache();
  if (cache.axis != axis || std::fabs(angle - cache.angle) > 1e-6f) {
    cache.cosine = std::cos(angle);
    cache.sine = std::sin(angle);
  }
  cache.axis = axis;
  cache.angle = angle;
  const float c = cache.cosine;
  const float s = cache.sine;
  switch (axis) {
    case 0: return Set(x, y * c - z * s, y * s + z * c);
    case 1: return Set(x * c + z * s, y, z * c - x * s);
    case 2: return Set(x * c - y * s, x * s + y * c, z);
    default: return *this;
  }
}

}  // namespace vx
