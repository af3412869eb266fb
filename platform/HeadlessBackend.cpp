#include "platform/HeadlessBackend.h"

namespace vx {

void HeadlessBackend::WindowCreated(WindowHandle, const WindowDesc&) {}
void HeadlessBackend::WindowDestroyed(WindowHandle) {}
void HeadlessBackend::WindowShown(WindowHandle, bool) {}
void HeadlessBackend::WindowMoved(WindowHandle, const Rect&) {}
void HeadlessBackend::WindowTextChanged(WindowHandle, const std::string&) {}
void HeadlessBackend::Beep() { ++beeps_; }

void HeadlessBackend::Reset() { beeps_ = 0; }

HeadlessBackend& Headless() {
  static HeadlessBackend backend;
  return backend;
}

}  // namespace vx
