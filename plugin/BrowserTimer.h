// A timer on the browser's main loop: GLib's default main context, which the
// browser engines that run plug-ins on Linux iterate on their window thread.
// A windowless instance has no window whose timer could tick it; this one
// fires between the browser's own events. Where nothing iterates that context
// (a host without a GLib loop), the timer simply never fires: the instance
// then draws only what the expose events ask for.
#pragma once

#include <cstdint>

namespace vx::plugin {

class BrowserTimer {
 public:
  using Callback = void (*)(void* data);

  BrowserTimer() = default;
  ~BrowserTimer() { Stop(); }
  BrowserTimer(const BrowserTimer&) = delete;
  BrowserTimer& operator=(const BrowserTimer&) = delete;

  // Calls callback(data) every intervalMs from the browser's loop until
  // stopped (a running timer is started anew). The callback may stop or
  // destroy the timer.
  void Start(uint32_t intervalMs, Callback callback, void* data);
  void Stop();
  bool Running() const { return source_ != 0; }

 private:
  static int Fire(void* timer);

  unsigned int source_ = 0;
  Callback callback_ = nullptr;
  void* data_ = nullptr;
};

}  // namespace vx::plugin
