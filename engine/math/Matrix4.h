// 4x4 float matrix in the row-vector convention.
//
// Element (row r, column c) is at index 4r + c. A point is a row vector on the
// left, p' = p x M, so the translation lies in elements 12, 13 and 14 and the
// product A x B applies A first, then B. Storage is single precision.
#pragma once

#include <array>
#include <cstddef>

#include "engine/math/Vec.h"

namespace vx {

class CMatrix4 {
 public:
  std::array<float, 16> m{};

  CMatrix4() { SetIdentity(); }

  float& operator[](int index) { return m[static_cast<std::size_t>(index)]; }
  float operator[](int index) const { return m[static_cast<std::size_t>(index)]; }
  float At(int row, int column) const { return m[static_cast<std::size_t>(4 * row + column)]; }
  bool operator==(const CMatrix4&) const = default;

  CMatrix4& SetIdentity();

  // this = other x this (other applied after this one).
  CMatrix4& PreMultiply(const CMatrix4& other);

  // v = v x M, all four components.
  void TransformVec4(float v[4]) const;
  // p = (x, y, z, 1) x M, first three components; no division by w.
  void TransformPoint(CVec3f& p) const;

  float Determinant() const;
  // Replaces the matrix by its adjugate (transposed cofactors).
  CMatrix4& Adjugate();

  // Inverts in place. A matrix that is singular relative to its own scale
  // (the determinant is tiny against the product of the row lengths) is left
  // unchanged and false is returned, so callers keep their previous matrix.
  [[nodiscard]] bool Invert();

  CMatrix4& SetTranslation(float x, float y, float z);
  CMatrix4& SetScale(float x, float y, float z);
  // Rotation about axis 0 (X), 1 (Y) or 2 (Z), counter-clockwise about the
  // positive axis; any other axis number gives the identity.
  CMatrix4& SetAxisRotation(int axis, float angle);
  // Rotation about any axis (an SFRotation); the axis need not be of unit
  // length, and a zero axis turns about X.
  CMatrix4& SetRotation(const CVec3f& axis, float angle);
  // The rotation that turns the direction from into the direction to.
  // Parallel directions give the identity, opposite ones a half turn about an
  // axis perpendicular to them.
  CMatrix4& SetRotationFromTo(const CVec3f& from, const CVec3f& to);
  // Projection with the field of view fov (radians, full angle) as the view
  // context's camera uses it.
  CMatrix4& SetPerspective(float fov, float nearPlane, float farPlane, float aspect);

 private:
  // Turns the axis given by yaw and pitch onto +Z, turns about Z by the
  // angle, and turns back.
  CMatrix4& SetRotationAboutDirection(float yaw, float pitch, float angle);
};

}  // namespace vx
