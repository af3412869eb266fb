// The innermost loop of sphere and cylinder drawing: one output row from
// one row of the warp table. The routines know nothing of angles, only of
// packed table entries (PackedCoordinates.h), source row pointers and the
// output row; one routine per output pixel size and quality class, each for
// narrow and wide entries.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/pano/PackedCoordinates.h"

namespace vx {

// Where the reads of a row that leave the picture's columns go. Without a
// guard every read is taken as it falls, which the caller has made sure
// stays inside the picture's columns.
struct ColumnGuard {
  int32_t base = 0;   // the picture column the row pointers stand at
  int32_t width = 0;  // the picture's columns
  // The picture goes once round: a column past either edge is read from
  // the other edge, in the same row.
  bool wrap = false;
  // Shown for every other column outside the picture; one readable row
  // either side of it.
  const uint8_t* fill = nullptr;

  // Reads of columns from `first` to `last` (counted from a row pointer
  // standing at the base) that all lie on one side of the picture's edges
  // share one shift: 0 inside it, a turn wholly past one edge of a whole
  // turn; kReadEach when each must go through At.
  static constexpr int32_t kReadEach = INT32_MIN;
  struct Runs {
    int32_t first = 0;  // the picture's columns, counted from the base
    int32_t end = 0;
    int32_t turn = 0;  // the picture's width where it wraps, else none

    int32_t ShiftOf(int32_t low, int32_t high) const {
      if (low >= first && high < end) return 0;
      if (turn != 0 && low >= end && high < end + turn) return -turn;
      if (turn != 0 && low >= first - turn && high < first) return turn;
      return kReadEach;
    }
  };
  Runs RunsFromBase() const {
    const auto clamp = [](int64_t v) {
      return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
    };
    return {clamp(-static_cast<int64_t>(base)), clamp(static_cast<int64_t>(width) - base), wrap ? width : 0};
  }

  // Where a read of column `column` (counted from a row pointer standing at
  // the base) goes. Addresses are formed without pointer arithmetic on the
  // picture, since a row pointer may stand far outside its row.
  template <typename Pixel>
  const uint8_t* At(const uint8_t* row, int32_t column) const {
    const int64_t at = static_cast<int64_t>(base) + column;
    int64_t shift = 0;
    if (at < 0 || at >= width) {
      if (!wrap) return fill;
      shift = at < 0 ? width : -static_cast<int64_t>(width);
      if (at + shift < 0 || at + shift >= width) return fill;
    }
    const int64_t bytes = (column + shift) * static_cast<int64_t>(sizeof(Pixel));
    return reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(row) + static_cast<uintptr_t>(bytes));
  }
};

// Modes: 0 reads the band's rows forward and puts the row's right half at
// +X; 1 is 0 with the rows read backward (entry -i); 2 reads forward with
// the sides swapped (the view seen over the pole); 3 is 2 read backward.
// Any other mode writes nothing.
template <PackedEntry Entry>
struct RowWarpJob {
  int32_t count = 0;                     // pixels in the output row
  uint8_t* destination = nullptr;        // the row's pixel (count >> 1)
  const Entry* table = nullptr;          // one row of packed entries
  int32_t step = 0;                      // 16.16 table columns per pixel
  int32_t start = 0;                     // 16.16 table position of the centre
  uint8_t* const* sourceRows = nullptr;  // each at the yaw column (front or back) of its row
  Entry yawFraction = 0;                 // PackedYawFraction
  ptrdiff_t stride = 0;                  // source row to the next one, bytes
  int16_t mode = 0;
  const ColumnGuard* guard = nullptr;
};

template <PackedEntry Entry>
using PanoRowWarper = void (*)(const RowWarpJob<Entry>& job);

// Half: entries at half-column positions; quarter: at quarter positions.
// Source sampling: nearest, half-pixel averages (768) or 1/16 bilinear (1024).
template <PackedEntry Entry>
void WarpRows8_256(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows8(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows16_256(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows16_512(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows16_768(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows16_1024(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows32_256(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows32_512(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows32_768(const RowWarpJob<Entry>& job);
template <PackedEntry Entry>
void WarpRows32_1024(const RowWarpJob<Entry>& job);

// The class a view resolution rounds to: 256, 512, 768, or 1024 and above.
inline int32_t QualityClass(int32_t resolution) { return (resolution + 128) & ~0xFF; }

// The routine for an output pixel size (1, 2 or 4) and a quality class;
// null for any other.
template <PackedEntry Entry>
PanoRowWarper<Entry> ChooseRowWarper(int32_t pixelSize, int32_t qualityClass);

// Whether the quality class reads the source bilinearly (and so starts its
// rows on the centre rather than half a step out).
bool IsBilinearClass(int32_t pixelSize, int32_t qualityClass);

}  // namespace vx
