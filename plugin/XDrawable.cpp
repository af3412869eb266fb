#include "plugin/XDrawable.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/Bitmap.h"
#include "platform/DeviceContext.h"

// Xlib last: its macros (None, Bool, Status) would rename the layer's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace vx::plugin {
namespace {

struct ImageDeleter {
  void operator()(XImage* image) const { XDestroyImage(image); }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

// One 8-bit channel of xRGB placed into a visual's mask.
unsigned long Channel(uint32_t xrgb, int shift, unsigned long mask) {
  const unsigned long value = (xrgb >> shift) & 0xFF;
  const int maskShift = std::countr_zero(mask);
  const int maskBits = std::popcount(mask);
  const unsigned long scaled = maskBits >= 8 ? value << (maskBits - 8) : value >> (8 - maskBits);
  return (scaled << maskShift) & mask;
}

unsigned long PixelFor(uint32_t xrgb, const XImage& image) {
  return Channel(xrgb, 16, image.red_mask) | Channel(xrgb, 8, image.green_mask) | Channel(xrgb, 0, image.blue_mask);
}

// The layer's own xRGB words, as a little-endian 32-bit image of a 24-bit
// true-colour visual stores them.
bool SameLayout(const XImage& image) {
  return image.bits_per_pixel == 32 && image.byte_order == LSBFirst && image.red_mask == 0xFF0000 &&
         image.green_mask == 0x00FF00 && image.blue_mask == 0x0000FF && std::endian::native == std::endian::little;
}

void FillImage(XImage& image, const Bitmap& pixels) {
  for (int y = 0; y < pixels.Height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(pixels.Row(y));
    if (SameLayout(image)) {
      std::memcpy(image.data + static_cast<size_t>(y) * image.bytes_per_line, row,
                  static_cast<size_t>(pixels.Width()) * 4);
      continue;
    }
    for (int x = 0; x < pixels.Width(); ++x) XPutPixel(&image, x, y, PixelFor(row[x], image));
  }
}

// The exposed part, which the event gives as a rectangle of the drawable,
// within the page window.
Rect ExposedPart(const XGraphicsExposeEvent& expose, WindowHandle pageWindow) {
  const Rect client = GetClientRect(pageWindow);
  return {std::max(expose.x, 0), std::max(expose.y, 0), std::min(expose.x + expose.width, client.right),
          std::min(expose.y + expose.height, client.bottom)};
}

// The page window's pixels in the part.
std::unique_ptr<Bitmap> PixelsOf(WindowHandle pageWindow, const Rect& part) {
  std::unique_ptr<Bitmap> pixels = Bitmap::Create(part.Width(), part.Height(), 32);
  if (!pixels) return nullptr;
  MemoryDC target;
  target.Select(pixels.get());
  const WindowDC source(pageWindow);
  if (!BitBlt(target, 0, 0, part.Width(), part.Height(), source, part.left, part.top)) return nullptr;
  return pixels;
}

ImagePtr MakeImage(Display* display, Visual* visual, unsigned int depth, const Bitmap& pixels) {
  ImagePtr image(XCreateImage(display, visual, depth, ZPixmap, 0, nullptr, static_cast<unsigned int>(pixels.Width()),
                              static_cast<unsigned int>(pixels.Height()), 32, 0));
  if (!image) return nullptr;
  // XDestroyImage gives the pixels back with free().
  image->data = static_cast<char*>(std::malloc(static_cast<size_t>(image->bytes_per_line) * pixels.Height()));
  if (!image->data) return nullptr;
  FillImage(*image, pixels);
  return image;
}

}  // namespace

bool IsExposeEvent(const void* xevent) { return xevent && static_cast<const XEvent*>(xevent)->type == GraphicsExpose; }

bool CopyToDrawable(WindowHandle pageWindow, const void* xevent, const NPSetWindowCallbackStruct* windowInfo) {
  if (!IsExposeEvent(xevent)) return false;
  const XGraphicsExposeEvent& expose = static_cast<const XEvent*>(xevent)->xgraphicsexpose;
  Display* display = expose.display ? expose.display : windowInfo ? static_cast<Display*>(windowInfo->display) : nullptr;
  if (!display || !expose.drawable) return false;
  Visual* visual = windowInfo && windowInfo->visual ? static_cast<Visual*>(windowInfo->visual)
                                                    : DefaultVisual(display, DefaultScreen(display));
  const unsigned int depth = windowInfo && windowInfo->depth ? windowInfo->depth
                                                             : static_cast<unsigned int>(DefaultDepth(display, DefaultScreen(display)));
  if (!visual || visual->c_class != TrueColor) return false;

  const Rect part = ExposedPart(expose, pageWindow);
  if (part.Width() <= 0 || part.Height() <= 0) return false;
  const std::unique_ptr<Bitmap> pixels = PixelsOf(pageWindow, part);
  if (!pixels) return false;
  ImagePtr image = MakeImage(display, visual, depth, *pixels);
  if (!image) return false;
  GC gc = XCreateGC(display, expose.drawable, 0, nullptr);
  XPutImage(display, expose.drawable, gc, image.get(), 0, 0, part.left, part.top,
            static_cast<unsigned int>(part.Width()), static_cast<unsigned int>(part.Height()));
  XFreeGC(display, gc);
  // The browser reads the drawable once the event returns, perhaps through
  // another connection.
  XSync(display, False);
  return true;
}

}  // namespace vx::plugin
