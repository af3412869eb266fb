#include "tests/plugin/XTestDisplay.h"

#include <cstring>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vx::test {
namespace {

constexpr unsigned int kDepth = 24;

static_assert(sizeof(XEventBytes) == sizeof(XEvent));

XEventBytes Bytes(const XEvent& event) {
  XEventBytes bytes{};
  static_cast<void>(std::memcpy(bytes.data(), &event, sizeof event));
  return bytes;
}

}  // namespace

XTestDisplay::XTestDisplay(const std::string& name) : display_(XOpenDisplay(name.c_str())) {}

XTestDisplay::~XTestDisplay() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

void* XTestDisplay::Visual() const {
  Display* display = static_cast<Display*>(display_);
  return DefaultVisual(display, DefaultScreen(display));
}

unsigned long XTestDisplay::Colormap() const {
  Display* display = static_cast<Display*>(display_);
  return DefaultColormap(display, DefaultScreen(display));
}

unsigned long XTestDisplay::CreatePixmap(int width, int height) const {
  Display* display = static_cast<Display*>(display_);
  return XCreatePixmap(display, RootWindow(display, DefaultScreen(display)), static_cast<unsigned int>(width),
                       static_cast<unsigned int>(height), kDepth);
}

void XTestDisplay::FreePixmap(unsigned long pixmap) const { XFreePixmap(static_cast<Display*>(display_), pixmap); }

std::optional<Frame> XTestDisplay::Read(unsigned long pixmap, int width, int height) const {
  XImage* image = XGetImage(static_cast<Display*>(display_), pixmap, 0, 0, static_cast<unsigned int>(width),
                            static_cast<unsigned int>(height), AllPlanes, ZPixmap);
  if (!image) return std::nullopt;
  Frame frame{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      frame.pixels[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF);
  XDestroyImage(image);
  return frame;
}

XEventBytes XTestDisplay::GraphicsExposeOf(unsigned long drawable, int width, int height) const {
  XEvent event{};
  event.xgraphicsexpose = {GraphicsExpose, 0, False, static_cast<Display*>(display_), drawable, 0, 0, width, height,
                           0, 0, 0};
  return Bytes(event);
}

XEventBytes XTestDisplay::ButtonOf(int x, int y, bool down, unsigned int button) const {
  XEvent event{};
  event.xbutton.type = down ? ButtonPress : ButtonRelease;
  event.xbutton.display = static_cast<Display*>(display_);
  event.xbutton.x = x;
  event.xbutton.y = y;
  event.xbutton.button = button;
  return Bytes(event);
}

XEventBytes XTestDisplay::MotionOf(int x, int y) const {
  XEvent event{};
  event.xmotion.type = MotionNotify;
  event.xmotion.display = static_cast<Display*>(display_);
  event.xmotion.x = x;
  event.xmotion.y = y;
  return Bytes(event);
}

XEventBytes XTestDisplay::KeyOf(unsigned long keysym, bool down) const {
  XEvent event{};
  event.xkey.type = down ? KeyPress : KeyRelease;
  event.xkey.display = static_cast<Display*>(display_);
  event.xkey.keycode = XKeysymToKeycode(static_cast<Display*>(display_), keysym);
  return Bytes(event);
}

XEventBytes XTestDisplay::FocusOf(bool in) const {
  XEvent event{};
  event.xfocus.type = in ? FocusIn : FocusOut;
  event.xfocus.display = static_cast<Display*>(display_);
  return Bytes(event);
}

}  // namespace vx::test
