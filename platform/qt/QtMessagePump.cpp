#include "platform/qt/QtMessagePump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include "platform/Clock.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/Socket.h"

namespace vx {
namespace {

// A pass hands control back to Qt after this long, and goes on at once.
constexpr uint64_t kPassBudgetMs = 15;

// Sets a flag for one scope.
class Raised {
 public:
  explicit Raised(bool& flag) : flag_(flag) { flag_ = true; }
  ~Raised() { flag_ = false; }
  Raised(const Raised&) = delete;
  Raised& operator=(const Raised&) = delete;

 private:
  bool& flag_;
};

}  // namespace

QtMessagePump::QtMessagePump() {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Pass(); });
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &timer_,
                   [this] { Arm(); });
  timer_.start(0);
}

QtMessagePump::~QtMessagePump() = default;

bool QtMessagePump::Peek(Message& out, bool remove) {
  Raised peeking(peeking_);
  return PeekMessage(out, {}, remove ? PeekMode::kRemove : PeekMode::kKeep);
}

void QtMessagePump::ProcessNativeEvents() {
  if (peeking_ || inNativeEvents_) return;
  Raised processing(inNativeEvents_);
  QCoreApplication::processEvents();
}

void QtMessagePump::Arm() {
  if (holds_ > 0 || inNativeEvents_) {
    timer_.stop();  // the pass under way, or the program's own pumping, goes on afterwards
    return;
  }
  Message waiting;
  int wait = Peek(waiting, false) ? 0 : MillisecondsToNextTimer();
  WatchSockets();
  if (wait < 0)
    timer_.stop();
  else
    timer_.start(wait);
}

void QtMessagePump::Pass() {
  if (holds_ > 0 || inNativeEvents_) return;
  uint64_t start = NowMs();
  Message message;
  while (Peek(message, true)) {
    if (message.id == kMsgQuit && message.window == WindowHandle::None) {
      // Queued, so that a quit posted before the loop runs still ends it.
      int exitCode = static_cast<int>(message.wParam);
      QMetaObject::invokeMethod(QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); },
                                Qt::QueuedConnection);
      break;
    }
    {
      Hold dispatching(*this);
      DispatchMessage(message);
    }
    if (NowMs() - start >= kPassBudgetMs) {
      timer_.start(0);
      break;
    }
  }
  WatchSockets();
}

void QtMessagePump::WatchSockets() {
  std::set<int> reads, writes;
  for (const AwaitedSocket& socket : AwaitedSockets()) {
    if (socket.read) reads.insert(socket.socket);
    if (socket.write) writes.insert(socket.socket);
  }
  Watch(readers_, QSocketNotifier::Read, reads);
  Watch(writers_, QSocketNotifier::Write, writes);
}

void QtMessagePump::Watch(Notifiers& notifiers, int type, const std::set<int>& wanted) {
  std::erase_if(notifiers, [&](const auto& entry) { return !wanted.contains(entry.first); });
  for (int socket : wanted) {
    std::unique_ptr<QSocketNotifier>& notifier = notifiers[socket];
    if (notifier) {
      notifier->setEnabled(true);
      continue;
    }
    notifier = std::make_unique<QSocketNotifier>(socket, static_cast<QSocketNotifier::Type>(type));
    QSocketNotifier* raw = notifier.get();
    // Readiness stays until the pass has taken it in; quiet the notifier
    // until the next Arm looks again.
    QObject::connect(raw, &QSocketNotifier::activated, &timer_, [this, raw] {
      raw->setEnabled(false);
      timer_.start(0);
    });
  }
}

}  // namespace vx
