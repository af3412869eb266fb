#include "platform/HeadlessBackend.h"

#include <algorithm>

#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/Png.h"

namespace vx {

void HeadlessBackend::WindowCreated(WindowHandle, const WindowDesc&) {}
void HeadlessBackend::WindowDestroyed(WindowHandle) {}
void HeadlessBackend::WindowShown(WindowHandle, bool) {}
void HeadlessBackend::WindowMoved(WindowHandle, const Rect&) {}
void HeadlessBackend::WindowTextChanged(WindowHandle, const std::string&) {}

// The window's pixels are kept as they are, not copied: they change only
// when the window is drawn into, which presents them again.
void HeadlessBackend::Present(WindowHandle window, const FrameView& surface, const Rect&) {
  Presented& presented = presented_[window];
  presented.surface = surface;
  ++presented.count;
}

void HeadlessBackend::Beep() { ++beeps_; }

MessageBoxAnswer HeadlessBackend::ShowMessageBox(const MessageBoxRequest& request) {
  MessageBoxAnswer answer = request.buttons == MessageBoxButtons::kYesNo ? MessageBoxAnswer::kNo : MessageBoxAnswer::kOk;
  if (!messageBoxScript_.empty()) {
    answer = messageBoxScript_.front();
    messageBoxScript_.pop_front();
  }
  messageBoxes_.push_back({request, answer});
  return answer;
}

std::optional<std::string> HeadlessBackend::ChooseFile(const FileDialogRequest& request) {
  std::optional<std::string> answer;
  if (!fileScript_.empty()) {
    answer = fileScript_.front();
    fileScript_.pop_front();
  }
  fileDialogs_.push_back({request, answer});
  return answer;
}

void HeadlessBackend::ProgressOpened(WindowHandle dialog, const ProgressDesc& desc) {
  progress_.push_back({dialog, desc, desc.text, 0, true});
}

void HeadlessBackend::ProgressChanged(WindowHandle dialog, std::string_view text, int position) {
  if (ProgressRecord* record = FindProgress(dialog)) {
    record->text = text;
    record->position = position;
  }
}

void HeadlessBackend::ProgressClosed(WindowHandle dialog) {
  if (ProgressRecord* record = FindProgress(dialog)) record->open = false;
}

ProgressRecord* HeadlessBackend::FindProgress(WindowHandle dialog) {
  for (auto it = progress_.rbegin(); it != progress_.rend(); ++it)
    if (it->dialog == dialog && it->open) return &*it;
  return nullptr;
}

bool HeadlessBackend::PressProgressStop() {
  for (auto it = progress_.rbegin(); it != progress_.rend(); ++it)
    if (it->open) return PostMessage(it->dialog, kMsgCommand, kProgressStopCommand);
  return false;
}

void HeadlessBackend::ScriptMessageBoxAnswers(const std::vector<MessageBoxAnswer>& answers) {
  messageBoxScript_.insert(messageBoxScript_.end(), answers.begin(), answers.end());
}

void HeadlessBackend::ScriptFileChoices(const std::vector<std::optional<std::string>>& answers) {
  fileScript_.insert(fileScript_.end(), answers.begin(), answers.end());
}

void HeadlessBackend::SetScreenDepth(int bitsPerPixel, bool is565) {
  screenDepth_ = bitsPerPixel;
  screen565_ = is565;
}

std::optional<Frame> HeadlessBackend::LastFrame(WindowHandle window) const {
  auto it = presented_.find(window);
  if (it == presented_.end()) return std::nullopt;
  const FrameView& surface = it->second.surface;
  Frame frame;
  frame.width = surface.width;
  frame.height = surface.height;
  frame.pixels.resize(static_cast<size_t>(surface.width) * surface.height);
  std::transform(surface.pixels.get(), surface.pixels.get() + frame.pixels.size(), frame.pixels.begin(),
                 [](uint32_t pixel) { return pixel & 0xFFFFFF; });
  return frame;
}

int HeadlessBackend::PresentCount(WindowHandle window) const {
  auto it = presented_.find(window);
  return it == presented_.end() ? 0 : it->second.count;
}

bool HeadlessBackend::WriteLastFrameAsPng(WindowHandle window, const std::string& path) const {
  const std::optional<Frame> frame = LastFrame(window);
  return frame && WritePng(path, frame->width, frame->height, frame->pixels);
}

void HeadlessBackend::Reset() {
  presented_.clear();
  messageBoxScript_.clear();
  fileScript_.clear();
  messageBoxes_.clear();
  fileDialogs_.clear();
  progress_.clear();
  shownCursor_ = CursorHandle::None;
  screenDepth_ = 32;
  screen565_ = false;
  beeps_ = 0;
}

HeadlessBackend& Headless() {
  static HeadlessBackend backend;
  return backend;
}

}  // namespace vx
