#include "engine/nodes/IndexedFaceSetNode.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <numeric>
#include <span>
#include <vector>

#include "engine/scene/NodeFactory.h"
#include "engine/nodes/FaceCornerMesh.h"
#include "engine/nodes/GeometryNodeSupport.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldConvention.h"

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
constexpr int kSolid = IndexIn(kIndexedFaceSetFields, "solid");

constexpr int32_t kFaceEnd = -1;

CVec3f ToVec(const SFVec3f& v) { return {v.x, v.y, v.z}; }

// One face of coordIndex: its corners (point indices), where they start in
// the list, and its number among the faces (which per-face values use).
struct Face {
  std::span<const int32_t> corners;
  int32_t start = 0;
  int32_t number = 0;
};

// The faces of the list, in order: each ends at -1 or at the end of the
// list. Faces of fewer than three corners and faces with an index outside
// the points are dropped whole, but keep their number.
std::vector<Face> SplitFaces(std::span<const int32_t> indices, int32_t pointCount) {
  std::vector<Face> faces;
  size_t start = 0;
  int32_t number = 0;
  while (start < indices.size()) {
    size_t end = start;
    bool inRange = true;
    while (end < indices.size() && indices[end] != kFaceEnd) {
      inRange = inRange && indices[end] >= 0 && indices[end] < pointCount;
      ++end;
    }
    if (inRange && end - start >= 3) {
      faces.push_back({indices.subspan(start, end - start), static_cast<int32_t>(start), number});
    }
    if (end > start) ++number;
    start = end + 1;
  }
  return faces;
}

// Polygons over positions in coordIndex (not over points), with the number
// of the face each was cut from.
struct CutFaces {
  std::vector<MeshPolygon> polygons;
  std::vector<int32_t> faces;
};

// Triangles go to the mesh as they are, and so do quadrilaterals the file
// calls convex. Larger faces are cut into triangles: a convex one as a fan,
// one that may be concave along its outline, turning as the face does. A
// concave quadrilateral is cut too, since the fill takes convex polygons
// only.
CutFaces CutIntoPolygons(const std::vector<Face>& faces, const MFVec3f& points, bool convex) {
  CutFaces cut;
  std::vector<int32_t> positions;
  std::vector<CVec3f> outline;
  for (const Face& face : faces) {
    const auto corners = static_cast<int32_t>(face.corners.size());
    positions.resize(face.corners.size());
    std::iota(positions.begin(), positions.end(), face.start);
    if (corners == 3 || (corners == kMaxMeshPolygonVertices && convex)) {
      MeshPolygon polygon;
      polygon.vertexCount = corners;
      std::copy(positions.begin(), positions.end(), polygon.vertices.begin());
      cut.polygons.push_back(polygon);
    } else if (convex) {
      AddFan(cut.polygons, positions);
    } else {
      outline.clear();
      for (int32_t point : face.corners) outline.push_back(ToVec(points[point]));
      AddTriangulatedPolygon(cut.polygons, outline, positions, TriangleWinding::kAsListed);
    }
    cut.faces.resize(cut.polygons.size(), face.number);
  }
  return cut;
}

// Where the face corners find their values in a list of `count` values:
// per vertex through the property's own index list, or coordIndex when that
// is empty; per face through the own list by face number, or the face
// number itself.
struct CornerIndexing {
  std::span<const int32_t> own;
  std::span<const int32_t> coordIndex;
  bool perVertex = true;
  int32_t count = 0;

  // -1 where the lists give no index.
  int32_t At(int32_t position, int32_t face) const {
    if (!perVertex && own.empty()) return face;
    const std::span<const int32_t> list = perVertex && own.empty() ? coordIndex : own;
    const auto slot = static_cast<size_t>(perVertex ? position : face);
    return slot < list.size() ? list[slot] : -1;
  }
  // Whether every corner of the cut faces finds a value: a list that leaves
  // one out is not used at all.
  bool CoversEvery(const CutFaces& cut) const {
    for (size_t k = 0; k < cut.polygons.size(); ++k) {
      const MeshPolygon& polygon = cut.polygons[k];
      for (int32_t j = 0; j < polygon.vertexCount; ++j) {
        const int32_t index = At(polygon.vertices[j], cut.faces[k]);
        if (index < 0 || index >= count) return false;
      }
    }
    return true;
  }
};

