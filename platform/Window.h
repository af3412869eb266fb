// Windows, window classes and window procedures.
//
// A window is a record in this library: a procedure that receives its
// messages, a class, a rectangle, a text, user data, named properties and
// (unless it is message-only) a surface of pixels that drawing fills and the
// backend shows (DeviceContext.h). Handles are numbers
// that are never reused, so a handle kept after DestroyWindow is simply
// invalid: every call with it fails softly (false, null, 0) instead of
// reaching freed memory.
//
// Windows never have a frame here: the client area is the whole window. A
// window with a parent is a child: it lies inside its parent, positioned in
// the parent's client area; a window without one is top-level, positioned on
// the screen.
//
// Hidden message-only windows (WindowStyle::kMessageOnly) exist only to
// receive messages: they are never shown, painted, focused or handed to the
// backend. The socket channel's lookup and socket windows are of this kind.
//
// Everything runs on one thread; no call here is safe from another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PlatformExport.h"

namespace vx {

enum class WindowHandle : uint32_t { None = 0 };
enum class CursorHandle : uint32_t { None = 0 };

// A window procedure: (window, message, wParam, lParam) -> result. Messages
// are in Messages.h. A procedure hands what it does not handle to
// DefWindowProc, or, when it subclasses a window, to the procedure it
// replaced through CallWindowProc.
using WindowProc = intptr_t (*)(WindowHandle, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// What RegisterWindowClass records under a name. Classes are process-wide:
// a class that the host registers serves windows that the engine creates.
struct WindowClassDesc {
  std::string name;
  WindowProc procedure = nullptr;
  CursorHandle cursor = CursorHandle::None;  // the class cursor (None: the arrow)
};

enum WindowStyle : uint32_t {
  kWindowVisible = 0x1,
  kWindowDisabled = 0x2,
  kWindowMessageOnly = 0x4,  // hidden, receives messages only
};

struct WindowDesc {
  std::string className;
  std::string text;
  uint32_t style = 0;  // WindowStyle bits
  WindowHandle parent = WindowHandle::None;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  // Stored as the window's user data before kMsgCreate is sent, so the
  // procedure can find its owner from the first message on.
  void* userData = nullptr;
  // Handed to the procedure as lParam of kMsgCreate.
  void* createParam = nullptr;
};

// Registers a class; false when the name is taken or the procedure is null.
[[nodiscard]] VX_PLATFORM_API bool RegisterWindowClass(const WindowClassDesc& desc);
// Removes a class; false when it is unknown or windows of it still exist.
VX_PLATFORM_API bool UnregisterWindowClass(std::string_view name);
VX_PLATFORM_API bool IsWindowClassRegistered(std::string_view name);

// Creates a window of a registered class and sends it kMsgCreate. None when
// the class is unknown, the parent invalid, or the procedure answered -1.
[[nodiscard]] VX_PLATFORM_API WindowHandle CreateWindow(const WindowDesc& desc);
// Sends kMsgDestroy to the window and then to its children, destroys them
// all, stops their timers and socket notifications, drops their queued
// messages, and takes focus and capture away from them. False for an
// invalid handle.
VX_PLATFORM_API bool DestroyWindow(WindowHandle window);
VX_PLATFORM_API bool IsWindow(WindowHandle window);

// The default handling: kMsgClose destroys the window; everything else 0.
VX_PLATFORM_API intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Subclassing: installs a new procedure and returns the one it replaces (null
// for an invalid window or procedure, which changes nothing). The new
// procedure passes messages on with CallWindowProc(previous, ...).
VX_PLATFORM_API WindowProc SetWindowProc(WindowHandle window, WindowProc procedure);
VX_PLATFORM_API WindowProc GetWindowProc(WindowHandle window);
VX_PLATFORM_API intptr_t CallWindowProc(WindowProc procedure, WindowHandle window, uint32_t message,
                                        uintptr_t wParam, intptr_t lParam);

// One pointer of user data per window (the caller owns what it points to).
VX_PLATFORM_API void SetWindowUserData(WindowHandle window, void* data);
VX_PLATFORM_API void* GetWindowUserData(WindowHandle window);

// Named properties (the caller owns what they point to). Set replaces an
// existing value; Remove returns the value it removed (null when none).
VX_PLATFORM_API bool SetWindowProperty(WindowHandle window, std::string_view name, void* value);
VX_PLATFORM_API void* GetWindowProperty(WindowHandle window, std::string_view name);
VX_PLATFORM_API void* RemoveWindowProperty(WindowHandle window, std::string_view name);

VX_PLATFORM_API bool SetWindowText(WindowHandle window, std::string_view text);
VX_PLATFORM_API std::string GetWindowText(WindowHandle window);
VX_PLATFORM_API std::string GetWindowClassName(WindowHandle window);
VX_PLATFORM_API WindowHandle GetParentWindow(WindowHandle window);
VX_PLATFORM_API uint32_t GetWindowStyle(WindowHandle window);

VX_PLATFORM_API bool ShowWindow(WindowHandle window, bool visible);
VX_PLATFORM_API bool IsWindowVisible(WindowHandle window);
VX_PLATFORM_API bool EnableWindow(WindowHandle window, bool enabled);
VX_PLATFORM_API bool IsWindowEnabled(WindowHandle window);

// Moves and sizes a window (position in the parent's client area); sends
// kMsgSize when the size changed.
VX_PLATFORM_API bool MoveWindow(WindowHandle window, int x, int y, int width, int height);
// The client area: always left 0, top 0, right = width, bottom = height. An
// empty rectangle for an invalid window.
VX_PLATFORM_API Rect GetClientRect(WindowHandle window);
// The window's rectangle in screen coordinates.
VX_PLATFORM_API Rect GetWindowScreenRect(WindowHandle window);
VX_PLATFORM_API Point ScreenToClient(WindowHandle window, Point screen);
VX_PLATFORM_API Point ClientToScreen(WindowHandle window, Point client);

// Painting: an invalidated window gets one kMsgPaint from the pump once no
// posted message is waiting for it (the pump validates it as it hands the
// message out). UpdateWindow sends kMsgPaint at once when the window is
// invalid. ConsumeEraseRequest tells the paint handler whether the
// background should be erased, and clears the request.
VX_PLATFORM_API bool InvalidateWindow(WindowHandle window, bool erase);
VX_PLATFORM_API bool ValidateWindow(WindowHandle window);
VX_PLATFORM_API bool IsWindowInvalid(WindowHandle window);
VX_PLATFORM_API bool UpdateWindow(WindowHandle window);
VX_PLATFORM_API bool ConsumeEraseRequest(WindowHandle window);

}  // namespace vx
