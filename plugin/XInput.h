// The browser's X input for a windowless instance (pointer, left button,
// keys and the browser's focus, in the instance's own coordinates), turned
// into the platform layer's input at the instance's page window, where the
// page window's handling takes it as any window's input.
#pragma once

#include "platform/Key.h"
#include "platform/Window.h"

namespace vx::plugin {

// False for events that are none of these (the browser may use them).
bool DeliverXInput(WindowHandle pageWindow, const void* xevent);

// The layer's key for an X keysym; kNone for keys it does not name.
Key KeyFromKeysym(unsigned long keysym);

}  // namespace vx::plugin
