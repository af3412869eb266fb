// Shape: makes its appearance the current material and lets its geometry
// draw.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class CGeometryStage;
class NodeClassTable;

class CShapeNode : public CNode {
 public:
  CShapeNode();

  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeShape; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // The appearance's material (the default one when the appearance is
  // missing or not an Appearance) becomes the stage's current material.
  void ApplyAppearance(RenderPass pass, CViewContext* view, CGeometryStage& stage);

  CNodeRef appearance;
  CNodeRef geometry;

 protected:
  ~CShapeNode() override = default;

 private:
  void HandTiledImage(const MFString& urls);
};

void RegisterShapeNode(NodeClassTable& table);

}  // namespace vx
