// The innermost loop of sphere and cylinder drawing: one output row from
// one row of the warp table. The routines know nothing of angles, only of
// packed table entries (PackedCoordinates.h), source row pointers and the
// output row; one routine per output pixel size and quality class.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// Modes: 0 reads the band's rows forward and puts the row's right half at
// +X; 1 is 0 with the rows read backward (entry -i); 2 reads forward with
// the sides swapped (the view seen over the pole); 3 is 2 read backward.
// Any other mode writes nothing.
struct RowWarpJob {
  int32_t count = 0;                        // pixels in the output row
  uint8_t* destination = nullptr;           // the row's pixel (count >> 1)
  const uint32_t* table = nullptr;          // one row of packed entries
  int32_t step = 0;                         // 16.16 table columns per pixel
  int32_t start = 0;                        // 16.16 table position of the centre
  uint8_t* const* sourceRows = nullptr;     // each at the yaw column of its row
  uint32_t yawFraction = 0;                 // 1 column = 2^20
  ptrdiff_t stride = 0;                     // source row to the next one, bytes
  int16_t mode = 0;
};

using PanoRowWarper = void (*)(const RowWarpJob& job);

// Half: entries at half-column positions; quarter: at quarter positions.
// Source sampling: nearest, half-pixel averages (768) or 1/16 bilinear (1024).
void WarpRows8_256(const RowWarpJob& job);
void WarpRows8(const RowWarpJob& job);
void WarpRows16_256(const RowWarpJob& job);
void WarpRows16_512(const RowWarpJob& job);
void WarpRows16_768(const RowWarpJob& job);
void WarpRows16_1024(const RowWarpJob& job);
void WarpRows32_256(const RowWarpJob& job);
void WarpRows32_512(const RowWarpJob& job);
void WarpRows32_768(const RowWarpJob& job);
void WarpRows32_1024(const RowWarpJob& job);

// The class a view resolution rounds to: 256, 512, 768, or 1024 and above.
inline int32_t QualityClass(int32_t resolution) { return (resolution + 128) & ~0xFF; }

// The routine for an output pixel size (1, 2 or 4) and a quality class;
// null for any other.
PanoRowWarper ChooseRowWarper(int32_t pixelSize, int32_t qualityClass);

// Whether the quality class reads the source bilinearly (and so starts its
// rows on the centre rather than half a step out).
bool IsBilinearClass(int32_t pixelSize, int32_t qualityClass);

}  // namespace vx
