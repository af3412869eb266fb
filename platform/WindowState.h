// State shared by the window, pump and socket modules of the library.
// Internal: not installed for other libraries, nothing here is exported.
#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Key.h"
#include "platform/MessagePump.h"
#include "platform/Window.h"

namespace vx::detail {

// xRGB rows of `width` pixels, shown opaque whatever the x bytes hold.
struct WindowSurface {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

struct WindowRecord {
  WindowHandle handle = WindowHandle::None;
  std::string className;
  WindowProc procedure = nullptr;
  void* userData = nullptr;
  std::map<std::string, void*, std::less<>> properties;
  std::string text;
  uint32_t style = 0;
  WindowHandle parent = WindowHandle::None;
  Rect rect;  // in the parent's client area (the screen's for top-level windows)
  bool invalid = false;
  bool eraseRequested = false;
  bool destroying = false;
  bool acceptsDrops = false;
  // What was drawn into the window, made and resized to the client area
  // when a WindowDC draws or the pixels are asked for. Shared with the
  // backend it was presented to and with whoever draws into it in place: a
  // resize makes a new surface and leaves the shared one as it was.
  std::shared_ptr<WindowSurface> surface;
};

struct ClassRecord {
  WindowProc procedure = nullptr;
  CursorHandle cursor = CursorHandle::None;
  int windowCount = 0;
};

// A queued message; notifications of a socket remember which socket and
// event they are, so the socket module knows when they have been taken.
struct QueuedMessage {
  Message message;
  int socket = -1;
  uint32_t socketEvent = 0;
};

struct WindowSystem {
  uint32_t nextHandle = 1;
  std::unordered_map<uint32_t, std::unique_ptr<WindowRecord>> windows;
  std::map<std::string, ClassRecord, std::less<>> classes;
  std::deque<QueuedMessage> queue;
  WindowHandle focus = WindowHandle::None;
  WindowHandle capture = WindowHandle::None;
  Point pointer;  // on the screen
  CursorHandle cursor = CursorHandle::None;  // shown now
  std::bitset<static_cast<size_t>(Key::kCount)> keysDown;
};

WindowSystem& State();
WindowRecord* Find(WindowHandle window);
ClassRecord* FindClass(std::string_view name);

// Queues a message, tagged with its socket when it is a notification.
void Enqueue(const Message& message, int socket = -1, uint32_t socketEvent = 0);

// Timers of a destroyed window go with it.
void ForgetTimersOf(WindowHandle window);

// The socket module. PollSockets resolves the pending lookups and polls the
// registered sockets, waiting up to timeoutMs (-1: until something happens;
// 0: not at all) unless a lookup finished, and posts what it finds.
void PollSockets(int timeoutMs);
void SocketNotificationTaken(int socket, uint32_t event);
void ForgetSocketsOf(WindowHandle window);

// Unfinished drops of a destroyed window go with it.
void ForgetDropsOf(WindowHandle window);

}  // namespace vx::detail
