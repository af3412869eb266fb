#include "engine/nodes/ExtrusionNode.h"

#include <algorithm>
#include <new>

#include "engine/render/RenderTarget.h"
#include "engine/math/Matrix4.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/SceneLimits.h"
#include "engine/nodes/FaceCornerMesh.h"
#include "engine/nodes/GeometryNodeSupport.h"
#include "engine/world/WorldConvention.h"

namespace vx {
namespace {

constexpr SFVec2f kDefaultCrossSection[] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}, {1, 1}};
constexpr SFRotation kDefaultOrientation[] = {{0, 0, 1, 0}};
constexpr SFVec3f kDefaultSpine[] = {{0, 0, 0}, {0, 1, 0}};
constexpr SFVec2f kDefaultScale[] = {{1, 1}};

constexpr FieldSpec kExtrusionFields[] = {
    Field<&CExtrusionNode::beginCap>("beginCap", DefaultBool(true)),
    Field<&CExtrusionNode::ccw>("ccw", DefaultBool(true)),
    Field<&CExtrusionNode::convex>("convex", DefaultBool(true)),
    Field<&CExtrusionNode::creaseAngle>("creaseAngle", DefaultFloats(0)),
    Field<&CExtrusionNode::crossSection>("crossSection", DefaultList(kDefaultCrossSection)),
    Field<&CExtrusionNode::endCap>("endCap", DefaultBool(true)),
    Field<&CExtrusionNode::orientation>("orientation", DefaultList(kDefaultOrientation)),
    Field<&CExtrusionNode::solid>("solid", DefaultBool(true)),
    Field<&CExtrusionNode::spine>("spine", DefaultList(kDefaultSpine)),
    Field<&CExtrusionNode::scale>("scale", DefaultList(kDefaultScale)),
};
constexpr FieldTable kExtrusionTable{Section(kExtrusionFields), {}, {}};
constexpr int kBeginCap = IndexIn(kExtrusionFields, "beginCap");
constexpr int kCrossSection = IndexIn(kExtrusionFields, "crossSection");
constexpr int kEndCap = IndexIn(kExtrusionFields, "endCap");
constexpr int kOrientation = IndexIn(kExtrusionFields, "orientation");
constexpr int kSpine = IndexIn(kExtrusionFields, "spine");
constexpr int kScale = IndexIn(kExtrusionFields, "scale");
constexpr int kSolid = IndexIn(kExtrusionFields, "solid");

CVec3f ToVec(const SFVec3f& v) { return {v.x, v.y, v.z}; }

