// Index-painted tiles for the tests of the tile buffer and the panorama
// image: every 32-bit pixel holds its own picture row and column, so a read
// through a row table shows exactly which pixel it reached.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/media/panorama/TileGrid.h"

namespace vx::test {

inline uint32_t IndexPixel(int32_t row, int32_t column) {
  return (static_cast<uint32_t>(row) << 16) | static_cast<uint32_t>(column);
}

// Paints tile (row, column) of a grid of place-sized tiles into place.
inline void PaintIndexTile(const PixelMap& place, const TilePosition& tile) {
  for (int32_t y = 0; y < place.height; ++y) {
    uint8_t* row = place.Row(y);
    for (int32_t x = 0; x < place.width; ++x) {
      const uint32_t value = IndexPixel(tile.row * place.height + y, tile.column * place.width + x);
      std::memcpy(row + 4 * x, &value, 4);
    }
  }
}

// Pixel x of row y of a 32-bit picture described by a row table; x may run
// past the width where the held part crosses the seam.
inline uint32_t ReadThroughRows(const PixelMap& map, int32_t y, int32_t x) {
  uint32_t value = 0;
  std::memcpy(&value, map.rows[y] + static_cast<ptrdiff_t>(4) * x, 4);
  return value;
}

}  // namespace vx::test
