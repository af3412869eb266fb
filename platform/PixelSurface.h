// The pixels a device context draws into, as the blit code sees them.
// Internal to the layer.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Bitmap.h"

namespace vx {

struct PixelSurface {
  uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int rowBytes = 0;
  int bitsPerPixel = 0;
  Layout16 layout = Layout16::k555;
  std::span<const uint32_t> colorTable;  // 8-bit bitmaps
};

// The pixel at (x, y), which must lie inside, as xRGB; 8-bit pixels through
// `table` (black past its end).
uint32_t ReadXrgb(const PixelSurface& surface, std::span<const uint32_t> table, int x, int y);

}  // namespace vx
