#include "engine/math/Matrix4.h"

#include <cmath>
#include <numbers>

namespace vx {
namespace {

// Below this magnitude an axis component counts as zero when an SFRotation
// picks a coordinate axis.
constexpr float kAxisEpsilon = 0.001f;

// A determinant this small against the product of the row lengths means the
// rows are (nearly) linearly dependent, whatever the matrix's scale.
constexpr double kSingularRatio = 1e-6;

double Det2x2(double a, double b, double c, double d) { return a * d - b * c; }

double Det3x3(double a1, double a2, double a3, double b1, double b2, double b3, double c1,
              double c2, double c3) {
  return a1 * Det2x2(b2, b3, c2, c3) - b1 * Det2x2(a2, a3, c2, c3) + c1 * Det2x2(a2, a3, b2, b3);
}

// Cofactor of element (row, column): the signed determinant of the 3x3 matrix
// without that row and column.
double Cofactor(const std::array<float, 16>& m, int row, int column) {
  double minor[9];
  int n = 0;
  for (int r = 0; r < 4; ++r) {
    if (r == row) continue;
    for (int c = 0; c < 4; ++c) {
      if (c == column) continue;
      minor[n++] = m[static_cast<size_t>(4 * r + c)];
    }
  }
  double det = Det3x3(minor[0], minor[3], minor[6], minor[1], minor[4], minor[7], minor[2],
                      minor[5], minor[8]);
  return ((row + column) % 2 == 0) ? det : -det;
}

double DeterminantOf(const std::array<float, 16>& m) {
  double det = 0.0;
  for (int c = 0; c < 4; ++c) det += m[static_cast<size_t>(c)] * Cofactor(m, 0, c);
  return det;
}

float SignOf(float value) { return std::signbit(value) && value != 0.0f ? -1.0f : 1.0f; }

CMatrix4 AxisRotation(int axis, float angle) {
  CMatrix4 r;
  r.SetAxisRotation(axis, angle);
  return r;
}

}  // namespace

CMatrix4& CMatrix4::SetIdentity() {
  m.fill(0.0f);
  m[0] = m[5] = m[10] = m[15] = 1.0f;
  return *this;
}

CMatrix4& CMatrix4::PreMultiply(const CMatrix4& other) {
  const std::array<float, 16> old = m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += other.At(i, k) * old[static_cast<size_t>(4 * k + j)];
      m[static_cast<size_t>(4 * i + j)] = sum;
    }
  }
  return *this;
}

void CMatrix4::TransformVec4(float v[4]) const {
  float out[4];
  for (int j = 0; j < 4; ++j) out[j] = v[0] * At(0, j) + v[1] * At(1, j) + v[2] * At(2, j) + v[3] * At(3, j);
  for (int j = 0; j < 4; ++j) v[j] = out[j];
}

void CMatrix4::TransformPoint(CVec3f& p) const {
  p.Set(p.x * m[0] + p.y * m[4] + p.z * m[8] + m[12], p.x * m[1] + p.y * m[5] + p.z * m[9] + m[13],
        p.x * m[2] + p.y * m[6] + p.z * m[10] + m[14]);
}

float CMatrix4::Determinant() const { return static_cast<float>(DeterminantOf(m)); }

CMatrix4& CMatrix4::Adjugate() {
  const std::array<float, 16> old = m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) m[static_cast<size_t>(4 * i + j)] = static_cast<float>(Cofactor(old, j, i));
  }
  return *this;
}

bool CMatrix4::Invert() {
  const double det = DeterminantOf(m);
  double rowLengths = 1.0;
  for (int r = 0; r < 4; ++r) {
    double sum = 0.0;
    for (int c = 0; c < 4; ++c) sum += static_cast<double>(At(r, c)) * At(r, c);
    rowLengths *= std::sqrt(sum);
  }
  if (!std::isfinite(det) || rowLengths == 0.0 || std::fabs(det) < kSingularRatio * rowLengths) return false;
  const std::array<float, 16> old = m;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) m[static_cast<size_t>(4 * i + j)] = static_cast<float>(Cofactor(old, j, i) / det);
  }
  return true;
}

