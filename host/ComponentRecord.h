// The host's side of a component: the record that a builder fills, and the
// handles through which callers reach it. Libraries see both only as opaque
// pointers (vantessel/Component.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vantessel/Component.h"

namespace vx::host {

class CComponentManager;

// A built-in component's builder works on the manager directly.
using BuiltInBuilder = int32_t (*)(CComponentManager& manager, ComponentRecord* record);

}  // namespace vx::host

struct ComponentRecord {
  int32_t handleCount = 0;
  std::vector<VxSlotFunction> slots;
  int16_t major = 0;
  int16_t minor = 0;
  int32_t extra = 0;        // given with the slot count; kept, not interpreted
  int32_t defineValue = 0;  // given with the definition; kept, not interpreted
  int32_t bucket = -1;      // -1 until defined
  std::string name;
  VxComponentBuilder libraryBuilder = nullptr;
  vx::host::BuiltInBuilder builtInBuilder = nullptr;
  int32_t libraryIndex = -1;  // -1 for built-ins
  // Set when the library that defined the record is unloaded while handles
  // still refer to it: the slots are gone, the record waits for its handles.
  bool orphaned = false;

  bool FromLibrary() const { return libraryBuilder != nullptr; }
};

struct ComponentHandle {
  ComponentRecord* record = nullptr;
};
