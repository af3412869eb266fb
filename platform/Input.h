// Feeding user input into the layer.
//
// The backend that shows the windows calls these when the user acts; tests
// call them to drive the headless backend. They run on the pump's thread and
// turn the input into window messages and state (Window.h, Cursor.h).
#pragma once

#include <string>
#include <vector>

#include "platform/Key.h"
#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

// The pointer moved to a screen point: as SetCursorPos, without moving the
// real pointer.
VX_PLATFORM_API void DeliverPointerMove(Point screen);
// The left button went down or up at the pointer's position: kMsgLButtonDown
// or kMsgLButtonUp (client coordinates) is posted to the capture window, else
// to the window under the pointer.
VX_PLATFORM_API void DeliverButton(bool down);
// A key went down or up: the key state changes, and kMsgKeyDown or kMsgKeyUp
// (wParam = the Key) is posted to the focus window when there is one.
VX_PLATFORM_API void DeliverKey(Key key, bool down);
// A character was typed: kMsgChar to the focus window.
VX_PLATFORM_API void DeliverCharacter(char32_t character);
// Lets every key go (the backend lost the keyboard; tests start clean).
VX_PLATFORM_API void ReleaseAllKeys();

// Files dropped at a client point of the window: posts kMsgDropFiles when the
// window accepts drops; false (and nothing posted) otherwise.
VX_PLATFORM_API bool DeliverDroppedFiles(WindowHandle window, const std::vector<std::string>& paths, Point client);

}  // namespace vx
