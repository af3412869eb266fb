// ElevationGrid: a regular grid of heights in the node's x/z plane, drawn as
// a triangle mesh. In this system's own worlds the triangles are rebuilt
// when the dimensions change, the vertex data when heights, spacing, normals
// or texture coordinates change; in VRML 2.0 worlds, whose corners may each
// carry their own values, every change builds the mesh again.
#pragma once

#include <memory>

#include "engine/render/MeshBuffer.h"
#include "engine/scene/Node.h"
#include "engine/nodes/GeometryNodeSupport.h"

namespace vx {

class NodeClassTable;

class CElevationGridNode : public CNode {
 public:
  CElevationGridNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypeElevationGrid; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Builds the mesh when flagged; false while the grid cannot be built
  // (dimensions not positive, too large, or a height count that does not
  // match them); the mesh is then dropped and built afresh once the grid
  // is valid again.
  bool UpdateMesh();
  const CMeshBuffer* GetMesh() const { return mesh_.get(); }
  void Draw(CGeometryStage& stage);

  CNodeRef color;
  MFFloat height{};
  CNodeRef normal;
  CNodeRef texCoord;
  int16_t ccw = 0;
  int16_t colorPerVertex = 0;
  float creaseAngle = 0.0f;
  int16_t normalPerVertex = 0;
  int16_t solid = 0;
  int32_t xDimension = 0;
  float xSpacing = 0.0f;
  int32_t zDimension = 0;
  float zSpacing = 0.0f;

 protected:
  ~CElevationGridNode() override = default;

 private:
  bool HasBuildableGrid() const;
  // This system's own worlds: one vertex per grid point.
  void BuildTriangles();
  void ComputeVertices();
  // VRML 2.0 worlds: values per corner, points split where they differ.
  void BuildCornerMesh();

  int16_t rebuild_ = 1;
  std::unique_ptr<CMeshBuffer> mesh_;
  CMeshAllowance allowance_;
  CPropertyStamp normalStamp_;
  CPropertyStamp texCoordStamp_;
  CPropertyStamp colorStamp_;
};

void RegisterElevationGridNode(NodeClassTable& table);

}  // namespace vx