CMatrix4& CMatrix4::SetTranslation(float x, float y, float z) {
  SetIdentity();
  m[12] = x;
  m[13] = y;
  m[14] = z;
  return *this;
}

CMatrix4& CMatrix4::SetScale(float x, float y, float z) {
  SetIdentity();
  m[0] = x;
  m[5] = y;
  m[10] = z;
  return *this;
}

CMatrix4& CMatrix4::SetAxisRotation(int axis, float angle) {
  SetIdentity();
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  switch (axis) {
    case 0: m[5] = c; m[6] = s; m[9] = -s; m[10] = c; break;
    case 1: m[0] = c; m[2] = -s; m[8] = s; m[10] = c; break;
    case 2: m[0] = c; m[1] = s; m[4] = -s; m[5] = c; break;
    default: break;
  }
  return *this;
}

CMatrix4& CMatrix4::SetRotationAboutDirection(float yaw, float pitch, float angle) {
  SetAxisRotation(1, yaw);
  PreMultiply(AxisRotation(0, -pitch));
  PreMultiply(AxisRotation(2, angle));
  PreMultiply(AxisRotation(0, pitch));
  return PreMultiply(AxisRotation(1, -yaw));
}

CMatrix4& CMatrix4::SetRotation(const CVec3f& axis, float angle) {
  const bool xZero = std::fabs(axis.x) < kAxisEpsilon;
  const bool yZero = std::fabs(axis.y) < kAxisEpsilon;
  const bool zZero = std::fabs(axis.z) < kAxisEpsilon;
  if (yZero && zZero) return SetAxisRotation(0, angle * SignOf(axis.x));
  if (xZero && zZero) return SetAxisRotation(1, angle * SignOf(axis.y));
  if (xZero && yZero) return SetAxisRotation(2, angle * SignOf(axis.z));
  const float yaw = std::atan2(axis.x, axis.z);
  const float pitch = std::atan2(axis.y, std::sqrt(axis.x * axis.x + axis.z * axis.z));
  return SetRotationAboutDirection(yaw, pitch, angle);
}

CMatrix4& CMatrix4::SetRotationFromTo(const CVec3f& from, const CVec3f& to) {
  const float lengths = from.Length() * to.Length();
  if (lengths == 0.0f || !std::isfinite(lengths)) return SetIdentity();
  CVec3f axis = from.Cross(to);
  // atan2 of the sine and cosine parts stays accurate near 0 and pi, where
  // the arc cosine of a rounded dot product loses precision or, just past
  // +-1, gives NaN.
  float angle = std::atan2(axis.Length(), from.Dot(to));
  if (axis.Length() <= 1e-6f * lengths) {
    if (from.Dot(to) > 0.0f) return SetIdentity();
    // Opposite directions: any axis perpendicular to them gives the half turn.
    const CVec3f other = std::fabs(from.x) < std::fabs(from.y) ? CVec3f(1, 0, 0) : CVec3f(0, 1, 0);
    axis = from.Cross(other);
    angle = std::numbers::pi_v<float>;
  }
  const float yaw = std::atan2(axis.x, axis.z);
  const float pitch = std::atan2(axis.y, std::sqrt(axis.x * axis.x + axis.z * axis.z));
  return SetRotationAboutDirection(yaw, pitch, angle);
}

CMatrix4& CMatrix4::SetPerspective(float fov, float nearPlane, float farPlane, float aspect) {
  SetIdentity();
  const float t = std::tan(fov * 0.5f);
  m[0] = 1.0f / (aspect * t);
  m[5] = 1.0f / t;
  m[10] = (farPlane + nearPlane) / (farPlane - nearPlane);
  m[11] = -1.0f;
  m[14] = 2.0f * farPlane * nearPlane / (farPlane - nearPlane);
  m[15] = 0.0f;
  return *this;
}

}  // namespace vx
