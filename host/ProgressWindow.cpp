#include "host/ProgressWindow.h"

#include <algorithm>

#include "platform/InputState.h"
#include "platform/MessagePump.h"

namespace vx::host {
namespace {

MessageBoxAnswer ShowOverFocus(const std::string& text, const char* caption, MessageBoxButtons buttons,
                               MessageBoxIcon icon) {
  return ShowMessageBox(MessageBoxRequest{GetFocus(), text, caption, buttons, icon});
}

}  // namespace

void CProgressWindow::Create(const std::string& text, HostKind kind) {
  ProgressDesc desc;
  desc.text = text;
  // The plug-in's window stands alone; the viewer's over the focus window.
  desc.owner = kind == HostKind::Viewer ? GetFocus() : WindowHandle::None;
  desc.stopLabel = kind == HostKind::Viewer ? "Stop" : "Cancel";
  // Without a window the download simply runs unwatched.
  static_cast<void>(window_.Open(desc));
}

void CProgressWindow::SetProgress(float fraction) { fraction_ = fraction; }

int32_t CProgressWindow::PumpMessages() {
  if (cancelled_) return 1;
  DispatchPendingMessages();
  cancelled_ = window_.StopPressed();
  window_.SetPosition(static_cast<int>(std::min(100.0f, fraction_ * 100.0f)));
  return 0;
}

int32_t CProgressWindow::Query(const std::string& text) {
  return ShowOverFocus(text, "Query", MessageBoxButtons::kYesNo, MessageBoxIcon::kQuestion) == MessageBoxAnswer::kYes
             ? kQueryYes
             : kQueryNo;
}

int32_t CProgressWindow::Notify(const std::string& text) {
  ShowOverFocus(text, "Notify", MessageBoxButtons::kOk, MessageBoxIcon::kWarning);
  return 1;
}

}  // namespace vx::host
