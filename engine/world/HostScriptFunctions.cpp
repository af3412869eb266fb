#include "engine/world/HostScriptFunctions.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vx {
namespace {

struct Registration {
  std::string name;
  ScriptFunctionCallback callback;
};

std::vector<Registration>& Registrations() {
  static std::vector<Registration> registrations;
  return registrations;
}

Registration* Find(std::string_view name) {
  auto& list = Registrations();
  auto found = std::find_if(list.begin(), list.end(), [name](const Registration& r) { return r.name == name; });
  return found == list.end() ? nullptr : &*found;
}

}  // namespace

bool RegisterScriptFunction(std::string_view name, const ScriptFunctionCallback& callback) {
  name = name.substr(0, kMaxHostScriptNameLength);
  if (Registration* existing = Find(name)) {
    existing->callback = callback;
    return true;
  }
  if (Registrations().size() >= kMaxHostScriptFunctions) return false;
  Registrations().push_back({std::string(name), callback});
  return true;
}

const ScriptFunctionCallback* FindScriptFunction(std::string_view name) {
  const Registration* found = Find(name);
  return found ? &found->callback : nullptr;
}

void ClearScriptFunctions() { Registrations().clear(); }

}  // namespace vx
