#include "engine/scene/nodes/IndexedFaceSetNode.h"

#include <algorithm>
#include <span>
#include <vector>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/GeometryNodeSupport.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kIndexedFaceSetFields[] = {
    Field<&CIndexedFaceSetNode::color>("color"),
    Field<&CIndexedFaceSetNode::coord>("coord"),
    Field<&CIndexedFaceSetNode::normal>("normal"),
    Field<&CIndexedFaceSetNode::texCoord>("texCoord"),
    Field<&CIndexedFaceSetNode::ccw>("ccw", DefaultBool(true)),
    Field<&CIndexedFaceSetNode::colorIndex>("colorIndex"),
    Field<&CIndexedFaceSetNode::colorPerVertex>("colorPerVertex", DefaultBool(true)),
    Field<&CIndexedFaceSetNode::convex>("convex", DefaultBool(true)),
    Field<&CIndexedFaceSetNode::coordIndex>("coordIndex"),
    Field<&CIndexedFaceSetNode::creaseAngle>("creaseAngle", DefaultFloats(0)),
    Field<&CIndexedFaceSetNode::normalIndex>("normalIndex"),
    Field<&CIndexedFaceSetNode::normalPerVertex>("normalPerVertex", DefaultBool(true)),
    Field<&CIndexedFaceSetNode::solid>("solid", DefaultBool(true)),
    Field<&CIndexedFaceSetNode::texCoordIndex>("texCoordIndex"),
};
constexpr FieldTable kIndexedFaceSetTable{Section(kIndexedFaceSetFields), {}, {}};
constexpr int kCoord = IndexIn(kIndexedFaceSetFields, "coord");
constexpr int kNormal = IndexIn(kIndexedFaceSetFields, "normal");
constexpr int kTexCoord = IndexIn(kIndexedFaceSetFields, "texCoord");
constexpr int kCcw = IndexIn(kIndexedFaceSetFields, "ccw");
constexpr int kCoordIndex = IndexIn(kIndexedFaceSetFields, "coordIndex");
constexpr int kConvex = IndexIn(kIndexedFaceSetFields, "convex");

constexpr int32_t kFaceEnd = -1;

CVec3f ToVec(const SFVec3f& v) { return {v.x, v.y, v.z}; }

// The faces of the list, in order: each ends at -1 or at the end of the
// list. Faces of fewer than three corners and faces with an index outside
// the points are dropped whole.
std::vector<std::span<const int32_t>> SplitFaces(std::span<const int32_t> indices, int32_t pointCount) {
  std::vector<std::span<const int32_t>> faces;
  size_t start = 0;
  while (start < indices.size()) {
    size_t end = start;
    bool inRange = true;
    while (end < indices.size() && indices[end] != kFaceEnd) {
      inRange = inRange && indices[end] >= 0 && indices[end] < pointCount;
      ++end;
    }
    if (inRange && end - start >= 3) faces.push_back(indices.subspan(start, end - start));
    start = end + 1;
  }
  return faces;
}

}  // namespace

CIndexedFaceSetNode::CIndexedFaceSetNode() { RegisterFields(kIndexedFaceSetTable); }

int CIndexedFaceSetNode::OnEventIn(bool isField, int index, const void* value) {
  if (!isField) return 0;
  if (index == kNormal || index == kTexCoord || index == kCcw) SetDirty(true);
  if (index == kCoord || index == kCoordIndex || index == kConvex) rebuild_ = true;
  (void)value;
  return 0;
}

bool CIndexedFaceSetNode::UpdateMesh() {
  // New values in any of the property nodes build the mesh again: given
  // normals and texture coordinates are copied only when it is built.
  bool propertiesChanged = coordStamp_.Renew(coord);
  propertiesChanged |= normalStamp_.Renew(normal);
  propertiesChanged |= texCoordStamp_.Renew(texCoord);
  if (propertiesChanged) rebuild_ = true;
  if (!rebuild_ && !IsDirty()) return true;
  const MFVec3f* points = PropertyList<SFVec3f>(coord, "point");
  if (!points || coordIndex.count < 1) return false;
  const MFVec3f* normals = PropertyList<SFVec3f>(normal, "vector");
  const MFVec2f* texCoords = PropertyList<SFVec2f>(texCoord, "point");
  if (rebuild_) BuildMesh(*points, normals, texCoords);
  if (IsDirty()) {
    SetDirty(false);
    if (!normals || normals->count != points->count) mesh_->ComputeNormals();
    if (!texCoords || texCoords->count != points->count) mesh_->ComputePlanarTexCoords();
  }
  return true;
}

void CIndexedFaceSetNode::BuildMesh(const MFVec3f& points, const MFVec3f* normals, const MFVec2f* texCoords) {
  mesh_ = std::make_unique<CMeshBuffer>();
  SetDirty(true);
  rebuild_ = false;
  mesh_->SetVertexCount(points.count);
  const bool withNormals = normals && normals->count == points.count;
  const bool withTexCoords = texCoords && texCoords->count == points.count;
  for (int32_t i = 0; i < points.count; ++i) {
    mesh_->SetVertex(i, ToVec(points[i]));
    // A zero vector normalises to +Z rather than to NaN.
    if (withNormals) mesh_->SetNormal(i, ToVec((*normals)[i]).Normalize());
    if (withTexCoords) mesh_->SetTexCoord(i, {(*texCoords)[i].x, 1.0f - (*texCoords)[i].y});
  }
  AddFaces();
}

// Triangles go to the mesh as they are, and so do quadrilaterals the file
// calls convex. Larger faces are cut into triangles: a convex one as a fan,
// one that may be concave along its outline. A concave quadrilateral is cut
// too, since the fill takes convex polygons only.
void CIndexedFaceSetNode::AddFaces() {
  std::vector<MeshPolygon> polygons;
  for (std::span<const int32_t> face : SplitFaces(coordIndex.Span(), mesh_->VertexCount())) {
    const auto corners = static_cast<int32_t>(face.size());
    if (corners == 3 || (corners == kMaxMeshPolygonVertices && convex)) {
      MeshPolygon polygon;
      polygon.vertexCount = corners;
      std::copy(face.begin(), face.end(), polygon.vertices.begin());
      polygons.push_back(polygon);
    } else if (convex) {
      AddFan(polygons, face);
    } else {
      AddTriangulatedPolygon(polygons, *mesh_, face, false);
    }
  }
  mesh_->SetPolygonCount(static_cast<int32_t>(polygons.size()));
  for (size_t k = 0; k < polygons.size(); ++k) mesh_->SetPolygon(static_cast<int32_t>(k), polygons[k]);
}

void CIndexedFaceSetNode::Draw(CGeometryStage& stage) {
  if (!mesh_) return;
  DrawMeshCulled(*mesh_, stage, ccw ? 0 : 1, kCullByWinding);
}

// A tiled image handed over by the Shape is drawn as the plain mesh, its
// screen bounds measured for the image.
void CIndexedFaceSetNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!UpdateMesh() || pass != RenderPass::Frame || !view) return;
  CGeometryStage& stage = *view->GetStage();
  if (!tiledImage.active) {
    Draw(stage);
    return;
  }
  stage.BeginBoundsTracking(true);
  Draw(stage);
  static_cast<void>(stage.GetDrawnBounds(nullptr, nullptr, nullptr, nullptr));
}

void RegisterIndexedFaceSetNode(NodeClassTable& table) { table.Add<CIndexedFaceSetNode>("IndexedFaceSet"); }

}  // namespace vx
