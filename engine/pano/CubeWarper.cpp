#include "engine/pano/CubeWarper.h"

#include <bit>
#include <cmath>

#include "engine/pano/PanoView.h"
#include "engine/render/Numeric.h"

namespace vx {
namespace {

using Matrix = std::array<float, 16>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int32_t r = 0; r < 4; ++r)
    for (int32_t c = 0; c < 4; ++c) {
      float sum = 0;
      for (int32_t k = 0; k < 4; ++k) sum += a[static_cast<size_t>(r * 4 + k)] * b[static_cast<size_t>(k * 4 + c)];
      m[static_cast<size_t>(r * 4 + c)] = sum;
    }
  return m;
}

constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Rotation about axis (0 x, 1 y, 2 z) by a, for row vectors.
Matrix Rotation(int32_t axis, double a) {
  Matrix m = kIdentity;
  const auto c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  auto at = [&m](int32_t r, int32_t col) -> float& { return m[static_cast<size_t>(r * 4 + col)]; };
  if (axis == 0) at(1, 1) = c, at(1, 2) = s, at(2, 1) = -s, at(2, 2) = c;
  if (axis == 1) at(0, 0) = c, at(0, 2) = -s, at(2, 0) = s, at(2, 2) = c;
  if (axis == 2) at(0, 0) = c, at(0, 1) = s, at(1, 0) = -s, at(1, 1) = c;
  return m;
}

// The cube's tiles from the top, as the projection numbers them.
enum Tile { kBehind, kRight, kAhead, kLeft, kTop, kBottom };

}  // namespace

CCubeWarper::CCubeWarper() {
  for (CCubeFaceRenderer& face : faces_) face.SetCornerCount(4);
}

size_t CCubeWarper::GetWorkBufferSize(int32_t, int32_t, int32_t, int32_t) const { return sizeof(uint64_t); }

Matrix CCubeWarper::MakeViewMatrix() const {
  const CPanoView& view = *GetTarget();
  const MediaImageInfo& output = view.GetOutputImage();
  const float aspect = static_cast<float>(output.width) / static_cast<float>(output.height);
  const double tanV = std::tan(view.GetFieldOfView().vertical);
  const ViewDirection angles = view.GetAngles();
  Matrix m{};
  m[0] = static_cast<float>(1.0 / (aspect * tanV));
  m[5] = static_cast<float>(1.0 / tanV);
  m[10] = kCubeDepthScale;
  m[11] = -1;
  m[14] = kCubeDepthOffset;
  m = Multiply(Rotation(2, -angles.roll), m);
  m = Multiply(Rotation(0, -angles.pitch), m);
  m = Multiply(Rotation(1, angles.yaw - kPi), m);
  Matrix translation = kIdentity;
  const std::array<uint32_t, 3> aux = view.GetAuxWords();
  for (size_t i = 0; i < 3; ++i) translation[12 + i] = std::bit_cast<float>(aux[i]);
  return Multiply(translation, m);
}

void CCubeWarper::SetCorners(float inset) {
  const float s = halfSize_;
  const float x0 = centre_[0] - s, x1 = centre_[0] + s;
  const float y0 = centre_[1] - s, y1 = centre_[1] + s;
  const float z0 = centre_[2] - s, z1 = centre_[2] + s;
  const float* t = kCubeTileEdges;
  struct C {
    float x, y, z, u, v;
  };
  const C corners[kCubeFaces][4] = {
      {{x1, y1, z1, 0, t[2]}, {x0, y1, z1, 1, t[2]}, {x0, y0, z1, 1, t[3] - inset}, {x1, y0, z1, 0, t[3] - inset}},
      {{x0, y1, z1, 0, t[3]}, {x0, y1, z0, 1, t[3]}, {x0, y0, z0, 1, t[4] - inset}, {x0, y0, z1, 0, t[4] - inset}},
      {{x0, y1, z0, 0, t[0]}, {x1, y1, z0, 1, t[0]}, {x1, y0, z0, 1, t[1] - inset}, {x0, y0, z0, 0, t[1] - inset}},
      {{x1, y1, z0, 0, t[1]}, {x1, y1, z1, 1, t[1]}, {x1, y0, z1, 1, t[2] - inset}, {x1, y0, z0, 0, t[2] - inset}},
      {{x1, y0, z1, 1, t[6]}, {x0, y0, z1, 0, t[6]}, {x0, y0, z0, 0, t[5] + inset}, {x1, y0, z0, 1, t[5] + inset}},
      {{x0, y1, z0, 0, t[5] - inset}, {x1, y1, z0, 1, t[5] - inset}, {x1, y1, z1, 1, t[4] + inset}, {x0, y1, z1, 0, t[4] + inset}},
  };
  for (size_t f = 0; f < kCubeFaces; ++f)
    for (int32_t i = 0; i < 4; ++i) {
      const C& c = corners[f][static_cast<size_t>(i)];
      faces_[f].SetCorner(i, c.x, c.y, c.z, c.u, c.v);
    }
}

