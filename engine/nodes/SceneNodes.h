// The standard node classes of a scene file, registered together.
#pragma once

namespace vx {

class NodeClassTable;

// Adds every standard node class, in the factory's lookup order.
void RegisterSceneNodes(NodeClassTable& table);

}  // namespace vx
