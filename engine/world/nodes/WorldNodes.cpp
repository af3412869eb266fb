#include "engine/world/nodes/WorldNodes.h"

#include "engine/world/nodes/IrcNode.h"
#include "engine/world/nodes/ScriptNode.h"

namespace vx {

void RegisterWorldNodes(NodeClassTable& table) {
  RegisterScriptNode(table);
  RegisterIrcNode(table);
}

}  // namespace vx
