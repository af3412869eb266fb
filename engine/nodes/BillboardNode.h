// Billboard: a group whose children turn to face the viewer, about one axis
// or, with a zero axis, freely.
#pragma once

#include "engine/scene/Node.h"
#include "engine/math/Vec.h"

namespace vx {

class NodeClassTable;

class CBillboardNode : public CNode {
 public:
  CBillboardNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeBillboard; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Pushes the turn of the children onto the view context's stack.
  void TurnTowardsTheEye(CViewContext& view) const;

  SFVec3f bboxCenter{};
  SFVec3f bboxSize{};
  MFNode children{};
  SFVec3f axisOfRotation{};

 protected:
  ~CBillboardNode() override = default;
};

// The turns of a billboard that faces the eye freely: first about Y by yaw,
// then about X by pitch. localZ is the unit direction of the billboard's +Z
// in the parent's space, toEye the unit direction from its origin to the eye.
struct FacingTurn {
  float yaw = 0.0f;
  float pitch = 0.0f;
};
FacingTurn FacingAngles(const CVec3f& localZ, const CVec3f& toEye);

// The angle about the unit axis that turns localZ towards the eye, seen
// across the axis. Always a number: rounding can put the cosine a little
// outside [-1, 1], which is clamped.
float AngleAboutAxis(const CVec3f& localZ, const CVec3f& toEye, const CVec3f& axis);

void RegisterBillboardNode(NodeClassTable& table);

}  // namespace vx
