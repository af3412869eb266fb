#include "engine/media/panorama/TileGrid.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>

namespace vx {
namespace {

int32_t Wrap(int32_t value, int32_t count) {
  const int32_t rest = value % count;
  return rest < 0 ? rest + count : rest;
}

// Moves the buffer's origin along one axis, as little as it can, so that the
// `needed` tiles from `first` on lie inside the buffer's `view` tiles; the
// scroll moves with it, so tiles that stay keep their slots.
void PlaceAxis(int32_t first, int32_t needed, int32_t grid, int32_t view, int32_t& origin, int32_t& scroll) {
  const int32_t offset = Wrap(first - origin, grid);
  if (offset + needed <= view) return;
  const int32_t forward = offset + needed - view;
  const int32_t backward = grid - offset;
  if (forward <= backward) {
    origin = Wrap(origin + forward, grid);
    scroll = Wrap(scroll + forward, view);
  } else {
    origin = first;
    scroll = Wrap(scroll - backward, view);
  }
}

// The first tile and the tile count along one axis of a window's edges.
void SpanAxis(int32_t low, int32_t high, int32_t size, int32_t tile, int32_t grid, int32_t& first, int32_t& count) {
  const int32_t start = Wrap(low, size);
  int32_t end = high + (start - low);
  if (end < start) end = start + Wrap(end - start, size);
  first = start / tile;
  count = std::min(end / tile - first + 1, grid);
}

// An address `offset` bytes from `base`; the view map's entries may lie
// before their row (RowTable.h), so they are formed without pointer
// arithmetic on the buffer.
uint8_t* Offset(uint8_t* base, ptrdiff_t offset) {
  return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(base) + static_cast<uintptr_t>(offset));
}

}  // namespace

TileBufferSize TileBufferSizeFor(int32_t pictureWidth, int32_t viewAcross, int32_t viewDown, int32_t tileWidth,
                                 int32_t tileHeight) {
  const int32_t width = 2 * viewAcross * tileWidth;
  if (width <= 0 || viewDown <= 0 || tileHeight <= 0) return {};
  const int32_t margin = std::max(kTileBufferExtraRows / 2, (2 * pictureWidth + width - 1) / width + 1);
  return {width, viewDown * tileHeight + 2 * margin};
}

int32_t CTileGrid::Attach(const PixelMap& buffer, int16_t viewAcross, int16_t viewDown, uint16_t tileWidth,
                          uint16_t tileHeight) {
  placesTiles_ = false;
  if (viewAcross <= 0 || viewDown <= 0 || viewAcross * viewDown > kMaxBufferTiles) return kTileAttachRefused;
  if (tileWidth == 0 || tileHeight == 0 || width_ == 0 || height_ == 0) return kTileAttachRefused;
  if (width_ % tileWidth != 0 || height_ % tileHeight != 0) return kTileAttachRefused;
  const int32_t gridAcross = width_ / tileWidth;
  const int32_t gridDown = height_ / tileHeight;
  if (gridAcross > std::numeric_limits<int16_t>::max() || gridDown > std::numeric_limits<int16_t>::max())
    return kTileAttachRefused;
  if (buffer.width < 2 * viewAcross * tileWidth) return kTileAttachRefused;
  const int32_t margin = (buffer.height - viewDown * tileHeight) / 2;
  if (margin < kMinTileMargin) return kTileAttachRefused;
  if (buffer.bits && buffer.rowBytes < buffer.width * buffer.bytesPerPixel) return kTileAttachRefused;

  target_ = buffer;
  target_.rows = nullptr;
  viewAcross_ = viewAcross;
  viewDown_ = viewDown;
  tileWidth_ = tileWidth;
  tileHeight_ = tileHeight;
  gridAcross_ = static_cast<int16_t>(gridAcross);
  gridDown_ = static_cast<int16_t>(gridDown);
  margin_ = margin;
  slots_.fill(TilePosition{});
  fresh_ = true;
  hasWindow_ = false;
  progress_ = 0;
  span_ = {};
  originRow_ = originColumn_ = scrollRow_ = scrollColumn_ = 0;
  if (!buffer.bits) return kTileAttachedWithoutPixels;
  placesTiles_ = true;
  return kTileAttached;
}

CTileGrid::TileSpan CTileGrid::SpanOf(const TileWindow& window) const {
  TileSpan span;
  SpanAxis(window.top, window.bottom, height_, tileHeight_, gridDown_, span.firstRow, span.rows);
  SpanAxis(window.left, window.right, width_, tileWidth_, gridAcross_, span.firstColumn, span.columns);
  return span;
}

void CTileGrid::PlaceOrigin(const TileSpan& span) {
  if (fresh_) {
    originRow_ = span.firstRow;
    originColumn_ = span.firstColumn;
    scrollRow_ = scrollColumn_ = 0;
    fresh_ = false;
    return;
  }
  PlaceAxis(span.firstRow, span.rows, gridDown_, viewDown_, originRow_, scrollRow_);
  PlaceAxis(span.firstColumn, span.columns, gridAcross_, viewAcross_, originColumn_, scrollColumn_);
}

int32_t CTileGrid::SlotRowOf(int32_t pictureRow) const {
  return Wrap(scrollRow_ + Wrap(pictureRow - originRow_, gridDown_), viewDown_);
}

