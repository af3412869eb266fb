// Drives the layer's message pump from the Qt event loop, on the one thread.
//
// Whenever Qt's loop is about to sleep, the pump arms a timer for the moment
// the layer next has work: at once when a message waits (posted, a paint, a
// due timer, a finished name lookup), else when the layer's next timer is
// due; and it watches the sockets the layer waits on, so that their
// readiness wakes the loop. The timer's pass dispatches what is pending, for
// a bounded time so that Qt's own events (input, painting) keep flowing even
// when a timer handler takes longer than its interval. kMsgQuit ends the Qt
// event loop with its exit code.
//
// The layer's messages are not dispatched while one of them is being
// dispatched (its handler may be inside a modal Qt dialog) or while a modal
// dialog of the backend is open: they wait, as under the headless backend,
// whose dialogs answer at once. A handler that pumps the layer by itself (a
// blocking download with its progress window) gets Qt's events processed
// from each PeekMessage through ProcessNativeEvents.
#pragma once

#include <QTimer>
#include <map>
#include <memory>
#include <set>

#include "platform/MessagePump.h"

class QSocketNotifier;

namespace vx {

class QtMessagePump {
 public:
  QtMessagePump();
  ~QtMessagePump();
  QtMessagePump(const QtMessagePump&) = delete;
  QtMessagePump& operator=(const QtMessagePump&) = delete;

  void ProcessNativeEvents();

  // While one lives, the layer's messages wait.
  class Hold {
   public:
    explicit Hold(QtMessagePump& pump) : pump_(pump) { ++pump_.holds_; }
    ~Hold() { --pump_.holds_; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    QtMessagePump& pump_;
  };

 private:
  using Notifiers = std::map<int, std::unique_ptr<QSocketNotifier>>;

  void Arm();
  void Pass();
  bool Peek(Message& out, bool remove);
  void WatchSockets();
  void Watch(Notifiers& notifiers, int type, const std::set<int>& wanted);

  QTimer timer_;
  Notifiers readers_;
  Notifiers writers_;
  int holds_ = 0;               // a message is being dispatched, or a modal dialog is open
  bool peeking_ = false;         // the pump itself looks at the queue
  bool inNativeEvents_ = false;  // Qt's events are being processed for the layer
};

}  // namespace vx
