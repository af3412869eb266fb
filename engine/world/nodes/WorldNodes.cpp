#include "engine/world/nodes/WorldNodes.h"

#include "engine/world/nodes/DisplayNode.h"
#include "engine/world/nodes/IMobSensorNode.h"
#include "engine/world/nodes/IrcNode.h"
#include "engine/world/nodes/ScreenElementNode.h"
#include "engine/world/nodes/ScriptNode.h"
#include "engine/world/nodes/TextSensorNode.h"

namespace vx {

void RegisterWorldNodes(NodeClassTable& table) {
  RegisterScriptNode(table);
  RegisterIrcNode(table);
  RegisterScreenElementNode(table);
  RegisterDisplayNode(table);
  RegisterIMobSensorNode(table);
  RegisterTextSensorNode(table);
}

}  // namespace vx