// VRML 2.0's mapping without texture coordinates: s runs 0..1 along the
// longest side of the bounding box of the points the faces use, t along the
// second longest over the same length; ties go to x, then y, then z.
std::vector<CVec2f> DefaultTexCoords(const MFVec3f& points, const std::vector<MeshPolygon>& polygons) {
  std::vector<CVec2f> texCoords(static_cast<size_t>(points.count));
  if (polygons.empty()) return texCoords;
  constexpr float kFar = std::numeric_limits<float>::infinity();
  CVec3f low{kFar, kFar, kFar};
  CVec3f high{-kFar, -kFar, -kFar};
  for (const MeshPolygon& polygon : polygons) {
    for (int32_t j = 0; j < polygon.vertexCount; ++j) {
      const CVec3f p = ToVec(points[polygon.vertices[j]]);
      low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
      high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
  }
  const std::array<float, 3> size{high.x - low.x, high.y - low.y, high.z - low.z};
  std::array<int, 3> axes{0, 1, 2};
  std::stable_sort(axes.begin(), axes.end(), [&](int a, int b) { return size[a] > size[b]; });
  const int sAxis = axes[0];
  const int tAxis = axes[1];
  const float length = size[sAxis] > 0.0f ? size[sAxis] : 1.0f;
  auto coordinate = [](const CVec3f& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; };
  for (int32_t i = 0; i < points.count; ++i) {
    const CVec3f p = ToVec(points[i]);
    const float s = (coordinate(p, sAxis) - coordinate(low, sAxis)) / length;
    const float t = (coordinate(p, tAxis) - coordinate(low, tAxis)) / length;
    texCoords[static_cast<size_t>(i)] = {s, 1.0f - t};
  }
  return texCoords;
}

}  // namespace

CIndexedFaceSetNode::CIndexedFaceSetNode() { RegisterFields(kIndexedFaceSetTable); }

int CIndexedFaceSetNode::OnEventIn(bool isField, int index, const void* /*value*/) {
  if (!isField) return 0;
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard) {
    // Every field but solid shapes the mesh of a VRML 2.0 world.
    if (index != kSolid) rebuild_ = true;
    return 0;
  }
  if (index == kNormal || index == kTexCoord || index == kCcw) SetDirty(true);
  if (index == kCoord || index == kCoordIndex || index == kConvex) rebuild_ = true;
  return 0;
}

bool CIndexedFaceSetNode::UpdateMesh() {
  // New values in any of the property nodes build the mesh again: given
  // normals and texture coordinates are copied only when it is built.
  bool propertiesChanged = coordStamp_.Renew(coord);
  propertiesChanged |= normalStamp_.Renew(normal);
  propertiesChanged |= texCoordStamp_.Renew(texCoord);
  propertiesChanged |= colorStamp_.Renew(color);
  if (propertiesChanged) rebuild_ = true;
  if (!rebuild_ && !IsDirty()) return true;
  const MFVec3f* points = PropertyList<SFVec3f>(coord, "point");
  if (!points || coordIndex.count < 1) return false;
  // A face of n corners makes n - 2 triangles, so the index count bounds them.
  if (!allowance_.Allows(*this, points->count, coordIndex.count,
                         int64_t{coordIndex.count} * MeshLimits::kFaceSetBytesPerIndex)) {
    mesh_.reset();
    rebuild_ = false;
    SetDirty(false);
    return false;
  }
  const MFVec3f* normals = PropertyList<SFVec3f>(normal, "vector");
  const MFVec2f* texCoords = PropertyList<SFVec2f>(texCoord, "point");
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard) {
    BuildCornerMesh(*points, normals, texCoords, PropertyList<SFColor>(color, "color"));
    return true;
  }
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
  CutFaces cut = CutIntoPolygons(SplitFaces(coordIndex.Span(), mesh_->VertexCount()), points, convex);
  mesh_->SetPolygonCount(static_cast<int32_t>(cut.polygons.size()));
  for (size_t k = 0; k < cut.polygons.size(); ++k) {
    MeshPolygon& polygon = cut.polygons[k];
    for (int32_t j = 0; j < polygon.vertexCount; ++j) polygon.vertices[j] = coordIndex[polygon.vertices[j]];
    mesh_->SetPolygon(static_cast<int32_t>(k), polygon);
  }
}

