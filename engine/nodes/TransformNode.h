// Transform: a group whose children are placed by a translation, rotation
// and scale about a centre.
#pragma once

#include "engine/scene/Node.h"
#include "engine/math/Vec.h"

namespace vx {

class NodeClassTable;

class CTransformNode : public CNode {
 public:
  CTransformNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeTransform; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Multiplies this node's placement onto the top matrix of a stack with
  // Translate(offset), Rotate({x, y, z, angle}) and Scale(factors). Only the
  // fields that were ever set take part, so a Transform read with only a
  // rotation applies the rotation alone.
  template <typename Stack>
  void ApplyPlacement(Stack& stack) const;

  SFVec3f bboxCenter{};
  SFVec3f bboxSize{};
  SFVec3f translation{};
  SFRotation rotation{};
  SFVec3f scale{};
  SFRotation scaleOrientation{};
  SFVec3f center{};
  MFNode children{};

 protected:
  ~CTransformNode() override = default;

 private:
  // The indices of the placement fields, taken from the field table.
  static const int kTranslation;
  static const int kRotation;
  static const int kScale;
  static const int kScaleOrientation;
  static const int kCenter;
};

template <typename Stack>
void CTransformNode::ApplyPlacement(Stack& stack) const {
  const SFRotation& so = scaleOrientation;
  const CVec3f c{center.x, center.y, center.z};
  if (IsFieldSet(kTranslation)) stack.Translate(CVec3f{translation.x, translation.y, translation.z});
  if (IsFieldSet(kCenter)) stack.Translate(c);
  if (IsFieldSet(kRotation)) stack.Rotate({rotation.x, rotation.y, rotation.z, rotation.angle});
  if (IsFieldSet(kScaleOrientation)) stack.Rotate({so.x, so.y, so.z, so.angle});
  if (IsFieldSet(kScale)) stack.Scale(CVec3f{scale.x, scale.y, scale.z});
  if (IsFieldSet(kScaleOrientation)) stack.Rotate({so.x, so.y, so.z, -so.angle});
  if (IsFieldSet(kCenter)) stack.Translate(c * -1.0f);
}

// The child traversal of a node that pushed its own matrix onto the view
// context's stack, then the parent's matrix back.
void TraverseChildrenThenPop(CNode& node, RenderPass pass, CViewContext* view, const MFNode& children);

void RegisterTransformNode(NodeClassTable& table);

}  // namespace vx
