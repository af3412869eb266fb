// The tile buffer of a gridded panorama picture: it keeps the tiles of the
// part of the picture in view, says which tile to fetch next and where it
// goes, and describes the buffer as the whole picture through a row table
// (RowTable.h).
//
// The buffer is cyclic in both directions: when the view moves, the origin
// moves with it and tiles that stay in view keep their slots. Slots are laid
// out twice across (each tile is mirrored viewAcross slots to its right),
// so that any run of viewAcross slots lies side by side in memory and one
// row pointer can address the view's columns, also across the picture's
// seam.
#pragma once

#include <array>
#include <cstdint>

#include "engine/media/MediaLimits.h"
#include "engine/media/MediaTypes.h"
#include "engine/media/panorama/RowTable.h"

namespace vx {

// A part of the picture in pixels; bottom and right are the last row and
// column in it. A left edge greater than the right, or a right edge at or
// past the width, wraps around the picture's right edge (the same for top
// and bottom).
struct TileWindow {
  int16_t top = 0;
  int16_t left = 0;
  int16_t bottom = 0;
  int16_t right = 0;

  friend bool operator==(const TileWindow&, const TileWindow&) = default;
};

struct TilePosition {
  int16_t row = kEmptyTileSlot;
  int16_t column = kEmptyTileSlot;

  friend bool operator==(const TilePosition&, const TilePosition&) = default;
};

inline constexpr int32_t kTileAttached = 0;
inline constexpr int32_t kTileAttachedWithoutPixels = 1;
inline constexpr int32_t kTileAttachRefused = 2;

enum class TileStep : int32_t {
  TooManyTiles = -1,  // the window needs more tiles than the buffer holds
  FetchTile = 0,      // one tile must be drawn into the place given
  AllInPlace = 1,
};

struct TileBufferSize {
  int32_t width = 0;
  int32_t height = 0;
};

// The buffer for viewAcross x viewDown tiles of a picture `pictureWidth`
// wide: twice the tiles across, and margin rows enough that the reading
// guarantee of RowTable.h holds for every entry of the view map.
TileBufferSize TileBufferSizeFor(int32_t pictureWidth, int32_t viewAcross, int32_t viewDown, int32_t tileWidth,
                                 int32_t tileHeight);

class CTileGrid {
 public:
  CTileGrid(uint16_t width, uint16_t height) : width_(width), height_(height) {}

  // Refused (2) for more than kMaxBufferTiles tiles, tile sizes that do not
  // divide the picture, a buffer narrower than twice the tiles across or with
  // fewer than kMinTileMargin spare rows above and below the tiles; 1 when
  // the buffer has no pixels. Only a grid attached with 0 places tiles.
  [[nodiscard]] int32_t Attach(const PixelMap& buffer, int16_t viewAcross, int16_t viewDown, uint16_t tileWidth,
                               uint16_t tileHeight);
  // Walks the tiles the window needs, row by row (column by column with
  // columnMajor), and stops at the first one the buffer does not hold:
  // FetchTile, with the tile's picture (row, column) and the part of the
  // buffer it is to be drawn into. The slot counts as holding it from then
  // on (MirrorTile once drawn, ForgetTile when it could not be).
  [[nodiscard]] TileStep Update(const TileWindow& window, PixelMap* place, TilePosition* position, bool columnMajor);
  // Copies a tile drawn into `place` into its mirror slot.
  void MirrorTile(const PixelMap& place) const;
  // Empties the slot holding that tile, so that it is fetched again.
  void ForgetTile(const TilePosition& position);
  // Describes the buffer as the whole picture through `table` (RowTable.h)
  // for the last window; 2 when the grid places no tiles.
  [[nodiscard]] int32_t GetViewMap(PixelMap* out, CRowTable& table) const;

  void SetWidth(uint16_t width) { width_ = width; }
  void SetHeight(uint16_t height) { height_ = height; }
  uint16_t GetWidth() const { return width_; }
  uint16_t GetHeight() const { return height_; }
  int16_t GetTilesDown() const { return gridDown_; }
  int16_t GetTilesAcross() const { return gridAcross_; }
  int32_t Margin() const { return margin_; }

 private:
  // The tiles a window needs: the first one and how many down and across.
  struct TileSpan {
    int32_t firstRow = 0;
    int32_t firstColumn = 0;
    int32_t rows = 0;
    int32_t columns = 0;
  };
  TileSpan SpanOf(const TileWindow& window) const;
  void PlaceOrigin(const TileSpan& span);
  int32_t SlotRowOf(int32_t pictureRow) const;
  int32_t SlotColumnOf(int32_t pictureColumn) const;
  uint8_t* SlotPixels(int32_t slotRow, int32_t slotColumn) const;
  void CopyMarginRows() const;

  PixelMap target_;
  bool placesTiles_ = false;
  TileWindow window_;
  bool hasWindow_ = false;
  uint16_t tileWidth_ = 0;
  uint16_t tileHeight_ = 0;
  uint16_t width_ = 0;
  uint16_t height_ = 0;
  int16_t viewAcross_ = 0;
  int16_t viewDown_ = 0;
  int16_t gridAcross_ = 0;
  int16_t gridDown_ = 0;
  // Picture tile that the buffer's origin stands for, and the slot it lies in.
  int32_t originRow_ = 0;
  int32_t originColumn_ = 0;
  int32_t scrollRow_ = 0;
  int32_t scrollColumn_ = 0;
  std::array<TilePosition, kMaxBufferTiles> slots_{};
  bool fresh_ = true;
  int32_t progress_ = 0;  // tiles of the window's walk already in place
  TileSpan span_;
  int32_t margin_ = 0;
};

}  // namespace vx
