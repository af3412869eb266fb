#include "engine/world/behaviours/BehaviourTable.h"

#include <cassert>

#include "engine/world/behaviours/CameraBehaviour.h"
#include "engine/world/behaviours/KeyInputBehaviour.h"
#include "engine/world/behaviours/LinkBehaviour.h"
#include "engine/world/behaviours/SimpleBehaviours.h"
#include "engine/world/behaviours/SlideBehaviour.h"
#include "engine/world/behaviours/StatusBehaviours.h"
#include "engine/world/behaviours/ValueBehaviours.h"

namespace vx {
namespace {

// Every built-in behaviour's registration. Behaviours added later take their
// place here.
constexpr BehaviourRegistration kRegistrations[] = {
    RegisterLinkBehaviour,
    RegisterSlideBehaviour,
    RegisterSimpleBehaviours,
    RegisterCameraBehaviour,
    RegisterStatusBehaviours,
    RegisterKeyInputBehaviour,
    RegisterValueBehaviours,
};

BehaviourTable MakeBuiltInTable() {
  BehaviourTable table;
  for (BehaviourRegistration registration : kRegistrations) registration(table);
  return table;
}

}  // namespace

void CBehaviour::OnEventIn(const ScriptEvent&, CScriptNode&) {}
void CBehaviour::Tick(CViewContext&, CScriptNode&, RenderPass) {}

void BehaviourTable::Add(std::string_view name, BehaviourFactory create, BehaviourStart start) {
  assert(create && "a behaviour needs a factory");
  assert(!Find(name) && "behaviour names are unique");
  behaviours_.push_back({name, create, start});
}

const BehaviourInfo* BehaviourTable::Find(std::string_view name) const {
  for (const BehaviourInfo& info : behaviours_) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

const BehaviourTable& BuiltInBehaviours() {
  static const BehaviourTable table = MakeBuiltInTable();
  return table;
}

}  // namespace vx
