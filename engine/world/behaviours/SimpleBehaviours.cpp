#include "engine/world/behaviours/SimpleBehaviours.h"

#include <string>

#include "engine/world/Browser.h"
#include "engine/world/nodes/ScriptNode.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"

namespace vx {
namespace {

class CSetValBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override {
    if (event.name == "on" && IsTrueEvent(event)) (void)SendFieldValue(node, "val", "val_changed");
  }
};

class CSetCursorBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override {
    if (event.name != "on" || !IsTrueEvent(event)) return;
    if (const SFString* cursor = FieldOf<SFString>(&node, "cursor")) name_ = TextOf(*cursor);
    pending_ = true;
  }
  void Tick(CViewContext& view, CScriptNode&, RenderPass) override {
    if (!pending_) return;
    pending_ = false;
    (void)ShowNamedCursor(view, name_);
  }

 private:
  bool pending_ = false;
  std::string name_;
};

class CGetTimeBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override {
    if (event.name != "requestTime" || !IsTrueEvent(event) || !node.GetWorld()) return;
    SendTyped(node, "currentTime", node.GetWorld()->GetWorldTime());
  }
};

}  // namespace

void RegisterSimpleBehaviours(BehaviourTable& table) {
  table.Add<CSetValBehaviour>("setVal", BehaviourStart::kAtOnce);
  table.Add<CSetCursorBehaviour>("setCursor", BehaviourStart::kFirstFrame);
  table.Add<CGetTimeBehaviour>("getTime", BehaviourStart::kAtOnce);
}

}  // namespace vx
