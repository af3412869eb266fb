// Keyboard focus, mouse capture, the pointer's position and the keys held.
//
// These are the layer's own records: the backend feeds what the user does
// through Input.h, and windows ask here.
#pragma once

#include "platform/Key.h"
#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

// Gives the window the keyboard focus (None takes it from every window):
// kMsgKillFocus goes to the window losing it (wParam = the new one), then
// kMsgSetFocus to the one gaining it (wParam = the old one). Message-only,
// disabled and invalid windows cannot take it: then nothing changes and None
// is returned; otherwise the window that had the focus.
VX_PLATFORM_API WindowHandle SetFocus(WindowHandle window);
VX_PLATFORM_API WindowHandle GetFocus();

// Sends every pointer message to the window until released, wherever the
// pointer is. The window losing the capture gets kMsgCaptureChanged. Returns
// the window that held it (None also when the window is invalid).
VX_PLATFORM_API WindowHandle SetCapture(WindowHandle window);
VX_PLATFORM_API bool ReleaseCapture();
VX_PLATFORM_API WindowHandle GetCapture();

// The pointer's position on the screen.
VX_PLATFORM_API Point GetCursorPos();
// Moves the pointer: as if the user had moved it there (the window under it,
// or the capture window, gets kMsgMouseMove, and the cursor shape is chosen
// again); the backend moves the real pointer too.
VX_PLATFORM_API void SetCursorPos(Point screen);
// The pointer in the window's client coordinates.
VX_PLATFORM_API Point GetCursorClientPos(WindowHandle window);

// The visible window under a screen point: the deepest child, the one created
// last of overlapping ones. None when there is none.
VX_PLATFORM_API WindowHandle WindowFromPoint(Point screen);

// True while the key is held down.
VX_PLATFORM_API bool IsKeyDown(Key key);

}  // namespace vx
