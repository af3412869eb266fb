// The QWidget that shows one window of the layer.
//
// It paints the window's last presented surface and turns what Qt reports
// into the layer's input: pointer moves and left-button presses at screen
// (Qt's global) coordinates, keys and typed characters, focus, the size and
// place the user or a layout gave it, the close button, and dropped files.
// A window of the layer without a parent is a top-level widget (unless a
// host placed the widget into its own Qt layout); a child window is a child
// widget of its parent's.
#pragma once

#include <QImage>
#include <QWidget>
#include <map>

#include "platform/Backend.h"
#include "platform/Key.h"

namespace vx {

class WindowWidget final : public QWidget {
 public:
  WindowWidget(WindowHandle window, QWidget* parent);

  WindowHandle Window() const { return window_; }
  // The layer's window is gone: from now on events reach nothing.
  void Detach() { window_ = WindowHandle::None; }

  // Keeps the presented surface and repaints its changed part.
  void ShowFrame(const FrameView& surface, const Rect& changed);
  // Follows a MoveWindow of the layer (screenRect in screen coordinates).
  void Place(const Rect& screenRect);
  // The layer gave the window the keyboard focus.
  void TakeFocus();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool IsLayerTopLevel() const;
  // Tells the layer where the widget is now (the screen for top-level
  // windows, the parent's client area for children).
  void ReportGeometry();
  // The layer must know where the widget is before a pointer event: a widget
  // in a host's layout moves with its Qt window without a move event of its
  // own.
  void ReportOriginIfMoved();
  void DeliverPointerAt(const QPointF& global);
  // Copies the part of the surface into opaque_, every pixel opaque.
  void CopyOpaque(const QRect& area);

  WindowHandle window_;
  FrameView frame_;
  // frame_ made opaque for Qt, kept from paint to paint so that painting
  // allocates nothing.
  QImage opaque_;
  bool reporting_ = false;          // MoveWindow from here: ignore its echo
  // Keys down by scan code: a key goes up as the key it went down as,
  // whatever Shift did meanwhile ("1" pressed, then Shift, comes up as "!").
  std::map<quint32, Key> pressed_;
};

}  // namespace vx
