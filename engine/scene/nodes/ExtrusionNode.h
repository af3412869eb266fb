// Extrusion: a 2-D cross-section swept along a 3-D spine, scaled and turned
// per spine point, as a mesh of triangles closed by triangulated caps.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "engine/render/MeshBuffer.h"
#include "engine/render/PolygonTriangulator.h"
#include "engine/scene/Node.h"

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
  // False when the mesh could not be allocated.
  bool Build();
  void ComputeVertices();
  void AddCap(std::vector<MeshPolygon>& polygons, int32_t first, bool flip) const;

  int16_t rebuild_ = 1;
  int16_t verticesComputed_ = 0;
  std::unique_ptr<CMeshBuffer> mesh_;
};

// Cuts a planar 3-D polygon into triangles: the points are projected onto
// the coordinate plane of their two largest bounding-box extents and handed
// to the polygon triangulator. reversed tells whether the triangulator's
// vertex numbers count the points in reverse (a clockwise projection).
[[nodiscard]] TriangulateStatus TriangulatePolygon3D(std::span<const CVec3f> points,
                                                     std::vector<TriangleIndices>& triangles, bool& reversed);

// Appends the triangles of the cap made of the mesh vertices listed (material
// 0). A last vertex equal in position to the first is left out. flip reverses
// each triangle's winding. A cap the triangulator refuses (zero area) adds
// nothing; a cap of more points than the triangulator takes is closed by a
// fan from its first vertex.
void AddTriangulatedPolygon(std::vector<MeshPolygon>& polygons, const CMeshBuffer& mesh,
                            std::span<const int32_t> indices, bool flip);

void RegisterExtrusionNode(NodeClassTable& table);

}  // namespace vx
