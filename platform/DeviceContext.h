// Device contexts: where blits read and write.
//
// A MemoryDC draws into the Bitmap selected into it; a WindowDC draws into a
// window. Every window that is not message-only has a surface of 32-bit xRGB
// pixels the size of its client area, shown opaque whatever their x bytes
// hold; whatever is drawn into a WindowDC lands there and is presented at
// once: the backend is handed the surface itself, not a copy, and shows it
// (the headless backend keeps it for tests, see HeadlessBackend.h). A caller
// that draws whole frames may instead draw into the surface in place
// (GetWindowPixels) and present it when done, without a blit. Drawing clips
// to the target, so no blit writes outside a bitmap or surface.
//
// Pixel conversion in blits: 8-bit sources go through the bitmap's colour
// table (or, when it has none, the palette selected into the source DC, then
// the target DC's); 16-bit through their 5:5:5 or 5:6:5 layout; everything is
// written as xRGB into 32-bit bitmaps and window surfaces (the x byte 0,
// whatever the source held there) and packed into 16-bit targets. An 8-bit
// target takes only 8-bit sources (indices copied as they are).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Bitmap.h"
#include "platform/Palette.h"
#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

struct PixelSurface;

class VX_PLATFORM_API DeviceContext {
 public:
  virtual ~DeviceContext();
  DeviceContext(const DeviceContext&) = delete;
  DeviceContext& operator=(const DeviceContext&) = delete;

  // The size of what the DC draws into (0 x 0 when nothing).
  int Width() const;
  int Height() const;

  // Selects a palette for the blits of 8-bit images and for RealizePalette;
  // returns the one selected before.
  PaletteHandle SelectPalette(PaletteHandle palette);
  PaletteHandle SelectedPalette() const { return palette_; }

  // The pixel at (x, y) as xRGB; 0 outside.
  uint32_t GetPixel(int x, int y) const;
  // Writes one xRGB pixel (converted to the target's form); false outside
  // and on 8-bit targets.
  bool SetPixel(int x, int y, uint32_t xrgb);

  // The window a WindowDC draws into; None for other DCs.
  virtual WindowHandle Window() const { return WindowHandle::None; }

  // What the DC draws into; false when nothing. Internal to the layer.
  virtual bool Describe(PixelSurface& out) const = 0;
  // Called after drawing changed a rectangle. Internal to the layer.
  virtual void Changed(const Rect&) {}

 protected:
  DeviceContext() = default;

 private:
  PaletteHandle palette_ = PaletteHandle::None;
};

class VX_PLATFORM_API MemoryDC final : public DeviceContext {
 public:
  MemoryDC() = default;
  ~MemoryDC() override;

  // Selects a bitmap (null: none) and returns the one selected before. A
  // bitmap is selected into one DC at a time; selecting it here takes it
  // from the other DC. Destroying the bitmap deselects it.
  Bitmap* Select(Bitmap* bitmap);
  Bitmap* Selected() const { return bitmap_; }

  bool Describe(PixelSurface& out) const override;

 private:
  friend class Bitmap;
  Bitmap* bitmap_ = nullptr;
};

// Draws into a window's client area. Invalid (Width() 0) for an invalid or
// message-only window. Each drawing call presents what it changed.
class VX_PLATFORM_API WindowDC final : public DeviceContext {
 public:
  explicit WindowDC(WindowHandle window);
  ~WindowDC() override;

  bool Valid() const;
  WindowHandle Window() const override { return window_; }

  bool Describe(PixelSurface& out) const override;
  void Changed(const Rect& changed) override;

 private:
  WindowHandle window_;
};

// A window's surface, to draw into in place: rows of `width` xRGB pixels,
// top row first. The pixels live as long as they are held. Resizing the
// window gives it new pixels (with what still fits) and leaves the held ones
// as they were, no longer the window's.
struct WindowPixels {
  std::shared_ptr<uint32_t> pixels;
  int width = 0;
  int height = 0;
};

// The window's surface at the size of its client area, made or resized as
// drawing into a WindowDC would; null pixels for an invalid or message-only
// window, an empty client area, or when the memory cannot be had.
VX_PLATFORM_API WindowPixels GetWindowPixels(WindowHandle window);
// Presents `changed` (clipped to the surface) of pixels drawn in place.
// False, and nothing is presented, when they are not the window's surface
// (any more) or nothing of `changed` lies on it.
VX_PLATFORM_API bool PresentWindowPixels(WindowHandle window, const WindowPixels& pixels, const Rect& changed);

// Copies a width x height block from (sourceX, sourceY) of the source to
// (x, y) of the target, clipped to both. False when nothing could be copied
// (an empty DC, a conversion that does not exist).
VX_PLATFORM_API bool BitBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source,
                            int sourceX, int sourceY);
// Stretches the source block onto the target block (nearest pixel), clipped
// to the target.
VX_PLATFORM_API bool StretchBlt(DeviceContext& target, int x, int y, int width, int height,
                                const DeviceContext& source, int sourceX, int sourceY, int sourceWidth,
                                int sourceHeight);
// Fills a rectangle of the target with one xRGB colour.
VX_PLATFORM_API bool FillRect(DeviceContext& target, const Rect& rect, uint32_t xrgb);

// Loads the DC's selected palette into the system palette: the number of
// entries mapped on an 8-bit screen; 0, and nothing changes, on a
// true-colour screen or without a palette. When the system palette changed,
// every visible top-level window is posted kMsgPaletteChanged (wParam = the
// DC's window), so windows that draw with palettes can repaint.
VX_PLATFORM_API int RealizePalette(DeviceContext& dc);

}  // namespace vx
