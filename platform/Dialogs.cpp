#include "platform/Dialogs.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/Backend.h"
#include "platform/Input.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/WindowState.h"

namespace vx {
namespace {

constexpr const char* kProgressClass = "VxProgressWindow";

bool Offers(MessageBoxButtons buttons, MessageBoxAnswer answer) {
  if (answer == MessageBoxAnswer::kClosed) return true;
  if (buttons == MessageBoxButtons::kOk) return answer == MessageBoxAnswer::kOk;
  return answer == MessageBoxAnswer::kYes || answer == MessageBoxAnswer::kNo;
}

struct Drop {
  WindowHandle window;
  std::vector<std::string> paths;
  Point point;
};

std::map<uint32_t, Drop> g_drops;
uint32_t g_nextDrop = 1;

const Drop* FindDrop(DropHandle drop) {
  auto it = g_drops.find(static_cast<uint32_t>(drop));
  return it == g_drops.end() ? nullptr : &it->second;
}

}  // namespace

void Beep() { CurrentBackend().Beep(); }

MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) {
  MessageBoxAnswer answer = CurrentBackend().ShowMessageBox(request);
  return Offers(request.buttons, answer) ? answer : MessageBoxAnswer::kClosed;
}

std::vector<FileFilter> ParseFileFilters(std::string_view text) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    size_t bar = text.find('|');
    std::string_view part = text.substr(0, bar);
    if (part.empty()) break;
    parts.push_back(part);
    if (bar == std::string_view::npos) break;
    text.remove_prefix(bar + 1);
  }
  std::vector<FileFilter> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) filters.push_back({std::string(parts[i]), std::string(parts[i + 1])});
  return filters;
}

std::optional<std::string> ChooseFile(const FileDialogRequest& request) { return CurrentBackend().ChooseFile(request); }

ProgressWindow::~ProgressWindow() { Close(); }

bool ProgressWindow::Open(const ProgressDesc& desc) {
  if (IsOpen()) return false;
  if (!IsWindowClassRegistered(kProgressClass) && !RegisterWindowClass({kProgressClass, &ProgressWindow::Procedure}))
    return false;
  WindowDesc window;
  window.className = kProgressClass;
  window.text = desc.title;
  window.style = kWindowMessageOnly;
  window.userData = this;
  window_ = CreateWindow(window);
  if (window_ == WindowHandle::None) return false;
  text_ = desc.text;
  position_ = 0;
  stopPressed_ = false;
  CurrentBackend().ProgressOpened(window_, desc);
  return true;
}

void ProgressWindow::Close() {
  if (!IsOpen()) return;
  WindowHandle window = std::exchange(window_, WindowHandle::None);
  CurrentBackend().ProgressClosed(window);
  DestroyWindow(window);
}

bool ProgressWindow::IsOpen() const { return IsWindow(window_); }

void ProgressWindow::SetText(std::string_view text) {
  text_ = text;
  if (IsOpen()) CurrentBackend().ProgressChanged(window_, text_, position_);
}

void ProgressWindow::SetPosition(int position) {
  position_ = std::clamp(position, 0, 100);
  if (IsOpen()) CurrentBackend().ProgressChanged(window_, text_, position_);
}

intptr_t ProgressWindow::Procedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kMsgCommand && wParam == kProgressStopCommand) {
    if (auto* progress = static_cast<ProgressWindow*>(GetWindowUserData(window))) {
      progress->stopPressed_ = true;
      progress->Close();
    }
    return 0;
  }
  return DefWindowProc(window, message, wParam, lParam);
}

bool AcceptDroppedFiles(WindowHandle window, bool accept) {
  detail::WindowRecord* record = detail::Find(window);
  if (!record) return false;
  record->acceptsDrops = accept;
  return true;
}

bool AcceptsDroppedFiles(WindowHandle window) {
  detail::WindowRecord* record = detail::Find(window);
  return record && record->acceptsDrops;
}

bool DeliverDroppedFiles(WindowHandle window, const std::vector<std::string>& paths, Point client) {
  if (!AcceptsDroppedFiles(window) || paths.empty()) return false;
  uint32_t handle = g_nextDrop++;
  g_drops.emplace(handle, Drop{window, paths, client});
  return PostMessage(window, kMsgDropFiles, handle);
}

int DroppedFileCount(DropHandle drop) {
  const Drop* found = FindDrop(drop);
  return found ? static_cast<int>(found->paths.size()) : 0;
}

std::string DroppedFile(DropHandle drop, int index) {
  const Drop* found = FindDrop(drop);
  if (!found || index < 0 || static_cast<size_t>(index) >= found->paths.size()) return {};
  return found->paths[static_cast<size_t>(index)];
}

Point DropPoint(DropHandle drop) {
  const Drop* found = FindDrop(drop);
  return found ? found->point : Point{};
}

void FinishDrop(DropHandle drop) { g_drops.erase(static_cast<uint32_t>(drop)); }

namespace detail {

void ForgetDropsOf(WindowHandle window) {
  std::erase_if(g_drops, [window](const auto& entry) { return entry.second.window == window; });
}

}  // namespace detail
}  // namespace vx
