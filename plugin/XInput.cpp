#include "plugin/XInput.h"

#include "platform/Input.h"
#include "platform/InputState.h"

// Xlib last: its macros (None, Bool, Status) would rename the layer's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace vx::plugin {
namespace {

constexpr WindowHandle kNoWindow = WindowHandle{};
// Room for the text of one key.
constexpr int kKeyTextSize = 16;

Key Offset(Key first, unsigned long steps) { return static_cast<Key>(static_cast<unsigned long>(first) + steps); }

void MovePointer(WindowHandle pageWindow, int x, int y) { DeliverPointerMove(ClientToScreen(pageWindow, {x, y})); }

// A click gives the page window the keyboard, as a click into a window does.
bool DeliverButton(WindowHandle pageWindow, const XButtonEvent& button) {
  if (button.button != Button1) return false;
  MovePointer(pageWindow, button.x, button.y);
  if (button.type == ButtonPress) SetFocus(pageWindow);
  vx::DeliverButton(button.type == ButtonPress);
  return true;
}

bool DeliverKey(XKeyEvent key) {
  if (!key.display) return false;
  char text[kKeyTextSize] = {};
  KeySym keysym = 0;
  const int length = XLookupString(&key, text, sizeof text, &keysym, nullptr);
  vx::DeliverKey(KeyFromKeysym(keysym), key.type == KeyPress);
  if (key.type != KeyPress) return true;
  // XLookupString gives Latin-1.
  for (int i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x20) DeliverCharacter(static_cast<unsigned char>(text[i]));
  return true;
}

// Keys let go while another part of the page had the keyboard never come.
void LoseFocus(WindowHandle pageWindow) {
  ReleaseAllKeys();
  if (GetFocus() == pageWindow) SetFocus(kNoWindow);
}

Key KeypadKey(unsigned long keysym) {
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return Offset(Key::kKeypad0, keysym - XK_KP_0);
  switch (keysym) {
    case XK_KP_Add: return Key::kKeypadPlus;
    case XK_KP_Subtract: return Key::kKeypadMinus;
    case XK_KP_Multiply: return Key::kKeypadMultiply;
    case XK_KP_Divide: return Key::kKeypadDivide;
    case XK_KP_Decimal:
    case XK_KP_Separator: return Key::kKeypadDecimal;
    case XK_KP_Enter: return Key::kEnter;
    case XK_KP_Left: return Key::kLeft;
    case XK_KP_Right: return Key::kRight;
    case XK_KP_Up: return Key::kUp;
    case XK_KP_Down: return Key::kDown;
    case XK_KP_Home: return Key::kHome;
    case XK_KP_End: return Key::kEnd;
    case XK_KP_Prior: return Key::kPageUp;
    case XK_KP_Next: return Key::kPageDown;
    case XK_KP_Insert: return Key::kInsert;
    case XK_KP_Delete: return Key::kDelete;
    default: return Key::kNone;
  }
}

}  // namespace

bool DeliverXInput(WindowHandle pageWindow, const void* xevent) {
  if (!xevent) return false;
  const XEvent& event = *static_cast<const XEvent*>(xevent);
  switch (event.type) {
    case MotionNotify: MovePointer(pageWindow, event.xmotion.x, event.xmotion.y); return true;
    case EnterNotify:
    case LeaveNotify: MovePointer(pageWindow, event.xcrossing.x, event.xcrossing.y); return true;
    case ButtonPress:
    case ButtonRelease: return DeliverButton(pageWindow, event.xbutton);
    case KeyPress:
    case KeyRelease: return DeliverKey(event.xkey);
    case FocusIn: SetFocus(pageWindow); return true;
    case FocusOut: LoseFocus(pageWindow); return true;
    default: return false;
  }
}

Key KeyFromKeysym(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return Offset(Key::kA, keysym - XK_a);
  if (keysym >= XK_A && keysym <= XK_Z) return Offset(Key::kA, keysym - XK_A);
  if (keysym >= XK_0 && keysym <= XK_9) return Offset(Key::k0, keysym - XK_0);
  if (keysym >= XK_F1 && keysym <= XK_F15) return Offset(Key::kF1, keysym - XK_F1);
  if (Key key = KeypadKey(keysym); key != Key::kNone) return key;
  switch (keysym) {
    case XK_space: return Key::kSpace;
    case XK_Return: return Key::kEnter;
    case XK_Tab:
    case XK_ISO_Left_Tab: return Key::kTab;
    case XK_BackSpace: return Key::kBackspace;
    case XK_Escape: return Key::kEscape;
    case XK_Shift_L:
    case XK_Shift_R: return Key::kShift;
    case XK_Control_L:
    case XK_Control_R: return Key::kControl;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_ISO_Level3_Shift: return Key::kAlt;
    case XK_Caps_Lock: return Key::kCapsLock;
    case XK_Clear: return Key::kClear;
    case XK_Left: return Key::kLeft;
    case XK_Right: return Key::kRight;
    case XK_Up: return Key::kUp;
    case XK_Down: return Key::kDown;
    case XK_Insert: return Key::kInsert;
    case XK_Delete: return Key::kDelete;
    case XK_Home: return Key::kHome;
    case XK_End: return Key::kEnd;
    case XK_Prior: return Key::kPageUp;
    case XK_Next: return Key::kPageDown;
    default: return Key::kNone;
  }
}

}  // namespace vx::plugin
