// The windowless test browser's X side: a connection to a virtual display,
// the pixmaps it hands plug-ins as drawables, and the X events it sends
// them, without Xlib's names in the test code (its macros clash with ours).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/HeadlessBackend.h"

namespace vx::test {

// An XEvent's storage.
using XEventBytes = std::array<long, 24>;

class XTestDisplay {
 public:
  explicit XTestDisplay(const std::string& name);
  ~XTestDisplay();
  XTestDisplay(const XTestDisplay&) = delete;
  XTestDisplay& operator=(const XTestDisplay&) = delete;

  // Null when the display could not be opened.
  void* Connection() const { return display_; }
  void* Visual() const;
  unsigned long Colormap() const;

  // A pixmap of the screen's 24-bit depth.
  unsigned long CreatePixmap(int width, int height) const;
  void FreePixmap(unsigned long pixmap) const;
  // The pixmap's pixels as xRGB.
  std::optional<Frame> Read(unsigned long pixmap, int width, int height) const;

  XEventBytes GraphicsExposeOf(unsigned long drawable, int width, int height) const;
  XEventBytes ButtonOf(int x, int y, bool down, unsigned int button) const;
  XEventBytes MotionOf(int x, int y) const;
  XEventBytes KeyOf(unsigned long keysym, bool down) const;
  XEventBytes FocusOf(bool in) const;

 private:
  void* display_ = nullptr;
};

}  // namespace vx::test
