#include "engine/world/nodes/ScriptNode.h"

#include <algorithm>

#include "engine/scene/CallerText.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/HostScriptFunctions.h"
#include "engine/world/behaviours/BehaviourLimits.h"

namespace vx {
namespace {

constexpr FieldSpec kScriptFields[] = {
    Field<&CScriptNode::url>("url"),
    Field<&CScriptNode::mustEvaluate>("mustEvaluate", DefaultBool(false)),
    Field<&CScriptNode::directOutput>("directOutput", DefaultBool(false)),
};

std::string_view UrlWord(std::string_view text) {
  return text.substr(0, std::min(text.find(':'), kMaxScriptUrlWordLength));
}

const BehaviourInfo* BuiltInBehaviourOf(const ScriptUrl& words) {
  return words.prefix == kBuiltInBehaviourPrefix ? BuiltInBehaviours().Find(words.name) : nullptr;
}

}  // namespace

ScriptUrl SplitScriptUrl(std::string_view url) {
  ScriptUrl words;
  words.prefix = UrlWord(url);
  const size_t colon = url.find(':');
  if (colon != std::string_view::npos) words.name = UrlWord(url.substr(colon + 1));
  return words;
}

// Keeps the node alive and its behaviour in place while the behaviour runs:
// its events may remove the Script from the scene or change its url.
class CScriptNode::RunScope {
 public:
  explicit RunScope(CScriptNode& node) : node_(node), keep_(node.GetRefCount() > 0 ? &node : nullptr) {
    ++node_.running_;
  }
  ~RunScope() { --node_.running_; }
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

 private:
  CScriptNode& node_;
  CNodeRef keep_;
};

CScriptNode::CScriptNode() : CRuntimeFieldNode(Section(kScriptFields)) { RegisterFixedFields(); }

std::string_view CScriptNode::FirstUrl() const { return url.count > 0 ? TextOf(url[0]) : std::string_view(); }

CBehaviour* CScriptNode::BehaviourFor(const BehaviourInfo* info, bool inFrame) {
  const BehaviourFactory wanted = info ? info->create : nullptr;
  if (wanted != madeBy_) {
    if (running_ > 0) return nullptr;
    behaviour_.reset();
    madeBy_ = wanted;
  }
  if (!info) return nullptr;
  if (!behaviour_ && (inFrame || info->start == BehaviourStart::kAtOnce)) behaviour_ = info->create();
  return behaviour_.get();
}

void CScriptNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view || url.count <= 0) return;
  CBehaviour* behaviour = BehaviourFor(BuiltInBehaviourOf(SplitScriptUrl(FirstUrl())), true);
  if (!behaviour) return;
  RunScope scope(*this);
  behaviour->Tick(*view, *this, pass);
}

int CScriptNode::OnEventIn(bool isField, int index, const void* value) {
  if (inEventIn_) return 0;
  if (isField || url.count <= 0) return CRuntimeFieldNode::OnEventIn(isField, index, value);
  const FieldSpec& eventIn = GetFieldTable()->eventIns[static_cast<size_t>(index)];
  inEventIn_ = true;
  const ScriptUrl words = SplitScriptUrl(FirstUrl());
  if (words.prefix == kBuiltInBehaviourPrefix) {
    if (CBehaviour* behaviour = BehaviourFor(BuiltInBehaviourOf(words), false)) {
      RunScope scope(*this);
      behaviour->OnEventIn({eventIn.name, eventIn.type, value}, *this);
    }
  } else {
    (void)BehaviourFor(nullptr, false);
    CallHostFunction(words.prefix, eventIn.name, value);
  }
  inEventIn_ = false;
  return 0;
}

void CScriptNode::CallHostFunction(std::string_view prefix, std::string_view eventIn, const void* value) {
  const ScriptFunctionCallback* found = FindScriptFunction(prefix);
  if (!found || !found->fn) return;
  // A copy: the host may register functions again while it is called.
  const ScriptFunctionCallback callback = *found;
  ScriptCallData data{};
  CopyToCaller(GetDefName(), data.defName);
  CopyToCaller(FirstUrl(), data.url);
  CopyToCaller(eventIn, data.eventInName);
  data.value = value;
  data.valType = GetFieldType("val");
  callback.fn(VX_SCRIPT_FUNCTION_EVENT, &data, callback.userData);
}

void RegisterScriptNode(NodeClassTable& table) { table.Add<CScriptNode>("Script"); }

}  // namespace vx
