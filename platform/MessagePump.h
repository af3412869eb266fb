// The message queue, the pump and timers.
//
// One queue per process (everything runs on one thread). Messages come out
// in this order, as the window code of the hosts expects:
//   1. posted messages, first in first out (socket notifications and name
//      lookups are posted as the pump finds them: each pass polls the
//      registered sockets before it looks at the queue, see Socket.h);
//   2. kMsgPaint for invalidated windows;
//   3. kMsgTimer for timers that are due, the earliest due first (of equal
//      times, the one scheduled longest ago).
// A timer never piles up: it yields one kMsgTimer when due, and taking that
// message out of the queue schedules its next firing one interval after the
// current time (as read through platform/Clock.h, so tests step time with a
// ManualClock).
#pragma once

#include <cstdint>

#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

struct Message {
  WindowHandle window = WindowHandle::None;  // None for messages of the thread (kMsgQuit)
  uint32_t id = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// Called instead of the window procedure for timers set with a procedure:
// (window, kMsgTimer, timer id, the time in milliseconds from NowMs()).
using TimerProc = void (*)(WindowHandle, uint32_t message, uintptr_t timerId, uint64_t nowMs);

// Queues a message for the window; false for an invalid window.
// PostMessage(WindowHandle::None, ...) queues a message of the thread.
VX_PLATFORM_API bool PostMessage(WindowHandle window, uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);
// Calls the window's procedure at once and returns its result; 0 for an
// invalid window.
VX_PLATFORM_API intptr_t SendMessage(WindowHandle window, uint32_t id, uintptr_t wParam = 0, intptr_t lParam = 0);
VX_PLATFORM_API void PostQuitMessage(int exitCode);

// Which messages a peek looks at. A window of None takes every window's (and
// the thread's) messages; first = last = 0 takes every number.
struct MessageFilter {
  WindowHandle window = WindowHandle::None;
  uint32_t first = 0;
  uint32_t last = 0;
};

enum class PeekMode { kRemove, kKeep };

// The next message (in the order above) that passes the filter, without
// waiting; false when there is none.
VX_PLATFORM_API bool PeekMessage(Message& out, MessageFilter filter = {}, PeekMode mode = PeekMode::kRemove);
// Waits for the next message; false when it is kMsgQuit (its exit code is
// then in out.wParam). While nothing is queued it sleeps in poll() on the
// registered sockets until the next timer is due. With a ManualClock installed
// time does not move while it waits, so tests use PeekMessage.
VX_PLATFORM_API bool GetMessage(Message& out);
// Hands the message to its window's procedure (or to the timer's procedure)
// and returns the result; 0 for a window that no longer exists.
VX_PLATFORM_API intptr_t DispatchMessage(const Message& message);
// Dispatches every message that is pending now; returns how many. Stops at
// kMsgQuit, which it leaves in the queue for GetMessage.
VX_PLATFORM_API int DispatchPendingMessages();

// Milliseconds until the next timer is due (0 when one is due now, -1 when
// there is none). A backend with its own event loop uses it to know when to
// pump next.
VX_PLATFORM_API int MillisecondsToNextTimer();

// Sets (or resets) timer `id` of the window to fire every `intervalMs`
// (at least 1) from now. Returns id, or 0 for an invalid window or id 0.
VX_PLATFORM_API uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t intervalMs, TimerProc procedure = nullptr);
// Stops a timer; its message is not delivered any more. False when there
// was no such timer.
VX_PLATFORM_API bool KillTimer(WindowHandle window, uintptr_t id);

}  // namespace vx
