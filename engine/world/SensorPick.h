// The child walk of every grouping node in a view: draws the children and,
// in the same walk, finds out whether the pointer lies on geometry that a
// pointing-device sensor among them watches. The view context installs it
// for the scene's nodes (InstallViewChildWalk).
#pragma once

#include "engine/scene/Node.h"

namespace vx {

int WalkChildrenPickingSensors(CNode& parent, RenderPass pass, CViewContext& view, const MFNode& children);

}  // namespace vx
