// A window class for tests that records every message its windows receive.
#pragma once

#include <string>
#include <vector>

#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/Window.h"

namespace vx::test {

struct Received {
  WindowHandle window;
  uint32_t id;
  uintptr_t wParam;
  intptr_t lParam;
  friend bool operator==(const Received&, const Received&) = default;
};

inline std::vector<Received>& Log() {
  static std::vector<Received> log;
  return log;
}

inline intptr_t RecordingProc(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  Log().push_back({window, id, wParam, lParam});
  return DefWindowProc(window, id, wParam, lParam);
}

// Registers "TestWindow" for one test and removes every window and the
// class afterwards.
class RecordingClass {
 public:
  static constexpr const char* kName = "TestWindow";
  RecordingClass() {
    Log().clear();
    registered_ = RegisterWindowClass({kName, &RecordingProc});
  }
  ~RecordingClass() {
    for (WindowHandle window : windows_) DestroyWindow(window);
    Message drained;
    while (PeekMessage(drained)) {
    }
    UnregisterWindowClass(kName);
  }
  RecordingClass(const RecordingClass&) = delete;
  RecordingClass& operator=(const RecordingClass&) = delete;

  bool Registered() const { return registered_; }

  WindowHandle Create(uint32_t style = kWindowVisible, WindowHandle parent = WindowHandle::None, int width = 300,
                      int height = 200, int x = 0, int y = 0) {
    WindowDesc desc;
    desc.className = kName;
    desc.style = style;
    desc.parent = parent;
    desc.x = x;
    desc.y = y;
    desc.width = width;
    desc.height = height;
    WindowHandle window = CreateWindow(desc);
    windows_.push_back(window);
    return window;
  }

 private:
  bool registered_ = false;
  std::vector<WindowHandle> windows_;
};

// The ids of the logged messages, optionally only those of one window.
inline std::vector<uint32_t> LoggedIds(WindowHandle window = WindowHandle::None) {
  std::vector<uint32_t> ids;
  for (const Received& received : Log())
    if (window == WindowHandle::None || received.window == window) ids.push_back(received.id);
  return ids;
}

}  // namespace vx::test
