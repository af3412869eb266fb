#include "ScriptTestSupport.h"

#include <gtest/gtest.h>

#include "engine/world/HostScriptFunctions.h"
#include "tests/nodes/NodeTestSupport.h"

namespace vx::test {
namespace {

double NumberOf(FieldType type, const void* value) {
  switch (type) {
    case FieldTypeSFBool: return *static_cast<const int16_t*>(value);
    case FieldTypeSFInt32: return *static_cast<const int32_t*>(value);
    case FieldTypeSFFloat:
    case FieldTypeSFVec2f:
    case FieldTypeSFVec3f: return *static_cast<const float*>(value);
    case FieldTypeSFTime: return *static_cast<const double*>(value);
    default: return 0.0;
  }
}

}  // namespace

ScriptWorld::ScriptWorld(const std::string& body) : world(ReadWorld(body)) {
  view.view.SetServices(&services);
  ClearScriptFunctions();
  EXPECT_TRUE(RegisterScriptFunction("record", {this, &ScriptWorld::Record}));
}

ScriptWorld::~ScriptWorld() { ClearScriptFunctions(); }

void ScriptWorld::Frame() { world->RenderFrame(&view.view); }

CNode& ScriptWorld::Node(const char* defName) {
  CNode* node = world->FindNode(defName);
  EXPECT_NE(node, nullptr) << defName;
  return *node;
}

std::vector<ScriptCall> ScriptWorld::CallsTo(const std::string& eventIn) const {
  std::vector<ScriptCall> found;
  for (const ScriptCall& call : calls) {
    if (call.eventIn == eventIn) found.push_back(call);
  }
  return found;
}

void ScriptWorld::Record(int32_t code, void* data, void* self) {
  auto& world = *static_cast<ScriptWorld*>(self);
  EXPECT_EQ(code, VX_SCRIPT_FUNCTION_EVENT);
  const auto& block = *static_cast<const ScriptCallData*>(data);
  ScriptCall call{block.defName, block.url, block.eventInName, block.valType, FieldTypeNone, 0.0, block.value};
  if (CNode* node = world.world->FindNode(call.defName)) call.type = node->GetEventInType(call.eventIn);
  call.number = NumberOf(call.type, block.value);
  world.calls.push_back(call);
  if (world.onCall) world.onCall(world, call);
}

}  // namespace vx::test
