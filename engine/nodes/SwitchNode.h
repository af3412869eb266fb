// Switch: traverses the one chosen child and tells children when they
// become or stop being the choice.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CSwitchNode : public CNode {
 public:
  CSwitchNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeSwitch; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  int32_t whichChoice = -1;
  MFNode choice{};

 protected:
  ~CSwitchNode() override = default;

 private:
  int32_t previousChoice_ = -1;
};

// The node at index of the list, or null when the index is outside it.
CNode* NodeAt(const MFNode& list, int32_t index);

void RegisterSwitchNode(NodeClassTable& table);

}  // namespace vx
