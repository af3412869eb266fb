#include "host/ProgressWindow.h"

#include <algorithm>
#include <cstdio>

namespace vx::host {

CProgressWindow::~CProgressWindow() = default;

void CProgressWindow::Create(const std::string& text) { static_cast<void>(text); }

void CProgressWindow::SetProgress(float fraction) {
  fraction_ = fraction;
  fractionSet_ = true;
}

int32_t CProgressWindow::PumpMessages() { return cancelled_ ? 1 : 0; }

int32_t CProgressWindow::Query(const std::string& text) {
  static_cast<void>(text);
  return kQueryNo;
}

int32_t CProgressWindow::Notify(const std::string& text) {
  std::fprintf(stderr, "Notify: %s\n", text.c_str());
  return 1;
}

}  // namespace vx::host
