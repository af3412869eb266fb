// Group: holds child nodes; also the scene root of every world.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

// The eventIns of every node with a "children" field, in this order.
inline constexpr FieldSpec kGroupingEventIns[] = {
    Event("addChildren", FieldTypeMFNode),
    Event("removeChildren", FieldTypeMFNode),
};

class CGroupNode : public CNode {
 public:
  CGroupNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeGroup; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  SFVec3f bboxCenter{};
  SFVec3f bboxSize{};
  MFNode children{};

 protected:
  ~CGroupNode() override = default;
};

// The grouping events shared by every node with a "children" field:
// addChildren appends the nodes (a node already present is added again) and
// sends children_changed; removeChildren takes out every child that is one
// of the nodes, in place and without an event.
void AddChildren(CNode& node, MFNode& children, const MFNode& added);
void RemoveChildren(MFNode& children, const MFNode& removed);
// OnEventIn of such a node: fields go to the base, the two eventIns above to
// AddChildren and RemoveChildren.
int OnGroupingEventIn(CNode& node, MFNode& children, bool isField, int index, const void* value);

void RegisterGroupNode(NodeClassTable& table);

}  // namespace vx
