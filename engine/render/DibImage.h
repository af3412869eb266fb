// An off-screen device-independent bitmap with its own memory device
// context: what the view's frame and decoded pictures are drawn into.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/render/Palette.h"
#include "engine/render/PixelMap.h"
#include "platform/Bitmap.h"
#include "platform/DeviceContext.h"
#include "platform/Palette.h"
#include "platform/Window.h"

namespace vx {

class CDibImage {
 public:
  // Makes a bitmap of 8, 16 or 32 bits per pixel (the palette serves 8 bits
  // only). With roundWidth the bitmap is made a multiple of 4 pixels wide,
  // while GetWidth and every operation keep to the width asked for. With
  // allow565 on a 5:6:5 screen, Blit presents 16-bit images as 5:6:5; the
  // image itself always holds 5:5:5. Null when the bitmap cannot be made.
  [[nodiscard]] static std::unique_ptr<CDibImage> Create(int32_t width, int32_t height, int32_t bitsPerPixel,
                                                         const PaletteTable* palette, bool roundWidth, bool allow565);

  uint8_t* GetBits() const { return bitmap_->Bits(); }
  int32_t GetRowBytes() const { return bitmap_->RowBytes(); }
  int32_t GetBitsPerPixel() const { return bitmap_->BitsPerPixel(); }
  int32_t GetWidth() const { return width_; }
  int32_t GetHeight() const { return bitmap_->Height(); }
  MemoryDC* GetDC() { return &dc_; }
  void ReleaseDC() {}
  bool Is565() const { return is565_; }

  // Copies the image from its origin to (left, top) of the target, the size
  // of the rectangle. A 5:6:5 image is converted into a presentation copy
  // first, so presenting again without redrawing shows the same colours.
  void Blit(DeviceContext& target, const Rect& rect);
  // Writes one colour into every pixel (the inverse map gives palette indices).
  void Fill(const FloatColor& color, const uint8_t* inverseMap555);
  PixelMap GetPixelMap() const;

  // A 5:5:5 pixel as 5:6:5: red and green move up one place, blue stays, and
  // the lowest green bit repeats the top blue bit.
  static uint16_t To565(uint16_t pixel) {
    return static_cast<uint16_t>((pixel << 1) & ~0x1F) | (pixel & 0x1F);
  }

 private:
  CDibImage() = default;
  const DeviceContext& PresentationSource();

  std::unique_ptr<Bitmap> bitmap_;
  MemoryDC dc_;
  int32_t width_ = 0;
  bool is565_ = false;
  std::unique_ptr<Bitmap> presentation_;
  MemoryDC presentationDc_;
};

// The display palette: a logical palette of 256 entries (the built-in
// palette, selected and realised, with useBuiltIn; else black entries), and
// the table filled with the system palette as it then stands, or, on a
// screen without one, with the logical palette's entries. None for a null
// window; the palette belongs to the caller.
PaletteHandle CreateDisplayPalette(WindowHandle window, PaletteTable* table, bool useBuiltIn);
int32_t GetScreenBitsPerPixel(WindowHandle window);

}  // namespace vx
