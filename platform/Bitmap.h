// Device-independent bitmaps in plain memory.
//
// A Bitmap is what the renderer draws into and what media decoders fill: rows
// stored top-down, each row padded to a multiple of 4 bytes, pixels of
// 8 bits (an index into the bitmap's colour table), 16 bits (5:5:5,
// 0RRRRRGGGGGBBBBB, or 5:6:5 when created so) or 32 bits (xRGB, 0x00RRGGBB).
// The pixels belong to the bitmap and live as long as it does. To copy a
// bitmap into a window, select it into a MemoryDC and blit (DeviceContext.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/PlatformExport.h"

namespace vx {

class MemoryDC;

enum class Layout16 { k555, k565 };

// One pixel of any layout as xRGB.
VX_PLATFORM_API uint32_t Xrgb16(uint16_t pixel, Layout16 layout);

class VX_PLATFORM_API Bitmap {
 public:
  static constexpr int kMaxColorTable = 256;
  static constexpr int kMaxDimension = 16384;

  // Null when bitsPerPixel is not 8, 16 or 32, a dimension is not in
  // 1..kMaxDimension, the colour table has more than 256 entries, or the
  // memory cannot be had (FaultKind::kAllocation counts one allocation per
  // bitmap). The pixels start zero-filled. The colour table serves 8-bit
  // bitmaps only; missing entries read as black.
  [[nodiscard]] static std::unique_ptr<Bitmap> Create(int width, int height, int bitsPerPixel,
                                                      std::span<const uint32_t> colorTable = {},
                                                      Layout16 layout = Layout16::k555);
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  int BytesPerPixel() const { return bitsPerPixel_ / 8; }
  // Bytes from one row to the next: width x bytes per pixel, rounded up to 4.
  int RowBytes() const { return rowBytes_; }
  Layout16 Layout() const { return layout_; }

  uint8_t* Bits() { return pixels_.data(); }
  const uint8_t* Bits() const { return pixels_.data(); }
  uint8_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * rowBytes_; }
  const uint8_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * rowBytes_; }

  std::span<const uint32_t> ColorTable() const { return colorTable_; }
  // Replaces the colour table (at most 256 entries are kept).
  void SetColorTable(std::span<const uint32_t> entries);

  // The pixel at (x, y) as xRGB; 0 outside the bitmap.
  uint32_t PixelXrgb(int x, int y) const;

 private:
  friend class MemoryDC;
  Bitmap() = default;

  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;
  int rowBytes_ = 0;
  Layout16 layout_ = Layout16::k555;
  std::vector<uint8_t> pixels_;
  std::vector<uint32_t> colorTable_;
  MemoryDC* selectedInto_ = nullptr;  // so that a destroyed bitmap leaves no DC pointing at it
};

}  // namespace vx
