// The world's own node classes, registered together.
#pragma once

namespace vx {

class NodeClassTable;

// Adds every node class of the world runtime, in the factory's lookup order.
void RegisterWorldNodes(NodeClassTable& table);

}  // namespace vx
