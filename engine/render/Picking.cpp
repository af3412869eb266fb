// Picking in the geometry stage: the box test of polygons against an
// axis-aligned world box (collision), after Voorhies' triangle-cube overlap
// test, and the screen pick of the polygon visible at one pixel.
#include <cmath>

#include "engine/render/GeometryStage.h"

namespace vx {
namespace {

constexpr uint32_t kFaceBits = 0x3F;
constexpr uint32_t kEdgePlaneBits = 0xFFF00;
constexpr uint32_t kCornerPlaneBits = 0xFF000000u;
// An edge or normal this close to parallel with a face is not crossed with it.
constexpr float kParallelTolerance = 0.01f;
// Fan-triangle weights may overshoot by this much on a shared diagonal.
constexpr float kWeightSumTolerance = 1.01f;

float& Component(CVec3f& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
float Component(const CVec3f& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

CVec3f WorldPosition(const PolygonRecord& poly, int32_t i) {
  const float* w = poly.vertex[i].v;
  return {w[VertexWord::kWorldX], w[VertexWord::kWorldY], w[VertexWord::kWorldZ]};
}

// (P0 - P1) x (P2 - P1), made unit unless it is zero.
CVec3f UnitPolygonNormal(const PolygonRecord& poly) {
  CVec3f p1 = WorldPosition(poly, 1);
  CVec3f n = (WorldPosition(poly, 0) - p1).Cross(WorldPosition(poly, 2) - p1);
  if (n.Length() > 0.0f) n.Normalize();
  return n;
}

int32_t CrossClass(const CVec3f& c) {
  if (c.x < 0.0f) return 4;
  if (c.y < 0.0f) return 2;
  if (c.z < 0.0f) return 1;
  return 0;
}

}  // namespace

bool PointInPolygon(const CVec3f& p, const PolygonRecord& poly) {
  if (poly.count < 1) return false;
  CVec3f low = WorldPosition(poly, 0);
  CVec3f high = low;
  for (int32_t i = 1; i < poly.count; ++i) {
    CVec3f q = WorldPosition(poly, i);
    for (int axis = 0; axis < 3; ++axis) {
      Component(low, axis) = std::min(Component(low, axis), Component(q, axis));
      Component(high, axis) = std::max(Component(high, axis), Component(q, axis));
    }
  }
  for (int axis = 0; axis < 3; ++axis) {
    if (Component(p, axis) > Component(high, axis) || Component(p, axis) < Component(low, axis)) return false;
  }
  int32_t first = -1;
  for (int32_t k = 0; k < poly.count; ++k) {
    CVec3f pk = WorldPosition(poly, k);
    CVec3f edge = WorldPosition(poly, (k + 1) % poly.count) - pk;
    int32_t cls = CrossClass(edge.Cross(p - pk));
    if (first < 0) first = cls;
    if (cls != first) return false;
  }
  return true;
}

void CGeometryStage::SetPickSegment(const CVec3f& a, const CVec3f& b) {
  boxMin_ = a;
  boxMax_ = b;
}

uint32_t CGeometryStage::OutcodeOf(const CVec3f& p) const {
  uint32_t code = 0;
  if (p.x > boxMax_.x) code |= 0x01;
  if (p.x < boxMin_.x) code |= 0x02;
  if (p.y > boxMax_.y) code |= 0x04;
  if (p.y < boxMin_.y) code |= 0x08;
  if (p.z > boxMax_.z) code |= 0x10;
  if (p.z < boxMin_.z) code |= 0x20;

  CVec3f h = (boxMax_ - boxMin_) * 0.5f;
  CVec3f d = p - (boxMin_ + boxMax_) * 0.5f;
  float hxy = h.x + h.y, hxz = h.x + h.z, hyz = h.y + h.z;
  if (d.x + d.y > hxy) code |= 0x100;
  if (d.x - d.y > hxy) code |= 0x200;
  if (d.y - d.x > hxy) code |= 0x400;
  if (-d.x - d.y > hxy) code |= 0x800;
  if (d.x + d.z > hxz) code |= 0x1000;
  if (d.x - d.z > hxz) code |= 0x2000;
  if (d.z - d.x > hxz) code |= 0x4000;
  if (-d.x - d.z > hxz) code |= 0x8000;
  if (d.y + d.z > hyz) code |= 0x10000;
  if (d.y - d.z > hyz) code |= 0x20000;
  if (d.z - d.y > hyz) code |= 0x40000;
  if (-d.y - d.z > hyz) code |= 0x80000;

  float all = h.x + h.y + h.z;
  if (d.x + d.y + d.z > all) code |= 0x1000000;
  if (d.x + d.y - d.z > all) code |= 0x2000000;
  if (d.x - d.y + d.z > all) code |= 0x4000000;
  if (d.x - d.y - d.z > all) code |= 0x8000000;
  if (-d.x + d.y + d.z > all) code |= 0x10000000;
  if (-d.x + d.y - d.z > all) code |= 0x20000000;
  if (-d.x - d.y + d.z > all) code |= 0x40000000;
  if (-d.x - d.y - d.z > all) code |= 0x80000000u;
  return code;
}

uint32_t CGeometryStage::OutcodeAgainstPickBox(const PolygonRecord& poly, int32_t i, int32_t j, float t,
                                               uint32_t mask) const {
  CVec3f pi = WorldPosition(poly, i);
  return OutcodeOf(pi + (WorldPosition(poly, j) - pi) * t) & mask;
}

// An edge whose two ends lie on opposite sides of a face plane crosses that
// plane inside the edge; the crossing point inside the face's rectangle is a
// hit. (Both ends beyond the same face cross its plane only on the edge's
// extension, which says nothing about the polygon.)
bool CGeometryStage::EdgesCrossBoxFaces(const PolygonRecord& poly,
                                        const std::array<uint32_t, kMaxPolygonVertices>& codes) const {
  for (int32_t i = 0; i < poly.count; ++i) {
    int32_t j = (i + 1) % poly.count;
    uint32_t across = (codes[i] ^ codes[j]) & kFaceBits;
    for (int face = 0; face < 6; ++face) {
      uint32_t bit = 1u << face;
      if (!(across & bit)) continue;
      int axis = face / 2;
      float plane = face % 2 == 0 ? Component(boxMax_, axis) : Component(boxMin_, axis);
      float start = Component(WorldPosition(poly, i), axis);
      float extent = Component(WorldPosition(poly, j), axis) - start;
      if (std::fabs(extent) <= kParallelTolerance) continue;
      if (OutcodeAgainstPickBox(poly, i, j, (plane - start) / extent, kFaceBits & ~bit) == 0) return true;
    }
  }
  return false;
}

// The twelve box edges crossed with the polygon's plane.
bool CGeometryStage::BoxEdgesCrossPolygon(const PolygonRecord& poly, const CVec3f& normal) const {
  float planeOffset = normal.Dot(WorldPosition(poly, 0));
  for (int axis = 0; axis < 3; ++axis) {
    float along = Component(normal, axis);
    if (std::fabs(along) <= kParallelTolerance) continue;
    int a = (axis + 1) % 3;
    int b = (axis + 2) % 3;
    for (int corner = 0; corner < 4; ++corner) {
      CVec3f p;
      Component(p, a) = corner & 1 ? Component(boxMax_, a) : Component(boxMin_, a);
      Component(p, b) = corner & 2 ? Component(boxMax_, b) : Component(boxMin_, b);
      Component(p, axis) =
          (planeOffset - Component(normal, a) * Component(p, a) - Component(normal, b) * Component(p, b)) / along;
      bool between = Component(p, axis) > Component(boxMin_, axis) && Component(p, axis) < Component(boxMax_, axis);
      if (between && PointInPolygon(p, poly)) return true;
    }
  }
  return false;
}

void CGeometryStage::PickTestPolygon(const PolygonRecord& poly) {
  if (poly.count < 1 || poly.count > kMaxPolygonVertices) return;
  std::array<uint32_t, kMaxPolygonVertices> codes{};
  uint32_t common = ~0u;
  bool hit = false;
  for (int32_t i = 0; i < poly.count; ++i) {
    codes[i] = OutcodeOf(WorldPosition(poly, i));
    if ((codes[i] & kFaceBits) == 0) hit = true;
    common &= codes[i];
  }
  if (!hit) {
    if (common & (kFaceBits | kEdgePlaneBits | kCornerPlaneBits)) return;
    hit = EdgesCrossBoxFaces(poly, codes);
  }
  CVec3f normal = poly.count >= 3 ? UnitPolygonNormal(poly) : CVec3f{};
  if (!hit && poly.count >= 3) hit = BoxEdgesCrossPolygon(poly, normal);
  if (!hit) return;
  boxTestResult_ = {true, normal};
}

void CGeometryStage::RequestScreenPick(int32_t x, int32_t y) { screenPick_ = {true, false, x, y}; }

float CGeometryStage::GetPickDepth(int32_t x, int32_t y) const {
  const RowQuality& rows = target_->GetRowQuality();
  if (rows.Reduced()) y &= ~static_cast<int32_t>(rows.rowMask);
  return target_->GetDepth(x, y);
}

bool CGeometryStage::GetPickHit(CVec3f* point, CVec3f* normal, CVec2f* texCoord) {
  screenPick_.armed = false;
  if (!screenPick_.hit) return false;
  CMatrix4 inverseProjection = projection_;
  CMatrix4 inverseModel = model_;
  RenderBufferDesc desc = target_->GetBufferDesc();
  if (!inverseProjection.Invert() || !inverseModel.Invert() || desc.width <= 0 || desc.height <= 0) return false;

  const int32_t x = screenPick_.x, y = screenPick_.y;
  float p[4] = {static_cast<float>(x) / static_cast<float>(desc.width) * 2.0f - 1.0f,
                (1.0f - static_cast<float>(y) / static_cast<float>(desc.height)) * 2.0f - 1.0f, GetPickDepth(x, y),
                1.0f};
  inverseProjection.TransformVec4(p);
  if (p[3] == 0.0f) return false;
  CVec3f world{p[0] / p[3], p[1] / p[3], p[2] / p[3]};
  *point = world;
  inverseModel.TransformPoint(*point);

  const PolygonRecord& hit = hitPolygon_;
  *normal = CVec3f{};
  if (hit.count < 3) return true;
  CVec3f p1 = WorldPosition(hit, 1);
  CVec3f e0 = WorldPosition(hit, 0) - p1;
  CVec3f e2 = WorldPosition(hit, 2) - p1;
  CVec3f n = target_->GetCulling().winding == 0 ? e2.Cross(e0) : e0.Cross(e2);
  if (n.Length() > 0.0f) n.Normalize();
  *normal = n;

  // Texture coordinates from the hit position and the vertices, both in world
  // space, projected onto the plane of the two axes other than the normal's
  // largest one.
  int drop = 0;
  if (std::fabs(n.y) > std::fabs(Component(n, drop))) drop = 1;
  if (std::fabs(n.z) > std::fabs(Component(n, drop))) drop = 2;
  int ua = (drop + 1) % 3;
  int va = (drop + 2) % 3;
  auto flat = [&](const CVec3f& q) { return CVec2f{Component(q, ua), Component(q, va)}; };
  CVec2f a = flat(WorldPosition(hit, 0));
  CVec2f q = flat(world) - a;
  for (int32_t k = 1; k + 1 < hit.count; ++k) {
    CVec2f b = flat(WorldPosition(hit, k)) - a;
    CVec2f c = flat(WorldPosition(hit, k + 1)) - a;
    float det = b.x * c.y - b.y * c.x;
    if (det == 0.0f) continue;
    float u = (q.x * c.y - q.y * c.x) / det;
    float v = (b.x * q.y - b.y * q.x) / det;
    if (u < 0.0f || v < 0.0f || u > 1.0f || v > 1.0f || u + v > kWeightSumTolerance) continue;
    const float* w0 = hit.vertex[0].v;
    const float* wb = hit.vertex[k].v;
    const float* wc = hit.vertex[k + 1].v;
    *texCoord = {w0[VertexWord::kS] + u * (wb[VertexWord::kS] - w0[VertexWord::kS]) +
                     v * (wc[VertexWord::kS] - w0[VertexWord::kS]),
                 w0[VertexWord::kT] + u * (wb[VertexWord::kT] - w0[VertexWord::kT]) +
                     v * (wc[VertexWord::kT] - w0[VertexWord::kT])};
    break;
  }
  return true;
}

}  // namespace vx