// Each corner takes its texture coordinate, normal and colour as the index
// lists and the per-vertex flags say; a list that fails a single corner is
// left out whole, and the values are derived instead (the material's colour
// for colours).
void CIndexedFaceSetNode::BuildCornerMesh(const MFVec3f& points, const MFVec3f* normals, const MFVec2f* texCoords,
                                          const MFColor* colors) {
  rebuild_ = false;
  SetDirty(false);
  if (!mesh_) mesh_ = std::make_unique<CMeshBuffer>();
  try {
    const CutFaces cut = CutIntoPolygons(SplitFaces(coordIndex.Span(), points.count), points, convex);
    std::vector<MeshPolygon> overPoints = cut.polygons;
    for (MeshPolygon& polygon : overPoints) {
      for (int32_t j = 0; j < polygon.vertexCount; ++j) polygon.vertices[j] = coordIndex[polygon.vertices[j]];
    }
    std::vector<CVec3f> positions(static_cast<size_t>(points.count));
    for (int32_t i = 0; i < points.count; ++i) positions[static_cast<size_t>(i)] = ToVec(points[i]);
    CFaceCornerMesh corners(positions, overPoints, cut.faces);

    const CornerIndexing texIndexing{texCoordIndex.Span(), coordIndex.Span(), true, ListCount(texCoords)};
    const CornerIndexing normalIndexing{normalIndex.Span(), coordIndex.Span(), normalPerVertex != 0,
                                        ListCount(normals)};
    const CornerIndexing colorIndexing{colorIndex.Span(), coordIndex.Span(), colorPerVertex != 0, ListCount(colors)};
    const bool ownTexCoords = texCoords && texIndexing.CoversEvery(cut);
    const bool ownNormals = normals && normalIndexing.CoversEvery(cut);
    const bool ownColors = colors && colorIndexing.CoversEvery(cut);
    const std::vector<CVec2f> planar = ownTexCoords ? std::vector<CVec2f>{} : DefaultTexCoords(points, overPoints);
    if (!ownNormals && normalPerVertex) corners.DeriveCreasedNormals(creaseAngle, ccw != 0);
    if (!ownNormals && !normalPerVertex) corners.DeriveFaceNormals(ccw != 0);
    if (ownColors) corners.KeepColors();
    for (int32_t k = 0; k < corners.PolygonCount(); ++k) {
      const int32_t face = corners.FaceOf(k);
      for (int32_t j = 0; j < corners.Polygon(k).vertexCount; ++j) {
        const int32_t position = cut.polygons[static_cast<size_t>(k)].vertices[j];
        CornerValues& values = corners.Corner(k, j);
        if (ownTexCoords) {
          const SFVec2f& st = (*texCoords)[texIndexing.At(position, face)];
          values.texCoord = {st.x, 1.0f - st.y};
        } else {
          values.texCoord = planar[static_cast<size_t>(corners.Polygon(k).vertices[j])];
        }
        // A zero vector normalises to +Z rather than to NaN.
        if (ownNormals) values.normal = ToVec((*normals)[normalIndexing.At(position, face)]).Normalize();
        if (ownColors) values.color = ClampedColor((*colors)[colorIndexing.At(position, face)]);
      }
    }
    // A mesh that cannot be held is left empty and draws nothing.
    static_cast<void>(corners.Fill(*mesh_));
  } catch (const std::bad_alloc&) {
    mesh_->SetVertexCount(0);
  }
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
