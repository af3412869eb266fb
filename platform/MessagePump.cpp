#include "platform/MessagePump.h"

#include <algorithm>
#include <limits>

#include "platform/Backend.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/WindowState.h"

namespace vx {
namespace detail {

void Enqueue(const Message& message, int socket, uint32_t socketEvent) {
  State().queue.push_back({message, socket, socketEvent});
}

}  // namespace detail

namespace {

using detail::Find;
using detail::State;

struct Timer {
  WindowHandle window;
  uintptr_t id;
  uint32_t intervalMs;
  uint64_t dueMs;
  uint64_t order;  // ties of due time go in the order the timers were set
  TimerProc procedure;
};

std::vector<Timer> g_timers;
uint64_t g_timerOrder = 0;

bool Passes(const MessageFilter& filter, WindowHandle window, uint32_t id) {
  if (filter.window != WindowHandle::None && filter.window != window) return false;
  if (filter.first == 0 && filter.last == 0) return true;
  return id >= filter.first && id <= filter.last;
}

bool TakePosted(Message& out, const MessageFilter& filter, PeekMode mode) {
  auto& queue = State().queue;
  auto it = std::find_if(queue.begin(), queue.end(), [&](const detail::QueuedMessage& queued) {
    return Passes(filter, queued.message.window, queued.message.id);
  });
  if (it == queue.end()) return false;
  out = it->message;
  if (mode == PeekMode::kRemove) {
    detail::QueuedMessage taken = *it;
    queue.erase(it);
    if (taken.socket >= 0) detail::SocketNotificationTaken(taken.socket, taken.socketEvent);
  }
  return true;
}

bool TakePaint(Message& out, const MessageFilter& filter, PeekMode mode) {
  WindowHandle first = WindowHandle::None;
  for (const auto& [id, record] : State().windows)
    if (record->invalid && Passes(filter, record->handle, kMsgPaint) &&
        (first == WindowHandle::None || record->handle < first))
      first = record->handle;
  if (first == WindowHandle::None) return false;
  out = {first, kMsgPaint, 0, 0};
  if (mode == PeekMode::kRemove) Find(first)->invalid = false;
  return true;
}

bool TakeTimer(Message& out, const MessageFilter& filter, PeekMode mode) {
  uint64_t now = NowMs();
  Timer* due = nullptr;
  for (Timer& timer : g_timers) {
    if (timer.dueMs > now || !Passes(filter, timer.window, kMsgTimer)) continue;
    if (!due || timer.dueMs < due->dueMs || (timer.dueMs == due->dueMs && timer.order < due->order)) due = &timer;
  }
  if (!due) return false;
  out = {due->window, kMsgTimer, due->id, reinterpret_cast<intptr_t>(due->procedure)};
  if (mode == PeekMode::kRemove) {
    due->dueMs = now + due->intervalMs;
    due->order = g_timerOrder++;
  }
  return true;
}

}  // namespace

namespace detail {

void ForgetTimersOf(WindowHandle window) {
  std::erase_if(g_timers, [window](const Timer& timer) { return timer.window == window; });
}

}  // namespace detail

bool PostMessage(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  if (window != WindowHandle::None && !Find(window)) return false;
  detail::Enqueue({window, id, wParam, lParam});
  return true;
}

intptr_t SendMessage(WindowHandle window, uint32_t id, uintptr_t wParam, intptr_t lParam) {
  detail::WindowRecord* record = Find(window);
  if (!record) return 0;
  return record->procedure(window, id, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  detail::Enqueue({WindowHandle::None, kMsgQuit, static_cast<uintptr_t>(exitCode), 0});
}

bool PeekMessage(Message& out, MessageFilter filter, PeekMode mode) {
  CurrentBackend().ProcessNativeEvents();
  detail::PollSockets(0);
  return TakePosted(out, filter, mode) || TakePaint(out, filter, mode) || TakeTimer(out, filter, mode);
}

bool GetMessage(Message& out) {
  while (!PeekMessage(out)) detail::PollSockets(MillisecondsToNextTimer());
  return out.id != kMsgQuit;
}

intptr_t DispatchMessage(const Message& message) {
  if (message.id == kMsgTimer && message.lParam != 0) {
    if (message.window != WindowHandle::None && !Find(message.window)) return 0;
    reinterpret_cast<TimerProc>(message.lParam)(message.window, kMsgTimer, message.wParam, NowMs());
    return 0;
  }
  return SendMessage(message.window, message.id, message.wParam, message.lParam);
}

int DispatchPendingMessages() {
  int count = 0;
  Message message;
  while (PeekMessage(message, {}, PeekMode::kKeep)) {
    if (message.id == kMsgQuit) break;
    if (!PeekMessage(message)) break;
    DispatchMessage(message);
    ++count;
  }
  return count;
}

int MillisecondsToNextTimer() {
  if (g_timers.empty()) return -1;
  uint64_t next = std::numeric_limits<uint64_t>::max();
  for (const Timer& timer : g_timers) next = std::min(next, timer.dueMs);
  uint64_t now = NowMs();
  if (next <= now) return 0;
  return static_cast<int>(std::min<uint64_t>(next - now, std::numeric_limits<int>::max()));
}

uintptr_t SetTimer(WindowHandle window, uintptr_t id, uint32_t intervalMs, TimerProc procedure) {
  if (id == 0 || !Find(window)) return 0;
  KillTimer(window, id);
  uint32_t interval = std::max<uint32_t>(1, intervalMs);
  g_timers.push_back({window, id, interval, NowMs() + interval, g_timerOrder++, procedure});
  return id;
}

bool KillTimer(WindowHandle window, uintptr_t id) {
  return std::erase_if(g_timers, [&](const Timer& timer) { return timer.window == window && timer.id == id; }) > 0;
}

}  // namespace vx
