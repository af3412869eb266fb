// The layer's cursors as QCursors.
#pragma once

#include <QCursor>

#include "platform/Window.h"

namespace vx {

// The arrow, and destroyed cursors, are Qt's arrow. Pixels that invert the
// screen show black: Qt draws no inverting cursors on Linux.
QCursor ToQCursor(CursorHandle cursor);

}  // namespace vx
