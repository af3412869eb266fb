// The behaviours built into the Script node, and the table that finds one by
// the name a Script's url gives after "vxn:".
//
// A behaviour is a class derived from CBehaviour; one object is made per
// Script node and holds whatever the behaviour keeps between events and
// frames, so its code only ever meets its own state. Each behaviour's source
// file ends in one registration function that adds its name(s) to a
// BehaviourTable:
//
//   void RegisterSetValBehaviour(BehaviourTable& table) {
//     table.Add<CSetValBehaviour>("setVal", BehaviourStart::kAtOnce);
//   }
//
// and BehaviourTable.cpp calls every registration function from one list.
// Nothing registers itself at start-up.
#pragma once

#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/scene/FieldValue.h"
#include "engine/scene/Node.h"

namespace vx {

class CScriptNode;
class CViewContext;

// One event that reached a Script's eventIn, with the type that eventIn was
// declared with.
struct ScriptEvent {
  std::string_view name;
  FieldType type = FieldTypeNone;
  const void* value = nullptr;

  // The value, when the eventIn was declared with the type T; else null.
  template <typename T>
  const T* As() const {
    return type == FieldTypeOf<T>::value ? static_cast<const T*>(value) : nullptr;
  }
};

class CBehaviour {
 public:
  virtual ~CBehaviour() = default;
  // Every eventIn of the Script (never its fields).
  virtual void OnEventIn(const ScriptEvent& event, CScriptNode& node);
  // Every traversal of the Script by a view, whatever its pass: a frame, or
  // the activation of the Script's part of the scene.
  virtual void Tick(CViewContext& view, CScriptNode& node, RenderPass pass);
};

// When a Script makes its behaviour: at its first frame, so that events
// before it are dropped (behaviours that act on the view keep state made
// there), or at the first event or frame, whichever comes first (behaviours
// that keep nothing answer events at once).
enum class BehaviourStart { kFirstFrame, kAtOnce };

using BehaviourFactory = std::unique_ptr<CBehaviour> (*)();

struct BehaviourInfo {
  std::string_view name;
  BehaviourFactory create = nullptr;
  BehaviourStart start = BehaviourStart::kFirstFrame;
};

class BehaviourTable {
 public:
  // Two names added with the same class share one factory: they are one
  // behaviour.
  template <typename T>
  void Add(std::string_view name, BehaviourStart start) {
    Add(name, []() -> std::unique_ptr<CBehaviour> { return std::make_unique<T>(); }, start);
  }
  void Add(std::string_view name, BehaviourFactory create, BehaviourStart start);

  // The behaviour of that exact (case-sensitive) name, or null.
  const BehaviourInfo* Find(std::string_view name) const;
  std::span<const BehaviourInfo> Behaviours() const { return behaviours_; }

 private:
  std::vector<BehaviourInfo> behaviours_;
};

using BehaviourRegistration = void (*)(BehaviourTable& table);

// Every built-in behaviour; built on first use.
const BehaviourTable& BuiltInBehaviours();

}  // namespace vx
