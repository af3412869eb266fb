// The headless backend: windows are memory records, nothing is shown.
//
// It is the backend until another is installed. Tests reach it through
// Headless() to read what the layer did (beeps, window events) and, in the
// later parts of this header, the frames presented into windows and the
// scripted answers of dialogs.
#pragma once

#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/PlatformExport.h"

namespace vx {

class VX_PLATFORM_API HeadlessBackend final : public Backend {
 public:
  void WindowCreated(WindowHandle window, const WindowDesc& desc) override;
  void WindowDestroyed(WindowHandle window) override;
  void WindowShown(WindowHandle window, bool visible) override;
  void WindowMoved(WindowHandle window, const Rect& screenRect) override;
  void WindowTextChanged(WindowHandle window, const std::string& text) override;
  void Beep() override;

  int BeepCount() const { return beeps_; }
  // Forgets everything recorded (tests call it between cases).
  void Reset();

 private:
  int beeps_ = 0;
};

// The process's headless backend (whether or not it is the current one).
VX_PLATFORM_API HeadlessBackend& Headless();

}  // namespace vx