bool IsZero(const CVec3f& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

bool SamePoint(const SFVec3f& a, const SFVec3f& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// Entry j of a per-spine-point list: the last entry for every point beyond
// the list; the fallback when the list is empty.
template <typename T>
T PerSpinePoint(const MF<T>& list, int32_t j, const T& fallback) {
  if (list.count <= 0) return fallback;
  return list[std::min(j, list.count - 1)];
}

// The spine axis to start from: the chord around the first bend, or the
// direction of a straight spine; (0, 1, 0) when every point coincides.
CVec3f InitialSpineAxis(const MFVec3f& spine) {
  for (int32_t t = 0; t + 2 < spine.count; ++t) {
    const CVec3f a = ToVec(spine[t]);
    const CVec3f b = ToVec(spine[t + 1]);
    const CVec3f c = ToVec(spine[t + 2]);
    if (!IsZero((a - b).Cross(c - b))) return (c - a).Normalize();
  }
  for (int32_t q = 1; q < spine.count; ++q) {
    if (!SamePoint(spine[q], spine[0])) return (ToVec(spine[q]) - ToVec(spine[0])).Normalize();
  }
  return {0.0f, 1.0f, 0.0f};
}

}  // namespace

CExtrusionNode::CExtrusionNode() { RegisterFields(kExtrusionTable); }

void CExtrusionNode::Traverse(RenderPass pass, CViewContext* view) {
  UpdateMesh();
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

int CExtrusionNode::OnEventIn(bool isField, int index, const void* /*value*/) {
  if (!isField) return 0;
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard) {
    // Every field but solid shapes the creased mesh of a VRML 2.0 world.
    if (index != kSolid) {
      rebuild_ = 1;
      SetDirty(true);
    }
    return 0;
  }
  if (index == kBeginCap || index == kCrossSection || index == kEndCap || index == kSpine) {
    rebuild_ = 1;
    SetDirty(true);
  }
  if (index == kOrientation || index == kScale) SetDirty(true);
  return 0;
}

void CExtrusionNode::UpdateMesh() {
  const bool standard = ConventionOf(GetWorld()) == WorldConvention::kStandard;
  if (rebuild_) {
    // A stale mesh must not be drawn with vertices of another shape.
    mesh_.reset();
    if (!IsSweepable()) return;
    rebuild_ = 0;
    if (!FitsMeshLimits()) return;
    bool built = false;
    try {
      built = Build(standard) && (!standard || Crease());
    } catch (const std::bad_alloc&) {
      built = false;
    }
    // Too large to hold: nothing is drawn until the fields change, since the
    // same build would fail again at every traversal.
    if (!built) {
      mesh_.reset();
      return;
    }
  }
  if (IsDirty() && mesh_ && !standard) {
    if (!verticesComputed_) ComputeVertices();
    mesh_->ComputeNormals();
  }
  verticesComputed_ = 0;
  SetDirty(false);
}

bool CExtrusionNode::IsSweepable() const { return crossSection.count >= 3 && spine.count >= 2; }

bool CExtrusionNode::FitsMeshLimits() {
  const int64_t k = crossSection.count;
  const int64_t m = spine.count;
  const int64_t triangles = 2 * (m - 1) * (k - 1) + 2 * k;
  return allowance_.Allows(*this, k * m, triangles, triangles * MeshLimits::kExtrusionBytesPerTriangle);
}

bool CExtrusionNode::Build(bool standard) {
  rebuild_ = 0;
  verticesComputed_ = 1;
  SetDirty(true);
  const int32_t k = crossSection.count;
  const int32_t m = spine.count;
  mesh_ = std::make_unique<CMeshBuffer>();
  mesh_->SetVertexCount(k * m);
  if (mesh_->VertexCount() != k * m) return false;
  ComputeVertices();

  std::vector<MeshPolygon> polygons;
  polygons.reserve(static_cast<size_t>(2 * (m - 1) * (k - 1) + 2 * k));
  for (int32_t i = 0; i + 1 < k; ++i) {
    const int32_t next = (i + 1) % k;
    for (int32_t j = 1; j < m; ++j) {
      const int32_t below = (j - 1) * k;
      const int32_t above = j * k;
      polygons.push_back(Triangle(below + i, below + next, above + i));
      polygons.push_back(Triangle(above + next, above + i, below + next));
    }
  }
  // VRML 2.0's caps turn like the sides, so that both face the same way;
  // this system's own turn as the triangulator leaves them.
  if (beginCap) AddCap(polygons, 0, standard ? TriangleWinding::kAgainstListed : TriangleWinding::kProjectedFlipped);
  if (endCap) AddCap(polygons, (m - 1) * k, standard ? TriangleWinding::kAsListed : TriangleWinding::kProjected);
  // Only the triangles actually made are stored: a dropped cap leaves no
  // empty polygons behind.
  mesh_->SetPolygonCount(static_cast<int32_t>(polygons.size()));
  for (size_t p = 0; p < polygons.size(); ++p) mesh_->SetPolygon(static_cast<int32_t>(p), polygons[p]);
  return mesh_->PolygonCount() == static_cast<int32_t>(polygons.size());
}

void CExtrusionNode::AddCap(std::vector<MeshPolygon>& polygons, int32_t first, TriangleWinding winding) const {
  const int32_t k = crossSection.count;
  if (k == 3) {
    const bool against = winding == TriangleWinding::kAgainstListed;
    polygons.push_back(against ? Triangle(first, first + 2, first + 1) : Triangle(first, first + 1, first + 2));
    return;
  }
  std::vector<int32_t> indices(static_cast<size_t>(k));
  std::vector<CVec3f> positions(static_cast<size_t>(k));
  for (int32_t i = 0; i < k; ++i) {
    indices[static_cast<size_t>(i)] = first + i;
    positions[static_cast<size_t>(i)] = mesh_->GetVertex(first + i);
  }
  AddTriangulatedPolygon(polygons, positions, indices, winding);
}

// The swept mesh becomes one whose normals follow creaseAngle: each side
// quadrilateral (two triangles) and each cap is one face, and the seams of
// a closed cross-section or spine are smoothed like any other edge.
bool CExtrusionNode::Crease() {
  const CMeshBuffer& sweep = *mesh_;
  std::vector<CVec3f> positions(static_cast<size_t>(sweep.VertexCount()));
  for (int32_t v = 0; v < sweep.VertexCount(); ++v) positions[static_cast<size_t>(v)] = sweep.GetVertex(v);
  const int32_t k = crossSection.count;
  const int32_t sides = 2 * (spine.count - 1) * (k - 1);
  std::vector<MeshPolygon> polygons;
  std::vector<int32_t> faces;
  for (int32_t p = 0; p < sweep.PolygonCount(); ++p) {
    const MeshPolygon& polygon = *sweep.GetPolygon(p);
    polygons.push_back(polygon);
    const bool onFirstRing = polygon.vertices[0] < k && polygon.vertices[1] < k && polygon.vertices[2] < k;
    faces.push_back(p < sides ? p / 2 : sides / 2 + (onFirstRing ? 0 : 1));
  }
  CFaceCornerMesh corners(positions, std::move(polygons), std::move(faces));
  corners.DeriveCreasedNormals(creaseAngle, ccw != 0);
  for (int32_t p = 0; p < corners.PolygonCount(); ++p) {
    for (int32_t j = 0; j < corners.Polygon(p).vertexCount; ++j) {
      corners.Corner(p, j).texCoord = sweep.GetTexCoord(corners.Polygon(p).vertices[j]);
    }
  }
  auto creased = std::make_unique<CMeshBuffer>();
  if (!corners.Fill(*creased)) return false;
  // Both sides of an extrusion show, so the normals may turn to the viewer.
  creased->SetSuppliedNormals(false);
  mesh_ = std::move(creased);
  return true;
}

void CExtrusionNode::ComputeVertices() {
  const int32_t k = crossSection.count;
  const int32_t m = spine.count;
  const bool closed = SamePoint(spine[m - 1], spine[0]);
  CVec3f previousAxis = InitialSpineAxis(spine);
  for (int32_t j = 0; j < m; ++j) {
    const SFVec2f s = PerSpinePoint(scale, j, SFVec2f{1.0f, 1.0f});
    const SFRotation turn = PerSpinePoint(orientation, j, SFRotation{0.0f, 0.0f, 1.0f, 0.0f});
    const CVec3f point = ToVec(spine[j]);
    CVec3f previous = point;
    CVec3f next = point;
    if (j == 0) {
      previous = closed ? ToVec(spine[m - 2]) : point;
      next = ToVec(spine[1]);
    } else if (j == m - 1) {
      previous = ToVec(spine[m - 2]);
      next = closed ? ToVec(spine[0]) : point;
    } else {
      previous = ToVec(spine[j - 1]);
      next = ToVec(spine[j + 1]);
    }
    CVec3f axis = previousAxis;
    // Where the spine is straight the bend gives no direction: the last
    // axis found is kept.
    if (!(next == point) && !IsZero((next - point).Cross(previous - point))) {
      axis = (next - previous).Normalize();
      previousAxis = axis;
    }

    CMatrix4 rotation;
    rotation.SetRotation({turn.x, turn.y, turn.z}, turn.angle);
    CMatrix4 alignment;
    alignment.SetRotationFromTo({0.0f, 1.0f, 0.0f}, axis);
    rotation.PreMultiply(alignment);

    for (int32_t i = 0; i < k; ++i) {
      float v[4] = {crossSection[i].x * s.x, 0.0f, crossSection[i].y * s.y, 1.0f};
      rotation.TransformVec4(v);
      const int32_t index = j * k + i;
      mesh_->SetVertex(index, point + CVec3f{v[0], v[1], v[2]});
      mesh_->SetTexCoord(index, {static_cast<float>(i) / static_cast<float>(k - 1),
                                 static_cast<float>(j) / static_cast<float>(m - 1)});
    }
  }
}

void CExtrusionNode::Draw(CGeometryStage& stage) {
  // Both sides are drawn; the winding test the target holds stays as it is.
  if (!mesh_) return;
  CRenderTarget& target = *stage.RenderTarget();
  target.SetCulling({.mode = kCullNone, .winding = target.GetCulling().winding});
  mesh_->Draw(&stage, true, -1);
}

void RegisterExtrusionNode(NodeClassTable& table) { table.Add<CExtrusionNode>("Extrusion"); }

}  // namespace vx
