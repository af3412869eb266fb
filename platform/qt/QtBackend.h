// The Qt 6 Widgets backend of the platform layer: the viewer's real windows.
//
// Every window of the layer that is not message-only is shown by a QWidget
// (WindowWidget.h): a top-level widget, or a child widget of its parent's.
// Presenting into a window paints its widget; the user's pointer, keys,
// focus, resizing, closing and dropped files come back through the layer's
// input functions. Cursors become QCursors; message boxes are QMessageBoxes,
// file choice a QFileDialog with the request's filters, the progress window a
// small dialog with a stop button. The layer's message pump runs from the Qt
// event loop (QtMessagePump.h), so timers and socket notifications arrive as
// the layer's messages while QApplication::exec() runs.
//
// Use: construct it after the QApplication; that installs it as the layer's
// backend. Destroying it puts the headless backend back and closes the
// widgets it still shows. One at a time, on the thread of the QApplication.
#pragma once

#include <QCursor>
#include <QPointer>
#include <map>
#include <memory>

#include "platform/Backend.h"
#include "platform/qt/QtExport.h"

class QWidget;

namespace vx {

class ProgressDialog;
class QtMessagePump;
class WindowWidget;

class VX_PLATFORM_QT_API QtBackend final : public Backend {
 public:
  QtBackend();
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  // The widget that shows the window; null for message-only, destroyed and
  // unknown windows. A host may put a top-level window's widget into its own
  // Qt layout (as a main window's central widget); the layout then decides
  // its place and size, and the layer follows.
  QWidget* Widget(WindowHandle window) const;

  void WindowCreated(WindowHandle window, const WindowDesc& desc) override;
  void WindowDestroyed(WindowHandle window) override;
  void WindowShown(WindowHandle window, bool visible) override;
  void WindowMoved(WindowHandle window, const Rect& screenRect) override;
  void WindowTextChanged(WindowHandle window, const std::string& text) override;
  void Present(WindowHandle window, const FrameView& surface, const Rect& changed) override;
  int ScreenDepth() const override;
  bool Screen565() const override;
  void Beep() override;
  void ShowCursorShape(CursorHandle cursor) override;
  void WarpPointer(Point screen) override;
  void FocusChanged(WindowHandle window) override;
  void CaptureChanged(WindowHandle window) override;
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;
  void ProgressOpened(WindowHandle dialog, const ProgressDesc& desc) override;
  void ProgressChanged(WindowHandle dialog, std::string_view text, int position) override;
  void ProgressClosed(WindowHandle dialog) override;
  void ProcessNativeEvents() override;

 private:
  WindowWidget* Find(WindowHandle window) const;

  std::map<WindowHandle, QPointer<WindowWidget>> widgets_;
  std::map<WindowHandle, QPointer<ProgressDialog>> progress_;  // Qt deletes one whose owner goes
  QCursor cursor_;
  std::unique_ptr<QtMessagePump> pump_;
};

}  // namespace vx
