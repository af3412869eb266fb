#include "platform/qt/KeyMap.h"

namespace vx {
namespace {

Key Offset(Key first, int steps) { return static_cast<Key>(static_cast<int>(first) + steps); }

Key KeypadKey(int qtKey) {
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return Offset(Key::kKeypad0, qtKey - Qt::Key_0);
  switch (qtKey) {
    case Qt::Key_Plus: return Key::kKeypadPlus;
    case Qt::Key_Minus: return Key::kKeypadMinus;
    case Qt::Key_Asterisk: return Key::kKeypadMultiply;
    case Qt::Key_Slash: return Key::kKeypadDivide;
    case Qt::Key_Period:
    case Qt::Key_Comma: return Key::kKeypadDecimal;
    case Qt::Key_Enter: return Key::kEnter;
    default: return Key::kNone;
  }
}

}  // namespace

Key KeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (Key key = KeypadKey(qtKey); key != Key::kNone) return key;
  }
  if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
    return static_cast<Key>(qtKey);  // both name these by their ASCII characters
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F15) return Offset(Key::kF1, qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Space: return Key::kSpace;
    case Qt::Key_Return:
    case Qt::Key_Enter: return Key::kEnter;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return Key::kTab;
    case Qt::Key_Backspace: return Key::kBackspace;
    case Qt::Key_Escape: return Key::kEscape;
    case Qt::Key_Shift: return Key::kShift;
    case Qt::Key_Control: return Key::kControl;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return Key::kAlt;
    case Qt::Key_CapsLock: return Key::kCapsLock;
    case Qt::Key_Clear: return Key::kClear;
    case Qt::Key_Left: return Key::kLeft;
    case Qt::Key_Right: return Key::kRight;
    case Qt::Key_Up: return Key::kUp;
    case Qt::Key_Down: return Key::kDown;
    case Qt::Key_Insert: return Key::kInsert;
    case Qt::Key_Delete: return Key::kDelete;
    case Qt::Key_Home: return Key::kHome;
    case Qt::Key_End: return Key::kEnd;
    case Qt::Key_PageUp: return Key::kPageUp;
    case Qt::Key_PageDown: return Key::kPageDown;
    default: return Key::kNone;
  }
}

}  // namespace vx
