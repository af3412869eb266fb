#include "platform/HeadlessBackend.h"

#include "platform/Png.h"

namespace vx {

void HeadlessBackend::WindowCreated(WindowHandle, const WindowDesc&) {}
void HeadlessBackend::WindowDestroyed(WindowHandle) {}
void HeadlessBackend::WindowShown(WindowHandle, bool) {}
void HeadlessBackend::WindowMoved(WindowHandle, const Rect&) {}
void HeadlessBackend::WindowTextChanged(WindowHandle, const std::string&) {}

void HeadlessBackend::Present(WindowHandle window, const FrameView& surface, const Rect&) {
  Presented& presented = presented_[window];
  presented.frame.width = surface.width;
  presented.frame.height = surface.height;
  presented.frame.pixels.assign(surface.pixels, surface.pixels + static_cast<size_t>(surface.width) * surface.height);
  ++presented.count;
}

void HeadlessBackend::Beep() { ++beeps_; }

void HeadlessBackend::SetScreenDepth(int bitsPerPixel, bool is565) {
  screenDepth_ = bitsPerPixel;
  screen565_ = is565;
}

std::optional<Frame> HeadlessBackend::LastFrame(WindowHandle window) const {
  auto it = presented_.find(window);
  if (it == presented_.end()) return std::nullopt;
  return it->second.frame;
}

int HeadlessBackend::PresentCount(WindowHandle window) const {
  auto it = presented_.find(window);
  return it == presented_.end() ? 0 : it->second.count;
}

bool HeadlessBackend::WriteLastFrameAsPng(WindowHandle window, const std::string& path) const {
  auto it = presented_.find(window);
  if (it == presented_.end()) return false;
  const Frame& frame = it->second.frame;
  return WritePng(path, frame.width, frame.height, frame.pixels);
}

void HeadlessBackend::Reset() {
  presented_.clear();
  screenDepth_ = 32;
  screen565_ = false;
  beeps_ = 0;
}

HeadlessBackend& Headless() {
  static HeadlessBackend backend;
  return backend;
}

}  // namespace vx
