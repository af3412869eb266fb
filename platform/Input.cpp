#include "platform/Input.h"

#include <algorithm>
#include <utility>

#include "platform/Backend.h"
#include "platform/Cursor.h"
#include "platform/InputState.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/WindowState.h"

namespace vx {
namespace {

using detail::Find;
using detail::State;

bool Shown(const detail::WindowRecord& record) {
  return (record.style & kWindowVisible) && !(record.style & kWindowMessageOnly);
}

// The visible child of `parent` (None: the top-level windows) that contains
// the point, the one created last first.
WindowHandle TopmostAt(WindowHandle parent, Point screen) {
  WindowHandle found = WindowHandle::None;
  for (const auto& [id, record] : State().windows) {
    if (record->parent != parent || !Shown(*record) || record->handle < found) continue;
    Rect rect = GetWindowScreenRect(record->handle);
    if (screen.x >= rect.left && screen.x < rect.right && screen.y >= rect.top && screen.y < rect.bottom)
      found = record->handle;
  }
  return found;
}

// Where pointer messages go: the capture window, else the window under the pointer.
WindowHandle PointerTarget() {
  if (Find(State().capture)) return State().capture;
  return WindowFromPoint(State().pointer);
}

intptr_t ClientPointParam(WindowHandle window) {
  Point client = ScreenToClient(window, State().pointer);
  return PackPoint(client.x, client.y);
}

size_t KeyIndex(Key key) { return static_cast<size_t>(key); }

}  // namespace

WindowHandle SetFocus(WindowHandle window) {
  auto& state = State();
  if (window != WindowHandle::None) {
    detail::WindowRecord* record = Find(window);
    if (!record || (record->style & (kWindowMessageOnly | kWindowDisabled))) return WindowHandle::None;
  }
  WindowHandle previous = state.focus;
  if (previous == window) return previous;
  state.focus = window;
  if (Find(previous)) SendMessage(previous, kMsgKillFocus, static_cast<uintptr_t>(window));
  if (window != WindowHandle::None && state.focus == window)
    SendMessage(window, kMsgSetFocus, static_cast<uintptr_t>(previous));
  CurrentBackend().FocusChanged(state.focus);
  return previous;
}

WindowHandle GetFocus() { return Find(State().focus) ? State().focus : WindowHandle::None; }

WindowHandle SetCapture(WindowHandle window) {
  detail::WindowRecord* record = Find(window);
  if (!record || (record->style & kWindowMessageOnly)) return WindowHandle::None;
  WindowHandle previous = std::exchange(State().capture, window);
  if (previous != window) {
    if (Find(previous)) SendMessage(previous, kMsgCaptureChanged, static_cast<uintptr_t>(window));
    CurrentBackend().CaptureChanged(window);
  }
  return previous;
}

bool ReleaseCapture() {
  WindowHandle previous = std::exchange(State().capture, WindowHandle::None);
  if (previous == WindowHandle::None) return true;
  if (Find(previous)) SendMessage(previous, kMsgCaptureChanged, 0);
  CurrentBackend().CaptureChanged(WindowHandle::None);
  return true;
}

WindowHandle GetCapture() { return Find(State().capture) ? State().capture : WindowHandle::None; }

Point GetCursorPos() { return State().pointer; }

void SetCursorPos(Point screen) {
  DeliverPointerMove(screen);
  CurrentBackend().WarpPointer(screen);
}

Point GetCursorClientPos(WindowHandle window) { return ScreenToClient(window, State().pointer); }

WindowHandle WindowFromPoint(Point screen) {
  WindowHandle found = TopmostAt(WindowHandle::None, screen);
  for (WindowHandle child = found; child != WindowHandle::None; child = TopmostAt(found, screen)) found = child;
  return found;
}

bool IsKeyDown(Key key) { return KeyIndex(key) < State().keysDown.size() && State().keysDown[KeyIndex(key)]; }

void DeliverPointerMove(Point screen) {
  State().pointer = screen;
  WindowHandle target = PointerTarget();
  SetCursor(target == WindowHandle::None ? ArrowCursor() : GetClassCursor(target));
  if (target != WindowHandle::None) PostMessage(target, kMsgMouseMove, 0, ClientPointParam(target));
}

void DeliverButton(bool down) {
  WindowHandle target = PointerTarget();
  if (target != WindowHandle::None)
    PostMessage(target, down ? kMsgLButtonDown : kMsgLButtonUp, 0, ClientPointParam(target));
}

void DeliverKey(Key key, bool down) {
  if (key == Key::kNone || KeyIndex(key) >= State().keysDown.size()) return;
  State().keysDown[KeyIndex(key)] = down;
  if (WindowHandle focus = GetFocus(); focus != WindowHandle::None)
    PostMessage(focus, down ? kMsgKeyDown : kMsgKeyUp, static_cast<uintptr_t>(key));
}

void DeliverCharacter(char32_t character) {
  if (WindowHandle focus = GetFocus(); focus != WindowHandle::None)
    PostMessage(focus, kMsgChar, static_cast<uintptr_t>(character));
}

void ReleaseAllKeys() { State().keysDown.reset(); }

}  // namespace vx
