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
void TraverseChildrenInOrder(RenderPass pass, CViewContext* view, const MFNode& children);

}  // namespace vx
