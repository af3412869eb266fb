#include "platform/qt/WindowWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QUrl>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Input.h"
#include "platform/InputState.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/qt/KeyMap.h"

namespace vx {
namespace {

std::vector<std::string> DroppedPaths(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  return paths;
}

WindowWidget* LayerWidget(QWidget* widget) { return dynamic_cast<WindowWidget*>(widget); }

constexpr uint32_t kOpaqueAlpha = 0xFF000000;

}  // namespace

WindowWidget::WindowWidget(WindowHandle window, QWidget* parent) : QWidget(parent), window_(window) {
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setAcceptDrops(true);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool WindowWidget::IsLayerTopLevel() const { return GetParentWindow(window_) == WindowHandle::None; }

void WindowWidget::ShowFrame(const FrameView& surface, const Rect& changed) {
  const bool resized = surface.width != frame_.width || surface.height != frame_.height;
  frame_ = surface;
  if (resized) {
    update();
  } else {
    update(QRect(changed.left, changed.top, changed.Width(), changed.Height()));
  }
}

void WindowWidget::Place(const Rect& screenRect) {
  if (reporting_) return;
  QRect target(screenRect.left, screenRect.top, screenRect.Width(), screenRect.Height());
  if (!IsLayerTopLevel()) {
    Point origin = ScreenToClient(GetParentWindow(window_), {screenRect.left, screenRect.top});
    target.moveTopLeft({origin.x, origin.y});
  } else if (!isWindow()) {
    return;  // a host's layout decides where this one goes
  }
  if (geometry() != target) setGeometry(target);
}

// As where the layer comes from, the focus makes the window it lies in the
// active one, so that keys reach it without a click first; one still
// hidden takes the focus when it is shown.
void WindowWidget::TakeFocus() {
  setFocus(Qt::OtherFocusReason);
  if (isVisible() && !isActiveWindow()) activateWindow();
}

void WindowWidget::ReportGeometry() {
  if (window_ == WindowHandle::None) return;
  QPoint origin = IsLayerTopLevel() ? mapToGlobal(QPoint(0, 0)) : pos();
  reporting_ = true;
  MoveWindow(window_, origin.x(), origin.y(), width(), height());
  reporting_ = false;
}

void WindowWidget::ReportOriginIfMoved() {
  WindowWidget* top = this;
  while (WindowWidget* parent = LayerWidget(top->parentWidget())) top = parent;
  QPoint origin = top->mapToGlobal(QPoint(0, 0));
  Rect known = GetWindowScreenRect(top->window_);
  if (known.left != origin.x() || known.top != origin.y()) top->ReportGeometry();
}

void WindowWidget::DeliverPointerAt(const QPointF& global) {
  ReportOriginIfMoved();
  QPoint point = global.toPoint();
  DeliverPointerMove({point.x(), point.y()});
}

// Qt reads the top byte of its 32-bit pixels as alpha, which the surface's
// pixels do not carry: the part painted goes through an opaque copy, made
// when Qt paints (once for any number of presents since the last paint),
// not when the layer presents. Qt fills nothing first (the widget paints
// opaquely), so whatever the surface does not cover gets the window colour
// here.
void WindowWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  QRegion uncovered = event->region();
  if (frame_.pixels) {
    const QRect surface(0, 0, frame_.width, frame_.height);
    const QRect area = event->rect() & surface;
    if (!area.isEmpty()) {
      CopyOpaque(area);
      painter.drawImage(area.topLeft(), opaque_, area);
    }
    uncovered -= surface;
  }
  for (const QRect& rect : uncovered) painter.fillRect(rect, palette().window());
}

void WindowWidget::CopyOpaque(const QRect& area) {
  if (opaque_.width() != frame_.width || opaque_.height() != frame_.height)
    opaque_ = QImage(frame_.width, frame_.height, QImage::Format_RGB32);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const uint32_t* in = frame_.pixels.get() + static_cast<size_t>(y) * frame_.width;
    auto* out = reinterpret_cast<uint32_t*>(opaque_.scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) out[x] = in[x] | kOpaqueAlpha;
  }
}

void WindowWidget::mouseMoveEvent(QMouseEvent* event) {
  if (window_ != WindowHandle::None) DeliverPointerAt(event->globalPosition());
}

void WindowWidget::mousePressEvent(QMouseEvent* event) {
  if (window_ == WindowHandle::None || event->button() != Qt::LeftButton) return;
  DeliverPointerAt(event->globalPosition());
  DeliverButton(true);
}

void WindowWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (window_ == WindowHandle::None || event->button() != Qt::LeftButton) return;
  DeliverPointerAt(event->globalPosition());
  DeliverButton(false);
}

void WindowWidget::keyPressEvent(QKeyEvent* event) {
  if (window_ == WindowHandle::None) return;
  Key key = KeyFromQt(event->key(), event->modifiers());
  if (key != Key::kNone) {
    if (event->nativeScanCode() != 0) pressed_[event->nativeScanCode()] = key;
    DeliverKey(key, true);  // a held key repeats its key-down, as the hosts expect
  }
  for (char32_t character : event->text().toUcs4()) DeliverCharacter(character);
}

void WindowWidget::keyReleaseEvent(QKeyEvent* event) {
  if (window_ == WindowHandle::None || event->isAutoRepeat()) return;
  Key key = KeyFromQt(event->key(), event->modifiers());
  if (auto it = pressed_.find(event->nativeScanCode()); it != pressed_.end()) {
    key = it->second;
    pressed_.erase(it);
  }
  DeliverKey(key, false);
}

void WindowWidget::focusInEvent(QFocusEvent*) {
  if (window_ != WindowHandle::None) SetFocus(window_);
}

void WindowWidget::focusOutEvent(QFocusEvent*) {
  // Keys let go while another widget has the keyboard never reach this one.
  pressed_.clear();
  ReleaseAllKeys();
  if (window_ == WindowHandle::None || GetFocus() != window_) return;
  // Qt already names the widget taking the focus; the layer tells the window
  // losing it which one that is.
  WindowWidget* next = LayerWidget(QApplication::focusWidget());
  SetFocus(next && next != this ? next->Window() : WindowHandle::None);
}

void WindowWidget::resizeEvent(QResizeEvent*) {
  ReportGeometry();
  if (window_ != WindowHandle::None) InvalidateWindow(window_, true);
}

void WindowWidget::moveEvent(QMoveEvent*) { ReportGeometry(); }

void WindowWidget::showEvent(QShowEvent*) {
  if (window_ == WindowHandle::None) return;
  InvalidateWindow(window_, true);
  if (GetFocus() == window_) TakeFocus();
}

void WindowWidget::closeEvent(QCloseEvent* event) {
  if (window_ == WindowHandle::None) return;
  // The window's procedure decides; its default destroys the window, which
  // closes this widget.
  event->ignore();
  PostMessage(window_, kMsgClose);
}

void WindowWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (window_ != WindowHandle::None && AcceptsDroppedFiles(window_) && !DroppedPaths(event->mimeData()).empty())
    event->acceptProposedAction();
}

void WindowWidget::dropEvent(QDropEvent* event) {
  if (window_ == WindowHandle::None) return;
  QPoint at = event->position().toPoint();
  if (DeliverDroppedFiles(window_, DroppedPaths(event->mimeData()), {at.x(), at.y()})) event->acceptProposedAction();
}

}  // namespace vx
