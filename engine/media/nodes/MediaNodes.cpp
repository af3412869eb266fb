#include "engine/media/nodes/MediaNodes.h"

namespace vx {

// The texture, sound and text nodes take their rows here as they are built.
void RegisterMediaNodes(NodeClassTable& /*table*/) {}

}  // namespace vx