int32_t CTileGrid::SlotColumnOf(int32_t pictureColumn) const {
  return Wrap(scrollColumn_ + Wrap(pictureColumn - originColumn_, gridAcross_), viewAcross_);
}

uint8_t* CTileGrid::SlotPixels(int32_t slotRow, int32_t slotColumn) const {
  return target_.Row(margin_ + slotRow * tileHeight_) + static_cast<ptrdiff_t>(slotColumn) * tileWidth_ *
                                                             target_.bytesPerPixel;
}

TileStep CTileGrid::Update(const TileWindow& window, PixelMap* place, TilePosition* position, bool columnMajor) {
  if (!placesTiles_) return TileStep::TooManyTiles;
  if (!hasWindow_ || window != window_) {
    window_ = window;
    hasWindow_ = true;
    progress_ = 0;
    span_ = SpanOf(window);
  }
  if (span_.rows > viewDown_ || span_.columns > viewAcross_) return TileStep::TooManyTiles;
  PlaceOrigin(span_);

  const int32_t total = span_.rows * span_.columns;
  for (int32_t k = progress_; k < total; ++k) {
    const int32_t r = columnMajor ? k % span_.rows : k / span_.columns;
    const int32_t c = columnMajor ? k / span_.rows : k % span_.columns;
    const TilePosition tile{static_cast<int16_t>(Wrap(span_.firstRow + r, gridDown_)),
                            static_cast<int16_t>(Wrap(span_.firstColumn + c, gridAcross_))};
    const int32_t slotRow = SlotRowOf(tile.row);
    const int32_t slotColumn = SlotColumnOf(tile.column);
    TilePosition& slot = slots_[static_cast<size_t>(slotRow * viewAcross_ + slotColumn)];
    if (slot == tile) continue;
    slot = tile;
    *place = target_;
    place->bits = SlotPixels(slotRow, slotColumn);
    place->width = tileWidth_;
    place->height = tileHeight_;
    *position = tile;
    progress_ = k + 1;
    return TileStep::FetchTile;
  }
  progress_ = total;
  return TileStep::AllInPlace;
}

void CTileGrid::MirrorTile(const PixelMap& place) const {
  assert(placesTiles_ && "only a grid that places tiles has tiles to mirror");
  const ptrdiff_t halfRow = static_cast<ptrdiff_t>(viewAcross_) * tileWidth_ * target_.bytesPerPixel;
  assert((place.bits - target_.bits) % target_.rowBytes < halfRow && "a tile place lies in the first half");
  PixelMap mirror = place;
  mirror.bits = place.bits + halfRow;
  CopyPixelMap(place, mirror);
}

void CTileGrid::ForgetTile(const TilePosition& position) {
  for (TilePosition& slot : slots_)
    if (slot == position) slot = TilePosition{};
  progress_ = 0;
}

void CTileGrid::CopyMarginRows() const {
  const int32_t firstTileRow = margin_;
  const int32_t lastTileRow = margin_ + viewDown_ * tileHeight_ - 1;
  const size_t bytes = static_cast<size_t>(target_.rowBytes);
  // A reader stepping a row past either end of the cyclic buffer finds the
  // row that follows there in the picture.
  for (int32_t k = 1; k <= kMinTileMargin; ++k) {
    std::memmove(target_.Row(firstTileRow - k), target_.Row(lastTileRow - k + 1), bytes);
    std::memmove(target_.Row(lastTileRow + k), target_.Row(firstTileRow + k - 1), bytes);
  }
}

int32_t CTileGrid::GetViewMap(PixelMap* out, CRowTable& table) const {
  if (!placesTiles_ || !out || table.PictureRows() != height_) return kTileAttachRefused;
  const int32_t firstRow = hasWindow_ ? span_.firstRow : originRow_;
  const int32_t firstColumn = hasWindow_ ? span_.firstColumn : originColumn_;
  const int32_t heldRows = std::clamp(span_.rows, 1, static_cast<int32_t>(viewDown_)) * tileHeight_;
  const int32_t firstPixelRow = firstRow * tileHeight_;
  const ptrdiff_t columnBias =
      static_cast<ptrdiff_t>(SlotColumnOf(firstColumn) - firstColumn) * tileWidth_ * target_.bytesPerPixel;

  for (int32_t y = 0; y < height_; ++y) {
    int32_t down = Wrap(y - firstPixelRow, height_);
    if (down >= heldRows) {
      const int32_t pastLast = down - (heldRows - 1);
      const int32_t beforeFirst = height_ - down;
      down = pastLast <= beforeFirst ? heldRows - 1 : 0;
    }
    const int32_t slotRow = SlotRowOf(Wrap(firstRow + down / tileHeight_, gridDown_));
    uint8_t* const physical = target_.Row(margin_ + slotRow * tileHeight_ + down % tileHeight_);
    table.Set(y, Offset(physical, columnBias));
  }
  table.FillGuards();
  CopyMarginRows();

  *out = PixelMap{};
  out->width = width_;
  out->height = height_;
  out->bytesPerPixel = target_.bytesPerPixel;
  out->rowBytes = target_.rowBytes;
  out->rows = table.Rows();
  return 0;
}

}  // namespace vx
