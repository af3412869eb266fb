// Extrusion: a 2-D cross-section swept along a 3-D spine, scaled and turned
// per spine point, as a mesh of triangles closed by triangulated caps. In
// VRML 2.0 worlds its edges are sharp or smooth by creaseAngle.
#pragma once

#include <memory>
#include <vector>

#include "engine/render/MeshBuffer.h"
#include "engine/scene/Node.h"
#include "engine/nodes/GeometryNodeSupport.h"

namespace vx {

class NodeClassTable;

class CExtrusionNode : public CNode {
 public:
  CExtrusionNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypeExtrusion; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Builds or refreshes the mesh when flagged. While the cross-section has
  // fewer than 3 points or the spine fewer than 2 (or the mesh would be too
  // large to number or hold) there is no mesh.
  void UpdateMesh();
  const CMeshBuffer* GetMesh() const { return mesh_.get(); }
  // Draws both sides of every triangle.
  void Draw(CGeometryStage& stage);

  int16_t beginCap = 0;
  int16_t ccw = 0;
  int16_t convex = 0;
  float creaseAngle = 0.0f;
  MFVec2f crossSection{};
  int16_t endCap = 0;
  MFRotation orientation{};
  int16_t solid = 0;
  MFVec3f spine{};
  MFVec2f scale{};

 protected:
  ~CExtrusionNode() override = default;

 private:
  bool IsSweepable() const;
  // Notes a sweep past MeshLimits in the world's error text.
  bool FitsMeshLimits();
  // False when the mesh could not be allocated. standard: the caps turn as
  // VRML 2.0 has them.
  bool Build(bool standard);
  // False when the creased mesh could not be allocated.
  bool Crease();
  void ComputeVertices();
  void AddCap(std::vector<MeshPolygon>& polygons, int32_t first, TriangleWinding winding) const;

  int16_t rebuild_ = 1;
  int16_t verticesComputed_ = 0;
  std::unique_ptr<CMeshBuffer> mesh_;
  CMeshAllowance allowance_;
};

void RegisterExtrusionNode(NodeClassTable& table);

}  // namespace vx
