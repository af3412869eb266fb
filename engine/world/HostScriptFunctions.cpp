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

// Names are kept cut to their first kMaxHostScriptNameLength characters, so
// a longer name is looked for by that part too.
std::string_view StoredName(std::string_view name) { return name.substr(0, kMaxHostScriptNameLength); }

Registration* Find(std::string_view name) {
  name = StoredName(name);
  auto& list = Registrations();
  auto found = std::find_if(list.begin(), list.end(), [name](const Registration& r) { return r.name == name; });
  return found == list.end() ? nullptr : &*found;
}

}  // namespace

bool RegisterScriptFunction(std::string_view name, const ScriptFunctionCallback& callback) {
  name = StoredName(name);
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
