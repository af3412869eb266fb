// The page window of a windowless instance: a window of the platform layer
// that no screen shows, at the size of the browser's drawable (up to
// kMaxDrawableSide a side). The engine draws into it as into any page window,
// and expose events copy it into the drawable. Each such window lies alone
// in a lane of the layer's screen, so that pointer input delivered at a
// point of it reaches it and no other instance's.
#pragma once

#include <cstdint>

#include "platform/Window.h"

namespace vx::plugin {

// None when the layer cannot make the window.
WindowHandle CreateOffscreenPageWindow(uint32_t width, uint32_t height);
void ResizeOffscreenPageWindow(WindowHandle window, uint32_t width, uint32_t height);
// The window goes and its lane is free again.
void DestroyOffscreenPageWindow(WindowHandle window);

}  // namespace vx::plugin
