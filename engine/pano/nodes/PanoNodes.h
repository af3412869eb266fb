// The panorama subsystem's node classes, registered together.
#pragma once

namespace vx {

class NodeClassTable;

// Adds every node class of the panorama subsystem, in the factory's lookup
// order.
void RegisterPanoNodes(NodeClassTable& table);

}  // namespace vx
