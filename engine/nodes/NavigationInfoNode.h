// NavigationInfo: a bindable node that only keeps its values; the view reads
// "type", "speed", "avatarSize" and "headlight" of the bound one by name.
#pragma once

#include "engine/scene/Node.h"
#include "engine/nodes/BindableNodeSupport.h"

namespace vx {

class NodeClassTable;

class CNavigationInfoNode : public CQuietBindableNode {
 public:
  CNavigationInfoNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeNavigationInfo; }

  MFFloat avatarSize{};
  int16_t headlight = 1;
  float speed = 1.0f;
  MFString type{};
  float visibilityLimit = 0.0f;

 protected:
  ~CNavigationInfoNode() override = default;
};

void RegisterNavigationInfoNode(NodeClassTable& table);

}  // namespace vx