int32_t CCubeWarper::Draw() {
  CPanoView* view = GetTarget();
  if (!view) return 0;
  const MediaImageInfo& output = view->GetOutputImage();
  const MediaImageInfo source = GetSourceImage();
  if (output.width == 0 || output.height == 0 || source.height == 0) return 0;
  matrix_ = MakeViewMatrix();
  SetCorners(kCubeTileInsetRows / static_cast<float>(source.height));
  // Face f shows tile kFaceTiles[f] of the picture.
  constexpr int32_t kFaceTiles[kCubeFaces] = {2, 3, 0, 1, 5, 4};
  for (size_t f = 0; f < kCubeFaces; ++f) {
    CCubeFaceRenderer& face = faces_[f];
    face.SetMatrix(matrix_);
    face.SetFaceImage(source);
    const int32_t tile = kFaceTiles[f];
    face.SetTileRows(TruncToInt(kCubeTileEdges[tile] * source.height),
                     TruncToInt(kCubeTileEdges[tile + 1] * source.height) - 1);
  }
  for (CCubeFaceRenderer& face : faces_) view->DrawWithRenderer(face, view->GetFrameWord());
  return 0;
}

void CCubeWarper::AnglesToProjection(double yaw, double pitch, double* u, double* v) const {
  const auto x = static_cast<float>(-std::sin(yaw) * std::cos(pitch));
  const auto y = static_cast<float>(std::sin(pitch));
  const auto z = static_cast<float>(std::cos(yaw) * std::cos(pitch));
  // Ties go to x over y, and to x or y over z.
  Tile tile = x < 0 ? kLeft : kRight;
  float dominant = std::fabs(x);
  if (dominant < std::fabs(y)) tile = y < 0 ? kBottom : kTop, dominant = std::fabs(y);
  if (std::fabs(z) > dominant) tile = z < 0 ? kBehind : kAhead, dominant = std::fabs(z);
  const float m = 1.0f / dominant;
  const double X = x * m, Y = y * m, Z = z * m;
  const double h = kCubeProjectionHalfTile;
  const float* base = kCubeProjectionTiles;
  switch (tile) {
    case kBehind:
      *u = (X + 1) * 0.5, *v = (1 - Y) * h;
      break;
    case kRight:
      *u = (Z + 1) * 0.5, *v = (1 - Y) * h + base[1];
      break;
    case kAhead:
      *u = (1 - X) * 0.5, *v = (1 - Y) * h + base[2];
      break;
    case kLeft:
      *u = (1 - Z) * 0.5, *v = (1 - Y) * h + base[3];
      break;
    case kTop:
      *u = (X + 1) * 0.5, *v = (1 - Z) * h + base[4];
      break;
    case kBottom:
      *u = (X + 1) * 0.5, *v = (Z + 1) * h + base[5];
      break;
  }
}

void CCubeWarper::ProjectionToAngles(double u, double v, double* yaw, double* pitch) const {
  const double U = static_cast<float>(u);
  const float* base = kCubeProjectionTiles;
  double X, Y, Z;
  if (v > base[5]) {
    X = 2 * U - 1, Y = -1, Z = (v - base[5]) * kCubeTileScale - 1;
  } else if (v > base[4]) {
    X = 2 * U - 1, Y = 1, Z = 1 - (v - base[4]) * kCubeTileScale;
  } else if (v > base[3]) {
    X = -1, Y = 1 - (v - base[3]) * kCubeTileScale, Z = 1 - 2 * U;
  } else if (v > base[2]) {
    X = 1 - 2 * U, Y = 1 - (v - base[2]) * kCubeTileScale, Z = 1;
  } else if (v > base[1]) {
    X = 1, Y = 1 - (v - base[1]) * kCubeTileScale, Z = 2 * U - 1;
  } else {
    X = 2 * U - 1, Y = 1 - kCubeTileScale * v, Z = -1;
  }
  *yaw = std::atan2(-X, Z);
  *pitch = std::atan2(Y, std::sqrt(X * X + Z * Z));
}

}  // namespace vx
