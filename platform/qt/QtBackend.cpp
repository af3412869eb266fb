#include "platform/qt/QtBackend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <cassert>

#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/qt/FileFilters.h"
#include "platform/qt/ModalDialog.h"
#include "platform/qt/ProgressDialog.h"
#include "platform/qt/QtCursor.h"
#include "platform/qt/QtMessagePump.h"
#include "platform/qt/WindowWidget.h"

namespace vx {
namespace {

QMessageBox::Icon IconOf(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::kQuestion: return QMessageBox::Question;
    case MessageBoxIcon::kWarning: return QMessageBox::Warning;
    case MessageBoxIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

MessageBoxAnswer AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok: return MessageBoxAnswer::kOk;
    case QMessageBox::Yes: return MessageBoxAnswer::kYes;
    case QMessageBox::No: return MessageBoxAnswer::kNo;
    default: return MessageBoxAnswer::kClosed;
  }
}

}  // namespace

QtBackend::QtBackend() : cursor_(Qt::ArrowCursor) {
  assert(QApplication::instance() && "construct the QApplication before the Qt backend");
  pump_ = std::make_unique<QtMessagePump>();
  SetBackend(this);
}

QtBackend::~QtBackend() {
  SetBackend(nullptr);
  for (auto& [dialog, progress] : progress_) delete progress.data();
  for (auto& [window, widget] : widgets_) {
    if (!widget) continue;
    widget->Detach();  // one in a host's layout stays there, showing nothing new
    if (widget->isWindow()) delete widget.data();
  }
  // Widgets of destroyed windows wait for deletion in the event queue.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

WindowWidget* QtBackend::Find(WindowHandle window) const {
  auto it = widgets_.find(window);
  return it == widgets_.end() ? nullptr : it->second.data();
}

QWidget* QtBackend::Widget(WindowHandle window) const { return Find(window); }

void QtBackend::WindowCreated(WindowHandle window, const WindowDesc& desc) {
  WindowWidget* parent = Find(desc.parent);
  auto* widget = new WindowWidget(window, parent);
  widget->setWindowTitle(QString::fromStdString(desc.text));
  widget->setGeometry(desc.x, desc.y, std::max(0, desc.width), std::max(0, desc.height));
  widget->setCursor(cursor_);
  widget->hide();  // shown when the layer shows it, not with its parent
  widgets_[window] = widget;
}

void QtBackend::WindowDestroyed(WindowHandle window) {
  auto it = widgets_.find(window);
  if (it == widgets_.end()) return;
  if (WindowWidget* widget = it->second) {
    // Later: the window may be destroyed from one of the widget's own events.
    widget->Detach();
    widget->hide();
    widget->deleteLater();
  }
  widgets_.erase(it);
}

void QtBackend::WindowShown(WindowHandle window, bool visible) {
  if (WindowWidget* widget = Find(window)) widget->setVisible(visible);
}

void QtBackend::WindowMoved(WindowHandle window, const Rect& screenRect) {
  if (WindowWidget* widget = Find(window)) widget->Place(screenRect);
}

void QtBackend::WindowTextChanged(WindowHandle window, const std::string& text) {
  if (WindowWidget* widget = Find(window)) widget->setWindowTitle(QString::fromStdString(text));
}

void QtBackend::Present(WindowHandle window, const FrameView& surface, const Rect& changed) {
  if (WindowWidget* widget = Find(window)) widget->ShowFrame(surface, changed);
}

int QtBackend::ScreenDepth() const {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->depth() : 32;
}

bool QtBackend::Screen565() const { return ScreenDepth() == 16; }

void QtBackend::Beep() { QApplication::beep(); }

void QtBackend::ShowCursorShape(CursorHandle cursor) {
  // The layer shows the shape of the window under the pointer; setting it on
  // every window's widget shows it wherever the pointer is over one.
  cursor_ = ToQCursor(cursor);
  for (auto& [window, widget] : widgets_)
    if (widget) widget->setCursor(cursor_);
}

void QtBackend::WarpPointer(Point screen) {
  if (QCursor::pos() != QPoint(screen.x, screen.y)) QCursor::setPos(screen.x, screen.y);
}

void QtBackend::FocusChanged(WindowHandle window) {
  if (WindowWidget* widget = Find(window)) {
    widget->TakeFocus();
  } else if (auto* focused = dynamic_cast<WindowWidget*>(QApplication::focusWidget())) {
    focused->clearFocus();
  }
}

// Qt sends every pointer event to the widget pressed until the button is let
// go, and the layer routes pointer input to its capture window itself, so
// there is nothing to grab.
void QtBackend::CaptureChanged(WindowHandle) {}

MessageBoxAnswer QtBackend::ShowMessageBox(const MessageBoxRequest& request) {
  QMessageBox::StandardButtons buttons =
      request.buttons == MessageBoxButtons::kYesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
  QMessageBox box(IconOf(request.icon), QString::fromStdString(request.caption), QString::fromStdString(request.text),
                  buttons, Find(request.owner));
  box.setTextFormat(Qt::PlainText);  // an engine's error text may hold '<'
  QtMessagePump::Hold hold(*pump_);
  ExecModal(box);
  return AnswerOf(box.standardButton(box.clickedButton()));
}

std::optional<std::string> QtBackend::ChooseFile(const FileDialogRequest& request) {
  bool save = request.kind == FileDialogKind::kSave;
  QFileDialog dialog(Find(request.owner));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.promptToOverwrite);
  QStringList filters = NameFilters(request.filters);
  dialog.setNameFilters(filters);
  if (request.selectedFilter >= 0 && request.selectedFilter < filters.size())
    dialog.selectNameFilter(filters[request.selectedFilter]);
  dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));  // Qt drops a leading '.'
  if (!request.fileName.empty()) dialog.selectFile(QFile::decodeName(request.fileName.c_str()));
  QtMessagePump::Hold hold(*pump_);
  if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

void QtBackend::ProgressOpened(WindowHandle dialog, const ProgressDesc& desc) {
  delete progress_[dialog].data();
  progress_[dialog] = new ProgressDialog(desc, Find(desc.owner),
                                         [dialog] { PostMessage(dialog, kMsgCommand, kProgressStopCommand); });
}

void QtBackend::ProgressChanged(WindowHandle dialog, std::string_view text, int position) {
  if (auto it = progress_.find(dialog); it != progress_.end() && it->second) it->second->Show(text, position);
}

void QtBackend::ProgressClosed(WindowHandle dialog) {
  auto it = progress_.find(dialog);
  if (it == progress_.end()) return;
  delete it->second.data();
  progress_.erase(it);
}

void QtBackend::ProcessNativeEvents() { pump_->ProcessNativeEvents(); }

}  // namespace vx
