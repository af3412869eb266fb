// The interface between the platform layer and what shows its windows.
//
// The platform layer itself keeps every window, class, message, timer and
// socket registration; a backend only mirrors visible windows on a real (or
// pretend) screen and answers what needs a user. Two backends exist: the
// headless one (HeadlessBackend.h; the default, used by tests and CI) and the
// Qt one, which the viewer registers at start-up with SetBackend.
//
// A backend feeds what the user does back in, from the thread that runs the
// message pump: pointer, keys, typed characters and dropped files through
// Input.h; focus through SetFocus (InputState.h); a window moved or resized
// by the user through MoveWindow (whose WindowMoved echo it can ignore); a
// window that must be redrawn through InvalidateWindow; the close button as
// a posted kMsgClose. A stop press of a progress window is posted as
// kMsgCommand (see ProgressOpened).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Dialogs.h"
#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

// A window's surface as it is presented: xRGB rows of `width` pixels, the
// window's own, not a copy. The x bytes carry nothing (pixels drawn in place
// may hold anything there): every pixel is shown opaque. A backend may keep
// the view to show or read later: the pixels live as long as a view holds
// them, and change only by drawing into the window, which presents them
// again once drawn. A resized window draws into new pixels; a destroyed one
// leaves them alone.
struct FrameView {
  std::shared_ptr<const uint32_t> pixels;
  int width = 0;
  int height = 0;
};

class VX_PLATFORM_API Backend {
 public:
  virtual ~Backend();

  // A window that is not message-only was created or destroyed.
  virtual void WindowCreated(WindowHandle window, const WindowDesc& desc) = 0;
  virtual void WindowDestroyed(WindowHandle window) = 0;
  // Its visibility, screen rectangle or text changed.
  virtual void WindowShown(WindowHandle window, bool visible) = 0;
  virtual void WindowMoved(WindowHandle window, const Rect& screenRect) = 0;
  virtual void WindowTextChanged(WindowHandle window, const std::string& text) = 0;

  // Drawing into a window changed `changed` of its surface; show it.
  virtual void Present(WindowHandle window, const FrameView& surface, const Rect& changed) = 0;

  // The display's bits per pixel as the device reports them (8, 16, 24 or
  // 32), and whether a 16-bit display stores 5:6:5 pixels.
  virtual int ScreenDepth() const = 0;
  virtual bool Screen565() const = 0;

  // The default beep (failed registrations, lookup errors).
  virtual void Beep() = 0;

  // Pointer and keyboard: show this cursor (GetCursorImage gives its
  // picture; the arrow is the backend's own); move the real pointer; the
  // focus or the capture moved to a window (None: to no window).
  virtual void ShowCursorShape(CursorHandle cursor) = 0;
  virtual void WarpPointer(Point screen) = 0;
  virtual void FocusChanged(WindowHandle window) = 0;
  virtual void CaptureChanged(WindowHandle window) = 0;

  // Modal dialogs: a message box and its answer; a file choice.
  virtual MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;
  virtual std::optional<std::string> ChooseFile(const FileDialogRequest& request) = 0;

  // The progress window `dialog` (a message-only window of this layer that
  // receives the stop command) opened (at position 0 with desc.text), changed
  // (its whole text and position) or closed. A press of its
  // stop button is posted as kMsgCommand with kProgressStopCommand to it.
  virtual void ProgressOpened(WindowHandle dialog, const ProgressDesc& desc) = 0;
  virtual void ProgressChanged(WindowHandle dialog, std::string_view text, int position) = 0;
  virtual void ProgressClosed(WindowHandle dialog) = 0;

  // The pump is about to look for messages (every PeekMessage). A backend
  // with an event loop of its own takes in what the user did meanwhile, so
  // that its windows stay painted and its buttons answer while a program
  // pumps the layer by itself (a blocking download with its progress
  // window). Nothing to do for the headless backend.
  virtual void ProcessNativeEvents() {}
};

// Installs the backend (the caller keeps ownership and must keep it alive
// until it is replaced); null goes back to the built-in headless backend.
VX_PLATFORM_API void SetBackend(Backend* backend);
VX_PLATFORM_API Backend& CurrentBackend();

}  // namespace vx
