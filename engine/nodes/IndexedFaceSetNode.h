// IndexedFaceSet: faces over a list of points, built lazily into a mesh of
// triangles and quadrilaterals that is kept between frames and built again
// when the points, normals, texture coordinates or colours it was made from
// change. In VRML 2.0 worlds every face corner takes its own texture
// coordinate, normal and colour through the index lists; this system's own
// worlds take them per point.
#pragma once

#include <memory>

#include "engine/render/MeshBuffer.h"
#include "engine/scene/Node.h"
#include "engine/nodes/GeometryNodeSupport.h"

namespace vx {

class NodeClassTable;

class CIndexedFaceSetNode : public CNode {
 public:
  CIndexedFaceSetNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypeIndexedFaceSet; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Builds the mesh when the coordinates or faces changed and derives
  // normals and texture coordinates when those changed; false while there is
  // nothing to build from (no coordinates or no faces), and then the change
  // stays pending.
  bool UpdateMesh();
  // Draws the mesh with the stage's current material, culling the faces
  // that turn away (which side is away depends on ccw).
  void Draw(CGeometryStage& stage);
  // Null until a build succeeded.
  const CMeshBuffer* Mesh() const { return mesh_.get(); }

  CNodeRef color;
  CNodeRef coord;
  CNodeRef normal;
  CNodeRef texCoord;
  int16_t ccw = 1;
  MFInt32 colorIndex{};
  int16_t colorPerVertex = 1;
  int16_t convex = 1;
  MFInt32 coordIndex{};
  float creaseAngle = 0.0f;
  MFInt32 normalIndex{};
  int16_t normalPerVertex = 1;
  int16_t solid = 1;
  MFInt32 texCoordIndex{};

 protected:
  ~CIndexedFaceSetNode() override = default;

 private:
  // This system's own worlds: one vertex per point, faces over them.
  void BuildMesh(const MFVec3f& points, const MFVec3f* normals, const MFVec2f* texCoords);
  // VRML 2.0 worlds: values per face corner, points split where they differ.
  void BuildCornerMesh(const MFVec3f& points, const MFVec3f* normals, const MFVec2f* texCoords,
                       const MFColor* colors);

  bool rebuild_ = true;
  std::unique_ptr<CMeshBuffer> mesh_;
  CMeshAllowance allowance_;
  CPropertyStamp coordStamp_;
  CPropertyStamp normalStamp_;
  CPropertyStamp texCoordStamp_;
  CPropertyStamp colorStamp_;
};

void RegisterIndexedFaceSetNode(NodeClassTable& table);

}  // namespace vx
