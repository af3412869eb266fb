// Feeding user input into the layer.
//
// The backend that shows the windows calls these when the user acts; tests
// call them to drive the headless backend. They run on the pump's thread and
// turn the input into window messages and state (Window.h, Cursor.h).
#pragma once

#include <string>
#include <vector>

#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

// Files dropped at a client point of the window: posts kMsgDropFiles when the
// window accepts drops; false (and nothing posted) otherwise.
VX_PLATFORM_API bool DeliverDroppedFiles(WindowHandle window, const std::vector<std::string>& paths, Point client);

}  // namespace vx
