// The Script node: a node whose fields, eventIns and eventOuts are declared in
// the scene file, and whose first url names a built-in behaviour ("vxn:"
// followed by its name) or a function the host registered (its name and
// ':').
//
// Behaviours see the Script's frames and eventIns; host functions only its
// eventIns, as calls with VX_SCRIPT_FUNCTION_EVENT. Changes of declared
// fields reach neither. An event that the behaviour or host function causes
// to come back to the same Script while it is being handled is dropped.
//
// The behaviour's object is made lazily (see BehaviourStart) and lives until
// the node goes or its url names another behaviour; then it is freed, and the
// new behaviour starts afresh as in a new node.
#pragma once

#include <memory>
#include <string_view>

#include "engine/scene/RuntimeFieldNode.h"
#include "engine/world/behaviours/BehaviourTable.h"

namespace vx {

class NodeClassTable;

// The words of a Script url: the text before the first ':' and, after it, the
// text up to the next ':' (each cut to kMaxScriptUrlWordLength).
struct ScriptUrl {
  std::string_view prefix;
  std::string_view name;
};
ScriptUrl SplitScriptUrl(std::string_view url);

class CScriptNode : public CRuntimeFieldNode {
 public:
  CScriptNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeScript; }
  // The behaviour's frame, on every traversal by a view, whatever the pass.
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // The behaviour's object; null until it is made, and for a url that names
  // no behaviour.
  CBehaviour* GetBehaviour() const { return behaviour_.get(); }

  MFString url{};
  int16_t mustEvaluate = 0;
  int16_t directOutput = 0;

 protected:
  ~CScriptNode() override = default;

 private:
  class RunScope;

  std::string_view FirstUrl() const;
  // The behaviour the url names, made when it may be; frees one that another
  // url made. Null when there is none (yet).
  CBehaviour* BehaviourFor(const BehaviourInfo* info, bool inFrame);
  void CallHostFunction(std::string_view prefix, std::string_view eventIn, const void* value);

  std::unique_ptr<CBehaviour> behaviour_;
  BehaviourFactory madeBy_ = nullptr;
  bool inEventIn_ = false;
  // Calls into the behaviour under way; it is never freed while one runs.
  int32_t running_ = 0;
};

void RegisterScriptNode(NodeClassTable& table);

}  // namespace vx
