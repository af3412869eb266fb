#include "engine/nodes/GeometryNodeSupport.h"

#include <algorithm>
#include <cassert>
#include <string>

#include "engine/render/RenderTarget.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneLimits.h"
#include "engine/world/ViewContext.h"
#include "platform/Numbers.h"

namespace vx {

CGeometryStage* FrameStage(RenderPass pass, CViewContext* view) {
  return pass == RenderPass::Frame && view ? view->GetStage() : nullptr;
}

void DrawMeshCulled(CMeshBuffer& mesh, CGeometryStage& stage, uint32_t cullWinding, uint32_t cullMode) {
  stage.RenderTarget()->SetCulling({.mode = cullMode, .winding = cullWinding});
  mesh.Draw(&stage, true, -1);
}

namespace {

constexpr double kBoundsStart = 9999999.0;

// The points on the coordinate plane of their two largest bounding-box
// extents, turned counter-clockwise; false for a polygon of zero area there.
// reversed tells whether the points are now held in reverse order.
bool ProjectCounterClockwise(std::span<const CVec3f> points, std::vector<TriPoint>& projected, bool& reversed) {
  double low[3] = {kBoundsStart, kBoundsStart, kBoundsStart};
  double high[3] = {-kBoundsStart, -kBoundsStart, -kBoundsStart};
  for (const CVec3f& p : points) {
    const double c[3] = {p.x, p.y, p.z};
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], c[axis]);
      high[axis] = std::max(high[axis], c[axis]);
    }
  }
  const double dx = high[0] - low[0];
  const double dy = high[1] - low[1];
  const double dz = high[2] - low[2];
  int first = 0;
  int second = 1;
  if (dy <= dx) {
    if (dz > dy) second = 2;
  } else if (dz > dx) {
    first = 1;
    second = 2;
  }
  projected.clear();
  for (const CVec3f& p : points) {
    const double c[3] = {p.x, p.y, p.z};
    projected.push_back({c[first], c[second]});
  }
  // Turning the polygon here tells which way the triangulator numbers it; it
  // then finds it counter-clockwise and leaves it as it is.
  const OrientationChange change = MakeCounterClockwise(projected);
  reversed = change == OrientationChange::kReversed;
  return change != OrientationChange::kZeroArea;
}

// A fan from the first point, in vertex numbers 1..n like the triangulator's.
std::vector<TriangleIndices> FanTriangles(int32_t n) {
  std::vector<TriangleIndices> triangles;
  for (int32_t t = 2; t < n; ++t) triangles.push_back({1, t, t + 1});
  return triangles;
}

}  // namespace

MeshPolygon Triangle(int32_t a, int32_t b, int32_t c) {
  MeshPolygon polygon;
  polygon.vertexCount = 3;
  polygon.vertices = {a, b, c, 0};
  return polygon;
}

void AddFan(std::vector<MeshPolygon>& polygons, std::span<const int32_t> indices) {
  for (size_t t = 2; t < indices.size(); ++t) polygons.push_back(Triangle(indices[0], indices[t - 1], indices[t]));
}

TriangulateStatus TriangulatePolygon3D(std::span<const CVec3f> points, std::vector<TriangleIndices>& triangles,
                                       bool& reversed) {
  std::vector<TriPoint> projected;
  triangles.clear();
  if (!ProjectCounterClockwise(points, projected, reversed)) return TriangulateStatus::kZeroArea;
  return TriangulatePolygon(projected, triangles);
}

void AddTriangulatedPolygon(std::vector<MeshPolygon>& polygons, std::span<const CVec3f> positions,
                            std::span<const int32_t> indices, TriangleWinding winding) {
  assert(positions.size() == indices.size() && "a position for every vertex listed");
  size_t n = indices.size();
  if (n >= 2 && positions.front() == positions.back()) --n;
  if (n < 3) return;
  const std::span<const int32_t> outline = indices.first(n);
  const std::span<const CVec3f> points = positions.first(n);
  const auto count = static_cast<int32_t>(n);

  std::vector<TriangleIndices> triangles;
  bool reversed = false;
  if (count > kMaxTriangulatedPolygonPoints) {
    // Too many points for the triangulator's tables: a fan in the same
    // turning sense closes the polygon (exact for the convex ones such as
    // circles that have this many points).
    std::vector<TriPoint> projected;
    if (!ProjectCounterClockwise(points, projected, reversed)) return;
    triangles = FanTriangles(count);
  } else {
    const TriangulateStatus status = TriangulatePolygon3D(points, triangles, reversed);
    if (status == TriangulateStatus::kZeroArea) return;
    // An outline that crosses itself has no proper cut; a fan still shows
    // the file's geometry rather than losing it.
    if (status == TriangulateStatus::kFailed) triangles = FanTriangles(count);
  }
  // The triangles turn counter-clockwise on the projection plane, which is
  // against the order listed when the triangulator had to reverse it.
  const bool flip = winding == TriangleWinding::kProjectedFlipped ||
                    (winding == TriangleWinding::kAsListed && reversed) ||
                    (winding == TriangleWinding::kAgainstListed && !reversed);
  // Vertex number t stands for point t - 1 in the order the triangulator
  // held the polygon.
  auto meshVertex = [&](int32_t t) { return outline[static_cast<size_t>(reversed ? count - t : t - 1)]; };
  for (const TriangleIndices& tri : triangles) {
    const bool valid = std::all_of(tri.begin(), tri.end(), [&](int32_t t) { return t >= 1 && t <= count; });
    if (!valid) continue;
    const int32_t a = meshVertex(tri[0]);
    const int32_t b = meshVertex(tri[1]);
    const int32_t c = meshVertex(tri[2]);
    polygons.push_back(flip ? Triangle(b, a, c) : Triangle(a, b, c));
  }
}

bool CMeshAllowance::Allows(CNode& node, int64_t vertices, int64_t triangles, int64_t bytes) {
  if (vertices <= MeshLimits::kMaxVertices && triangles <= MeshLimits::kMaxTriangles &&
      bytes <= MeshLimits::kMaxBuildBytes) {
    refusedVertices_ = refusedTriangles_ = -1;
    return true;
  }
  if (vertices == refusedVertices_ && triangles == refusedTriangles_) return false;
  refusedVertices_ = vertices;
  refusedTriangles_ = triangles;
  if (CScene* scene = node.GetScene()) {
    const std::string& name = node.GetDefName();
    scene->NoteEventError(FormatString(
        "%s %s is too large to draw: %lld vertices and %lld triangles (at most %lld of each, and %lld MB to build).",
        std::string(node.GetTypeName()).c_str(), name.empty() ? "(unnamed)" : ("'" + name + "'").c_str(),
        static_cast<long long>(vertices), static_cast<long long>(triangles),
        static_cast<long long>(MeshLimits::kMaxTriangles), static_cast<long long>(MeshLimits::kMaxBuildBytes >> 20)));
  }
  return false;
}

}  // namespace vx
