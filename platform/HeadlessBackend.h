// The headless backend: windows are memory surfaces, nothing is shown.
//
// It is the backend until another is installed. Tests reach it through
// Headless() to read what the layer did: the last frame presented into each
// window (as 32-bit xRGB pixels, or written as a PNG file for a person to look
// at), beeps; and to set up the pretend display.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/PlatformExport.h"

namespace vx {

// A copy of a window's surface as it was presented.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // xRGB, rows of `width` pixels, top row first

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class VX_PLATFORM_API HeadlessBackend final : public Backend {
 public:
  void WindowCreated(WindowHandle window, const WindowDesc& desc) override;
  void WindowDestroyed(WindowHandle window) override;
  void WindowShown(WindowHandle window, bool visible) override;
  void WindowMoved(WindowHandle window, const Rect& screenRect) override;
  void WindowTextChanged(WindowHandle window, const std::string& text) override;
  void Present(WindowHandle window, const FrameView& surface, const Rect& changed) override;
  int ScreenDepth() const override { return screenDepth_; }
  bool Screen565() const override { return screen565_; }
  void Beep() override;

  // The pretend display: 32 bits per pixel until set otherwise.
  void SetScreenDepth(int bitsPerPixel, bool is565 = false);

  // The last frame presented into the window, if any (kept after the window
  // is destroyed, until Reset).
  std::optional<Frame> LastFrame(WindowHandle window) const;
  // How many times something was presented into the window.
  int PresentCount(WindowHandle window) const;
  // Writes the last frame of the window as a PNG file; false when there is
  // none or the file cannot be written.
  [[nodiscard]] bool WriteLastFrameAsPng(WindowHandle window, const std::string& path) const;

  int BeepCount() const { return beeps_; }
  // Forgets everything recorded and restores the 32-bit display.
  void Reset();

 private:
  struct Presented {
    Frame frame;
    int count = 0;
  };
  std::map<WindowHandle, Presented> presented_;
  int screenDepth_ = 32;
  bool screen565_ = false;
  int beeps_ = 0;
};

// The process's headless backend (whether or not it is the current one).
VX_PLATFORM_API HeadlessBackend& Headless();

}  // namespace vx
