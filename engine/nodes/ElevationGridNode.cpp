#include "engine/nodes/ElevationGridNode.h"

#include <limits>
#include <new>
#include <vector>

#include "engine/scene/NodeFactory.h"
#include "engine/nodes/FaceCornerMesh.h"
#include "engine/nodes/GeometryNodeSupport.h"
#include "engine/world/WorldConvention.h"

namespace vx {
namespace {

constexpr FieldSpec kElevationGridFields[] = {
    Field<&CElevationGridNode::color>("color"),
    Field<&CElevationGridNode::height>("height"),
    Field<&CElevationGridNode::normal>("normal"),
    Field<&CElevationGridNode::texCoord>("texCoord"),
    Field<&CElevationGridNode::ccw>("ccw", DefaultBool(true)),
    Field<&CElevationGridNode::colorPerVertex>("colorPerVertex", DefaultBool(true)),
    Field<&CElevationGridNode::creaseAngle>("creaseAngle", DefaultFloats(0)),
    Field<&CElevationGridNode::normalPerVertex>("normalPerVertex", DefaultBool(true)),
    Field<&CElevationGridNode::solid>("solid", DefaultBool(true)),
    Field<&CElevationGridNode::xDimension>("xDimension", DefaultInt(0)),
    Field<&CElevationGridNode::xSpacing>("xSpacing", DefaultFloats(1)),
    Field<&CElevationGridNode::zDimension>("zDimension", DefaultInt(0)),
    Field<&CElevationGridNode::zSpacing>("zSpacing", DefaultFloats(1)),
};
constexpr FieldSpec kElevationGridEventIns[] = {
    Event("set_colorIndex", FieldTypeMFInt32),
    Event("set_coordIndex", FieldTypeMFInt32),
    Event("set_normalIndex", FieldTypeMFInt32),
    Event("set_texCoordIndex", FieldTypeMFInt32),
};
constexpr FieldTable kElevationGridTable{Section(kElevationGridFields), Section(kElevationGridEventIns), {}};
constexpr int kHeight = IndexIn(kElevationGridFields, "height");
constexpr int kNormal = IndexIn(kElevationGridFields, "normal");
constexpr int kTexCoord = IndexIn(kElevationGridFields, "texCoord");
constexpr int kXDimension = IndexIn(kElevationGridFields, "xDimension");
constexpr int kXSpacing = IndexIn(kElevationGridFields, "xSpacing");
constexpr int kZDimension = IndexIn(kElevationGridFields, "zDimension");
constexpr int kZSpacing = IndexIn(kElevationGridFields, "zSpacing");
constexpr int kSolid = IndexIn(kElevationGridFields, "solid");

// Two triangles per grid square, row by row, wound counter-clockwise as seen
// from +y, so that with ccw TRUE the grid's top is its front face.
std::vector<MeshPolygon> GridTriangles(int32_t xDimension, int32_t zDimension) {
  std::vector<MeshPolygon> triangles;
  triangles.reserve(2 * static_cast<size_t>(xDimension - 1) * static_cast<size_t>(zDimension - 1));
  for (int32_t r = 0; r + 1 < zDimension; ++r) {
    for (int32_t c = 0; c + 1 < xDimension; ++c) {
      const int32_t here = r * xDimension + c;
      const int32_t below = (r + 1) * xDimension + c;
      triangles.push_back(Triangle(here, below + 1, here + 1));
      triangles.push_back(Triangle(here, below, below + 1));
    }
  }
  return triangles;
}

}  // namespace

CElevationGridNode::CElevationGridNode() { RegisterFields(kElevationGridTable); }

void CElevationGridNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!UpdateMesh()) return;
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

int CElevationGridNode::OnEventIn(bool isField, int index, const void* /*value*/) {
  // The index eventIns have nothing behind them.
  if (!isField) return 0;
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard && index != kSolid) SetDirty(true);
  if (index == kHeight || index == kNormal || index == kTexCoord || index == kXSpacing || index == kZSpacing) {
    SetDirty(true);
  }
  if (index == kXDimension || index == kZDimension) rebuild_ = 1;
  return 0;
}

bool CElevationGridNode::HasBuildableGrid() const {
  // Non-positive dimensions would index the heights with negative or
  // wrapped-around numbers; the products are checked in 64 bits so that
  // huge dimensions cannot overflow into a small count.
  if (xDimension <= 0 || zDimension <= 0) return false;
  const int64_t vertices = int64_t{xDimension} * zDimension;
  return height.count > 0 && vertices == height.count;
}

bool CElevationGridNode::UpdateMesh() {
  // New vectors or points in the property nodes reach the mesh like a
  // change of the grid's own fields.
  bool propertiesChanged = normalStamp_.Renew(normal);
  propertiesChanged |= texCoordStamp_.Renew(texCoord);
  propertiesChanged |= colorStamp_.Renew(color);
  if (propertiesChanged) SetDirty(true);
  if (!rebuild_ && !IsDirty()) return true;
  if (!HasBuildableGrid()) {
    // Nothing is drawn until the grid matches its heights again, and then
    // it is built afresh.
    mesh_.reset();
    rebuild_ = 1;
    return false;
  }
  const int64_t triangles = 2 * int64_t{xDimension - 1} * (zDimension - 1);
  if (!allowance_.Allows(*this, height.count, triangles, triangles * MeshLimits::kElevationGridBytesPerTriangle)) {
    mesh_.reset();
    SetDirty(false);
    return false;
  }
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard) {
    BuildCornerMesh();
    return true;
  }
  if (rebuild_) BuildTriangles();
  if (IsDirty()) ComputeVertices();
  return true;
}

