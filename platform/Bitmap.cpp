#include "platform/Bitmap.h"

#include <algorithm>
#include <new>

#include "platform/DeviceContext.h"
#include "platform/Faults.h"
#include "platform/PixelSurface.h"

namespace vx {

uint32_t Xrgb16(uint16_t pixel, Layout16 layout) {
  // Widen each channel by repeating its top bits, so full intensity stays full.
  auto widen5 = [](uint32_t v) { return (v << 3) | (v >> 2); };
  auto widen6 = [](uint32_t v) { return (v << 2) | (v >> 4); };
  uint32_t r, g, b;
  if (layout == Layout16::k565) {
    r = widen5((pixel >> 11) & 0x1F);
    g = widen6((pixel >> 5) & 0x3F);
  } else {
    r = widen5((pixel >> 10) & 0x1F);
    g = widen5((pixel >> 5) & 0x1F);
  }
  b = widen5(pixel & 0x1F);
  return (r << 16) | (g << 8) | b;
}

std::unique_ptr<Bitmap> Bitmap::Create(int width, int height, int bitsPerPixel, std::span<const uint32_t> colorTable,
                                       Layout16 layout) {
  if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 32) return nullptr;
  if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension) return nullptr;
  if (colorTable.size() > static_cast<size_t>(kMaxColorTable)) return nullptr;
  if (ShouldFail(FaultKind::kAllocation)) return nullptr;
  std::unique_ptr<Bitmap> bitmap(new (std::nothrow) Bitmap);
  if (!bitmap) return nullptr;
  bitmap->width_ = width;
  bitmap->height_ = height;
  bitmap->bitsPerPixel_ = bitsPerPixel;
  bitmap->rowBytes_ = (width * (bitsPerPixel / 8) + 3) & ~3;
  bitmap->layout_ = bitsPerPixel == 16 ? layout : Layout16::k555;
  try {
    bitmap->pixels_.assign(static_cast<size_t>(bitmap->rowBytes_) * height, 0);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  bitmap->colorTable_.assign(colorTable.begin(), colorTable.end());
  return bitmap;
}

Bitmap::~Bitmap() {
  if (selectedInto_) selectedInto_->bitmap_ = nullptr;
}

void Bitmap::SetColorTable(std::span<const uint32_t> entries) {
  colorTable_.assign(entries.begin(), entries.begin() + std::min<size_t>(entries.size(), kMaxColorTable));
}

uint32_t Bitmap::PixelXrgb(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  PixelSurface self{const_cast<uint8_t*>(Bits()), width_, height_, rowBytes_, bitsPerPixel_, layout_, colorTable_};
  return ReadXrgb(self, colorTable_, x, y);
}

}  // namespace vx
