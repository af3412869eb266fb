#include "engine/scene/nodes/ElevationGridNode.h"

#include <limits>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/GeometryNodeSupport.h"

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

}  // namespace

CElevationGridNode::CElevationGridNode() { RegisterFields(kElevationGridTable); }

void CElevationGridNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!UpdateMesh()) return;
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

int CElevationGridNode::OnEventIn(bool isField, int index, const void* /*value*/) {
  // The index eventIns have nothing behind them.
  if (!isField) return 0;
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
  const int64_t triangles = 2 * int64_t{xDimension - 1} * (zDimension - 1);
  if (triangles > std::numeric_limits<int32_t>::max()) return false;
  return height.count > 0 && vertices == height.count;
}

bool CElevationGridNode::UpdateMesh() {
  // New vectors or points in the property nodes reach the mesh like a
  // change of the grid's own fields.
  const bool normalsChanged = normalStamp_.Renew(normal);
  if (texCoordStamp_.Renew(texCoord) || normalsChanged) SetDirty(true);
  if (!rebuild_ && !IsDirty()) return true;
  if (!HasBuildableGrid()) {
    // Nothing is drawn until the grid matches its heights again, and then
    // it is built afresh.
    mesh_.reset();
    rebuild_ = 1;
    return false;
  }
  if (rebuild_) BuildTriangles();
  if (IsDirty()) ComputeVertices();
  return true;
}

void CElevationGridNode::BuildTriangles() {
  mesh_ = std::make_unique<CMeshBuffer>();
  rebuild_ = 0;
  SetDirty(true);
  const int32_t x = xDimension;
  mesh_->SetVertexCount(x * zDimension);
  mesh_->SetPolygonCount(2 * (x - 1) * (zDimension - 1));
  int32_t p = 0;
  MeshPolygon triangle;
  triangle.vertexCount = 3;
  for (int32_t r = 0; r + 1 < zDimension; ++r) {
    for (int32_t c = 0; c + 1 < x; ++c) {
      const int32_t here = r * x + c;
      const int32_t below = (r + 1) * x + c;
      // Wound counter-clockwise as seen from +y, so that with ccw TRUE the
      // grid's top is its front face.
      triangle.vertices = {here, below + 1, here + 1, 0};
      mesh_->SetPolygon(p++, triangle);
      triangle.vertices = {here, below, below + 1, 0};
      mesh_->SetPolygon(p++, triangle);
    }
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