void CElevationGridNode::BuildTriangles() {
  mesh_ = std::make_unique<CMeshBuffer>();
  rebuild_ = 0;
  SetDirty(true);
  mesh_->SetVertexCount(xDimension * zDimension);
  const std::vector<MeshPolygon> triangles = GridTriangles(xDimension, zDimension);
  mesh_->SetPolygonCount(static_cast<int32_t>(triangles.size()));
  for (size_t p = 0; p < triangles.size(); ++p) mesh_->SetPolygon(static_cast<int32_t>(p), triangles[p]);
}

// VRML 2.0's grid: texture coordinates from 0 to 1 across x and z unless
// given per vertex; normals and colours per vertex or, with the per-vertex
// flag off, per grid square (both its triangles); derived normals creased.
// Lists too short for what they are used for are left out.
void CElevationGridNode::BuildCornerMesh() {
  rebuild_ = 0;
  SetDirty(false);
  if (!mesh_) mesh_ = std::make_unique<CMeshBuffer>();
  const int32_t columns = xDimension;
  const int32_t rows = zDimension;
  const int32_t squares = (columns - 1) * (rows - 1);
  try {
    std::vector<CVec3f> positions(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    for (int32_t r = 0; r < rows; ++r) {
      for (int32_t c = 0; c < columns; ++c) {
        const int32_t i = r * columns + c;
        positions[static_cast<size_t>(i)] = {static_cast<float>(c) * xSpacing, height[i],
                                             static_cast<float>(r) * zSpacing};
      }
    }
    std::vector<MeshPolygon> triangles = GridTriangles(columns, rows);
    std::vector<int32_t> faces(triangles.size());
    for (size_t p = 0; p < faces.size(); ++p) faces[p] = static_cast<int32_t>(p / 2);
    CFaceCornerMesh corners(positions, std::move(triangles), std::move(faces));

    const MFVec3f* normals = PropertyList<SFVec3f>(normal, "vector");
    const MFVec2f* points = PropertyList<SFVec2f>(texCoord, "point");
    const MFColor* colors = PropertyList<SFColor>(color, "color");
    const int32_t vertices = columns * rows;
    const bool ownTexCoords = ListCount(points) >= vertices;
    const bool ownNormals = ListCount(normals) >= (normalPerVertex ? vertices : squares);
    const bool ownColors = ListCount(colors) >= (colorPerVertex ? vertices : squares);
    if (!ownNormals && normalPerVertex) corners.DeriveCreasedNormals(creaseAngle, ccw != 0);
    if (!ownNormals && !normalPerVertex) corners.DeriveFaceNormals(ccw != 0);
    if (ownColors) corners.KeepColors();
    const float sSteps = columns > 1 ? static_cast<float>(columns - 1) : 1.0f;
    const float tSteps = rows > 1 ? static_cast<float>(rows - 1) : 1.0f;
    for (int32_t p = 0; p < corners.PolygonCount(); ++p) {
      const int32_t square = corners.FaceOf(p);
      for (int32_t j = 0; j < 3; ++j) {
        const int32_t v = corners.Polygon(p).vertices[j];
        CornerValues& values = corners.Corner(p, j);
        if (ownTexCoords) {
          values.texCoord = {(*points)[v].x, 1.0f - (*points)[v].y};
        } else {
          values.texCoord = {static_cast<float>(v % columns) / sSteps, 1.0f - static_cast<float>(v / columns) / tSteps};
        }
        if (ownNormals) {
          const SFVec3f& n = (*normals)[normalPerVertex ? v : square];
          values.normal = CVec3f{n.x, n.y, n.z}.Normalize();
        }
        if (ownColors) values.color = ClampedColor((*colors)[colorPerVertex ? v : square]);
      }
    }
    // A mesh that cannot be held is left empty and draws nothing.
    static_cast<void>(corners.Fill(*mesh_));
  } catch (const std::bad_alloc&) {
    mesh_->SetVertexCount(0);
  }
}

void CElevationGridNode::ComputeVertices() {
  SetDirty(false);
  const int32_t n = xDimension * zDimension;
  const MFVec3f* normals = PropertyList<SFVec3f>(normal, "vector");
  const MFVec2f* points = PropertyList<SFVec2f>(texCoord, "point");
  const bool ownNormals = ListCount(normals) == n;
  const bool ownTexCoords = ListCount(points) == n;
  for (int32_t r = 0; r < zDimension; ++r) {
    for (int32_t c = 0; c < xDimension; ++c) {
      const int32_t i = r * xDimension + c;
      mesh_->SetVertex(i, {static_cast<float>(c) * xSpacing, height[i], static_cast<float>(r) * zSpacing});
      if (ownNormals) {
        const SFVec3f& v = (*normals)[i];
        mesh_->SetNormal(i, CVec3f{v.x, v.y, v.z}.Normalize());
      }
      if (ownTexCoords) mesh_->SetTexCoord(i, {(*points)[i].x, 1.0f - (*points)[i].y});
    }
  }
  if (!ownNormals) mesh_->ComputeNormals();
  if (!ownTexCoords) mesh_->ComputePlanarTexCoords();
}

void CElevationGridNode::Draw(CGeometryStage& stage) {
  if (mesh_) DrawMeshCulled(*mesh_, stage, ccw ? 0 : 1, kCullByWinding);
}

void RegisterElevationGridNode(NodeClassTable& table) { table.Add<CElevationGridNode>("ElevationGrid"); }

}  // namespace vx
