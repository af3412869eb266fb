#include "engine/render/DibImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vx {

std::unique_ptr<CDibImage> CDibImage::Create(int32_t width, int32_t height, int32_t bitsPerPixel,
                                             const PaletteTable* palette, bool roundWidth, bool allow565) {
  if (width < 1 || height < 1) return nullptr;
  const int32_t sectionWidth = roundWidth ? (width + 3) & ~3 : width;
  std::span<const uint32_t> colorTable;
  if (bitsPerPixel == 8 && palette)
    colorTable = std::span<const uint32_t>(palette->entries.data(), static_cast<size_t>(std::clamp(palette->count, 0, kPaletteSize)));
  const bool is565 = bitsPerPixel == 16 && allow565 && ScreenUses565();
  std::unique_ptr<Bitmap> bitmap = Bitmap::Create(sectionWidth, height, bitsPerPixel, colorTable);
  if (!bitmap) return nullptr;
  std::unique_ptr<CDibImage> image(new CDibImage);
  image->bitmap_ = std::move(bitmap);
  image->dc_.Select(image->bitmap_.get());
  image->width_ = width;
  image->is565_ = is565;
  return image;
}

const DeviceContext& CDibImage::PresentationSource() {
  if (!is565_) return dc_;
  if (!presentation_ || presentation_->Width() != bitmap_->Width() || presentation_->Height() != bitmap_->Height()) {
    presentationDc_.Select(nullptr);
    presentation_ = Bitmap::Create(bitmap_->Width(), bitmap_->Height(), 16, {}, Layout16::k565);
    // Without room for the copy the 5:5:5 image is shown as it is.
    if (!presentation_) return dc_;
    presentationDc_.Select(presentation_.get());
  }
  for (int32_t y = 0; y < GetHeight(); ++y) {
    const uint8_t* in = bitmap_->Row(y);
    uint8_t* out = presentation_->Row(y);
    for (int32_t x = 0; x < width_; ++x) {
      uint16_t pixel;
      std::memcpy(&pixel, in + x * 2, 2);
      pixel = To565(pixel);
      std::memcpy(out + x * 2, &pixel, 2);
    }
  }
  return presentationDc_;
}

void CDibImage::Blit(DeviceContext& target, const Rect& rect) {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  BitBlt(target, rect.left, rect.top, rect.Width(), rect.Height(), PresentationSource(), 0, 0);
}

void CDibImage::Fill(const FloatColor& color, const uint8_t* inverseMap555) {
  uint32_t xrgb = 0;
  uint16_t c555 = 0;
  uint8_t index = 0;
  ColorToPixelValues(color, inverseMap555, &xrgb, &c555, &index);
  for (int32_t y = 0; y < GetHeight(); ++y) {
    uint8_t* row = bitmap_->Row(y);
    switch (bitmap_->BytesPerPixel()) {
      case 1: std::fill_n(row, width_, index); break;
      case 2:
        for (int32_t x = 0; x < width_; ++x) std::memcpy(row + x * 2, &c555, 2);
        break;
      case 4:
        for (int32_t x = 0; x < width_; ++x) std::memcpy(row + x * 4, &xrgb, 4);
        break;
      default: break;
    }
  }
}

PixelMap CDibImage::GetPixelMap() const {
  PixelMap map;
  map.bits = bitmap_->Bits();
  map.width = static_cast<uint16_t>(width_);
  map.height = static_cast<uint16_t>(GetHeight());
  map.bytesPerPixel = static_cast<uint16_t>(bitmap_->BytesPerPixel());
  map.rowBytes = bitmap_->RowBytes();
  map.rows = nullptr;
  return map;
}

PaletteHandle CreateDisplayPalette(WindowHandle window, PaletteTable* table, bool useBuiltIn) {
  if (window == WindowHandle::None || !table) return PaletteHandle::None;
  WindowDC dc(window);
  std::array<uint32_t, kPaletteSize> entries{};
  if (useBuiltIn) entries = BuiltInPalette();
  const PaletteHandle palette = CreatePalette(entries);
  if (useBuiltIn) {
    dc.SelectPalette(palette);
    RealizePalette(dc);
  }
  if (const auto system = GetSystemPaletteEntries()) {
    SetPaletteEntries(palette, 0, *system);
    entries = *system;
  }
  table->count = kPaletteSize;
  table->entries = entries;
  return palette;
}

int32_t GetScreenBitsPerPixel(WindowHandle) { return ScreenBitsPerPixel(); }

}  // namespace vx
