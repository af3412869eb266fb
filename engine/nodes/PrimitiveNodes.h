// Box, Cone, Cylinder and Sphere: fixed tessellations built once into a mesh
// whose vertex data is recomputed whenever a field changes.
//
// Every mesh is wound clockwise seen from outside and its polygons all use
// material 0. Ring points at angle a and radius r lie at (r sin a, y, -r cos a):
// angle 0 on the -z axis, growing towards +x.
#pragma once

#include <memory>

#include "engine/render/MeshBuffer.h"
#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

// Base of the four primitives: owns the mesh and its common drawing step.
class CPrimitiveNode : public CNode {
 public:
  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  // The mesh as last built; null before the first build.
  const CMeshBuffer* GetMesh() const { return mesh_.get(); }
  // Culls clockwise-from-outside backs and draws the mesh.
  virtual void Draw(CGeometryStage& stage);

 protected:
  ~CPrimitiveNode() override = default;
  // Makes the mesh when there is none; true when a new one was made.
  bool EnsureMesh();
  void FreeMesh() { mesh_.reset(); }
  // Fills the vertex data when the dirty flag is set and clears the flag.
  void RefreshVertices();
  virtual void BuildPolygons(CMeshBuffer& mesh) = 0;
  virtual void ComputeVertices(CMeshBuffer& mesh) = 0;

 private:
  std::unique_ptr<CMeshBuffer> mesh_;
};

class CBoxNode : public CPrimitiveNode {
 public:
  CBoxNode();
  NodeTypeId GetTypeId() const override { return NodeTypeBox; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  // The box is always flat-shaded: the stage's material is drawn with its
  // smooth flag cleared and then restored.
  void Draw(CGeometryStage& stage) override;

  SFVec3f size{};

 protected:
  ~CBoxNode() override = default;
  void BuildPolygons(CMeshBuffer& mesh) override;
  void ComputeVertices(CMeshBuffer& mesh) override;
};

class CConeNode : public CPrimitiveNode {
 public:
  CConeNode();
  NodeTypeId GetTypeId() const override { return NodeTypeCone; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  float bottomRadius = 0.0f;
  float height = 0.0f;
  int16_t side = 0;
  int16_t bottom = 0;

 protected:
  ~CConeNode() override = default;
  void BuildPolygons(CMeshBuffer& mesh) override;
  void ComputeVertices(CMeshBuffer& mesh) override;
};

class CCylinderNode : public CPrimitiveNode {
 public:
  CCylinderNode();
  NodeTypeId GetTypeId() const override { return NodeTypeCylinder; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  int16_t bottom = 0;
  float height = 0.0f;
  float radius = 0.0f;
  int16_t side = 0;
  int16_t top = 0;

 protected:
  ~CCylinderNode() override = default;
  void BuildPolygons(CMeshBuffer& mesh) override;
  void ComputeVertices(CMeshBuffer& mesh) override;
};

class CSphereNode : public CPrimitiveNode {
 public:
  CSphereNode();
  NodeTypeId GetTypeId() const override { return NodeTypeSphere; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  float radius = 0.0f;

 protected:
  ~CSphereNode() override = default;
  void BuildPolygons(CMeshBuffer& mesh) override;
  void ComputeVertices(CMeshBuffer& mesh) override;
};

void RegisterSphereNode(NodeClassTable& table);
void RegisterBoxNode(NodeClassTable& table);
void RegisterConeNode(NodeClassTable& table);
void RegisterCylinderNode(NodeClassTable& table);

}  // namespace vx
