// The media subsystem's node classes (textures, sound and text), registered
// together.
#pragma once

namespace vx {

class NodeClassTable;

// Adds every node class of the media subsystem, in the factory's lookup
// order.
void RegisterMediaNodes(NodeClassTable& table);

}  // namespace vx
