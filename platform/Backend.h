// The interface between the platform layer and what shows its windows.
//
// The platform layer itself keeps every window, class, message, timer and
// socket registration; a backend only mirrors visible windows on a real (or
// pretend) screen and answers what needs a user. Two backends exist: the
// headless one (HeadlessBackend.h; the default, used by tests and CI) and the
// Qt one, which the viewer registers at start-up with SetBackend.
//
// A backend feeds user input back in through Input.h, from the thread that
// runs the message pump.
#pragma once

#include <cstdint>

#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

// A window's surface as it is presented: xRGB rows of `width` pixels.
struct FrameView {
  const uint32_t* pixels = nullptr;
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
};

// Installs the backend (the caller keeps ownership and must keep it alive
// until it is replaced); null goes back to the built-in headless backend.
VX_PLATFORM_API void SetBackend(Backend* backend);
VX_PLATFORM_API Backend& CurrentBackend();

}  // namespace vx
