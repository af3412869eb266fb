// Row tables of panorama pictures, and the guard rows that every panorama
// picture carries. The renderers read panorama pixels only as this header
// describes; whoever hands out a panorama picture keeps to it.
//
// A picture that is described with a row table (PixelMap::rows not null):
// - `bits` is null; `width` and `height` are the whole picture's, even when
//   only part of it is held in memory; `bytesPerPixel` and `rowBytes` are
//   those of the memory the rows lie in.
// - `rows` points at the entry of picture row 0 in a table of pointer-sized
//   entries, one per picture row, with kPictureGuardRows guard entries before
//   row 0 and after the last row: rows[y] exists for
//   -kPictureGuardRows <= y < height + kPictureGuardRows. A guard entry
//   repeats the nearest picture row (rows[-1] == rows[0]).
// - Every entry is set: a picture row that is not held points at the held
//   row nearest to it, so that a reader sees edge pixels there, never
//   unset memory.
// - Columns: rows[y] + x * bytesPerPixel is picture column x. Only the
//   columns of the part in memory show the picture; a part that crosses the
//   picture's right edge goes on past it, so column width + k there shows
//   picture column k (the wrap at the seam). Entries may therefore point
//   before the memory of their row: only rows[y] + x * bytesPerPixel for a
//   column x of the held part is an address to take.
// - Reading safely: for every entry, columns from -width to 2 * width - 1
//   lie inside the picture's memory, and so does the same range one row
//   (rowBytes) below or above an entry, which bilinear readers use. Pixels
//   outside the held columns are some other part of the picture.
//
// A picture described without a row table (rows null) has kPictureGuardRows
// readable rows of rowBytes above row 0 and below its last row: a reader may
// step one row past either edge. Its rows lie end to end, so a column past
// the right edge would read the start of the next row: readers take column
// width + k of such a picture from column k of the same row themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/media/MediaLimits.h"
#include "engine/render/PixelMap.h"

namespace vx {

// Images that hold their guard rows in memory are kPictureGuardRows rows
// taller than their picture at either edge.
inline constexpr int32_t GuardedImageHeight(int32_t pictureHeight) { return pictureHeight + 2 * kPictureGuardRows; }
// The picture rows of such an image; bits null when it has none.
PixelMap PictureBetweenGuards(PixelMap image);
// Copies the picture's first and last rows into the guard rows beyond them;
// needed whenever the edge rows change.
void RefreshGuardRows(const PixelMap& picture);

class CRowTable {
 public:
  // A table for that many picture rows (and the guards), every entry null.
  void Resize(int32_t pictureRows);
  int32_t PictureRows() const { return pictureRows_; }
  bool Empty() const { return pictureRows_ == 0; }

  // What PixelMap::rows takes: the entry of picture row 0.
  uint8_t* const* Rows() const { return entries_.data() + kPictureGuardRows; }
  // Row y of the picture, 0 <= y < PictureRows().
  void Set(int32_t y, uint8_t* start);
  uint8_t* Get(int32_t y) const;
  // The guard entries repeat the first and the last picture row.
  void FillGuards();

 private:
  std::vector<uint8_t*> entries_;
  int32_t pictureRows_ = 0;
};

}  // namespace vx
