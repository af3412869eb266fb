// The functions a host registers for Script nodes to call by name: one list
// for the whole engine library, shared by every instance and scene, in
// registration order.
#pragma once

#include <string_view>

#include <vantessel/Engine.h>

namespace vx {

// Names longer than this are cut, when kept and when looked for; the list
// holds kMaxHostScriptFunctions.
inline constexpr size_t kMaxHostScriptNameLength = 31;
inline constexpr size_t kMaxHostScriptFunctions = 64;

// A name already registered gets the new callback; a new name is appended.
// False when the list is full (nothing is kept).
bool RegisterScriptFunction(std::string_view name, const ScriptFunctionCallback& callback);

// The callback registered under that name (cut as when kept); null when
// there is none.
const ScriptFunctionCallback* FindScriptFunction(std::string_view name);

// Forgets every registration (tests).
void ClearScriptFunctions();

}  // namespace vx
