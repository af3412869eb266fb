// How a grouping node walks its children in a pass (CNode::PickChildSensors).
// Without a view the children are traversed in order. With one, the walk
// that the view context installs when it is made draws them and finds out
// whether the pointer lies on geometry that a pointing-device sensor among
// them watches: only the view, in the world runtime above the scene, knows
// the pointer and the geometry stage.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

// Returns 1 when a sensor among the children took a hit, else 0.
using ViewChildWalk = int (*)(CNode& parent, RenderPass pass, CViewContext& view, const MFNode& children);

// The same walk for every view; installing it again changes nothing.
void InstallViewChildWalk(ViewChildWalk walk);

// A child's events may replace the very list being walked (a Script that
// switches its own group's children): each child is held while it runs and
// the list is read afresh for the next one, so neither a freed element array
// nor a removed child is ever reached.
//
// The walk also keeps every pass bounded by the world's size rather than by
// its paths (a node shared by USE is walked once per path): see CPassBudget.
void TraverseChildrenInOrder(RenderPass pass, CViewContext* view, const MFNode& children);

// The levels of children lists this thread's walks stand in now; a file read
// during a walk (an Inline's) starts below them.
int GetWalkDepth();

// One pass of a world over its scene, for its lifetime: the walks visit at
// most kMaxNodeVisitsPerPass children and go at most kMaxNodeNesting levels
// deep, and in the Activate and Deactivate passes they visit each node once,
// however many paths lead to it. A pass made while another is open on the
// thread joins it. A walk outside every pass makes one of its own.
class CPassBudget {
 public:
  CPassBudget();
  ~CPassBudget();
  CPassBudget(const CPassBudget&) = delete;
  CPassBudget& operator=(const CPassBudget&) = delete;

  // Whether the pass left something out for a bound.
  bool WasCut() const;

  // What the walks keep of the open pass.
  struct State;

 private:
  State* state_;
  bool owns_;
};

}  // namespace vx
