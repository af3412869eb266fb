// Three- and two-component float vectors.
//
// Plain values, copied freely. Storage is single precision; every operation
// rounds its result to float.
#pragma once

namespace vx {

class CVec3f {
 public:
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  constexpr CVec3f() = default;
  constexpr CVec3f(float ax, float ay, float az) : x(ax), y(ay), z(az) {}

  CVec3f& Set(float ax, float ay, float az) {
    x = ax;
    y = ay;
    z = az;
    return *this;
  }

  CVec3f operator+(const CVec3f& v) const { return {x + v.x, y + v.y, z + v.z}; }
  CVec3f operator-(const CVec3f& v) const { return {x - v.x, y - v.y, z - v.z}; }
  CVec3f operator*(float s) const { return {x * s, y * s, z * s}; }
  CVec3f& operator+=(const CVec3f& v) { return Set(x + v.x, y + v.y, z + v.z); }
  CVec3f& operator-=(const CVec3f& v) { return Set(x - v.x, y - v.y, z - v.z); }
  CVec3f& operator*=(float s) { return Set(x * s, y * s, z * s); }
  bool operator==(const CVec3f&) const = default;

  float Dot(const CVec3f& v) const { return x * v.x + y * v.y + z * v.z; }
  CVec3f Cross(const CVec3f& v) const { return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x}; }
  float Length() const;

  // Unit length in place; the zero vector becomes (0, 0, 1) so that callers
  // always get a usable direction.
  CVec3f& Normalize();

  // Turns the vector about coordinate axis 0 (X), 1 (Y) or 2 (Z) by the
  // angle, counter-clockwise about the positive axis; other axis numbers leave
  // it unchanged. The sine and cosine of the last call are kept and reused
  // while the axis stays the same and the angle drifts by at most 1e-6 from
  // one call to the next (panorama code turns many vectors by one angle).
  CVec3f& RotateAboutAxis(int axis, float angle);
};

inline CVec3f operator*(float s, const CVec3f& v) { return v * s; }

class CVec2f {
 public:
  float x = 0.0f;
  float y = 0.0f;

  constexpr CVec2f() = default;
  constexpr CVec2f(float ax, float ay) : x(ax), y(ay) {}

  CVec2f operator+(const CVec2f& v) const { return {x + v.x, y + v.y}; }
  CVec2f operator-(const CVec2f& v) const { return {x - v.x, y - v.y}; }
  CVec2f operator*(float s) const { return {x * s, y * s}; }
  bool operator==(const CVec2f&) const = default;
};

inline CVec2f operator*(float s, const CVec2f& v) { return v * s; }

}  // namespace vx
