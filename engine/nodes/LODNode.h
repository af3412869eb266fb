// LOD: traverses the one level of detail that the viewer's distance selects.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CLODNode : public CNode {
 public:
  CLODNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeLOD; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // The level for a viewer at that distance from the centre, seen with that
  // field of view (radians); -1 without levels or ranges. The distance is
  // scaled by the field of view over the view's initial one, so zooming in
  // brings the detail nearer.
  int32_t ChooseLevel(float distance, float fieldOfView) const;
  // Makes index the current level (a new level is traversed with pass 1
  // first) and traverses it with the pass.
  void TraverseLevel(int32_t index, RenderPass pass, CViewContext* view);

  MFNode level{};
  SFVec3f center{};
  MFFloat range{};

 protected:
  ~CLODNode() override = default;

 private:
  int32_t currentLevel_ = -1;
};

void RegisterLODNode(NodeClassTable& table);

}  // namespace vx
