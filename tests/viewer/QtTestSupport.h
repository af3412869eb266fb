// Helpers of the Qt backend's tests.
#pragma once

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

#include "platform/HeadlessBackend.h"
#include "platform/qt/QtBackend.h"
#include "tests/platform/WindowTestSupport.h"

namespace vx::test {

// Runs the Qt event loop, and nothing else, until `done` holds (looked at
// each time the loop is about to sleep) or the time is up. Nothing here wakes
// the loop: only the backend's own timers and socket watches can.
inline bool RunQtUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  QEventLoop loop;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
    if (done()) loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
  return done();
}

// Acts on the next modal dialog as soon as its loop shows it.
class OnNextModal {
 public:
  explicit OnNextModal(std::function<void(QWidget*)> action) : action_(std::move(action)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        poll_.stop();
        action_(modal);
      }
    });
    poll_.start(5);
  }

 private:
  std::function<void(QWidget*)> action_;
  QTimer poll_;
};

// The Qt backend installed over a recording window class.
class QtBackendTest : public ::testing::Test {
 protected:
  // A visible top-level window (or child) at a place, shown by Qt.
  WindowHandle CreateShown(int x, int y, int width, int height, WindowHandle parent = WindowHandle::None) {
    return windows_.Create(kWindowVisible, parent, width, height, x, y);
  }

  // The first message of that id the window received, if any.
  static const Received* Logged(WindowHandle window, uint32_t id) {
    for (const Received& received : Log())
      if (received.window == window && received.id == id) return &received;
    return nullptr;
  }

  QtBackend backend_;
  RecordingClass windows_;
};

}  // namespace vx::test
