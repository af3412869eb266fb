#include "engine/media/nodes/MediaNodes.h"

#include "engine/media/nodes/FontStyleNode.h"
#include "engine/media/nodes/TextNode.h"
#include "engine/media/nodes/TextTextureNode.h"
#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr NodeRegistration kRegistrations[] = {
    RegisterFontStyleNode,
    RegisterTextNode,
    RegisterTextTextureNode,
};

}  // namespace

// The texture, sound and text nodes take their rows here as they are built.
void RegisterMediaNodes(NodeClassTable& table) { table.Register(kRegistrations); }

}  // namespace vx
