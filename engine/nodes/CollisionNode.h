// Collision: a group that can keep its children out of the viewer's
// collision test, or stand a simpler proxy in for them.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class CGeometryStage;
class NodeClassTable;

class CCollisionNode : public CNode {
 public:
  CCollisionNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  // Answers Group's type id; written under its own name.
  NodeTypeId GetTypeId() const override { return NodeTypeGroup; }
  std::string_view GetTypeName() const override { return "Collision"; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // The traversal over the collision flags of the stage (none: the children
  // are only traversed). A hit among the children sends collideTime.
  void TraverseTested(RenderPass pass, CViewContext* view, CGeometryStage* stage);

  SFVec3f bboxCenter{};
  SFVec3f bboxSize{};
  MFNode children{};
  int16_t collide = 1;
  CNodeRef proxy;

 protected:
  ~CCollisionNode() override = default;
};

void RegisterCollisionNode(NodeClassTable& table);

}  // namespace vx
