// Runs a modal Qt dialog the way the layer's dialogs run: once it closes,
// the window that was active before it is active again, so that keys go on
// reaching it without a click, with or without a window manager to hand
// the keyboard back.
#pragma once

#include "platform/qt/QtExport.h"

class QDialog;

namespace vx {

// The dialog's result.
VX_PLATFORM_QT_API int ExecModal(QDialog& dialog);

}  // namespace vx
