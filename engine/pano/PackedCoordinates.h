// Packed source coordinates of the warp tables: X (the column offset from
// the view's yaw column) in the high 16 bits and Y (the row from the top of
// the band) in the low 16 bits, each with 4 fraction bits. Seen as one
// 32-bit value, the source column is bits 20-31 and the row bits 4-14, so
// one addition, average or quarter step moves X and Y together.
#pragma once

#include <cstdint>

namespace vx {

// Each half averaged and rounded up; the halves stay below 0x8000, so the
// carry of the low half never reaches X.
inline uint32_t PackedAverage(uint32_t a, uint32_t b) { return ((a + b + 0x10001u) >> 1) & ~0x8000u; }

// A quarter of the way from e0 to e1: e0 + k * delta for k = 0..3 walks a
// run of four pixels. The two low bits of X's difference are cleared so
// that its remainder does not fall into Y.
inline uint32_t PackedQuarterDelta(uint32_t e0, uint32_t e1) {
  return static_cast<uint32_t>(static_cast<int32_t>((e1 - e0 + 0x20002u) & ~0x30000u) >> 2);
}

inline uint32_t PackEntry(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(x) << 16) + static_cast<uint32_t>(y);
}

// The column of a packed value with 20 fraction bits (arithmetic shift).
inline int32_t PackedColumn(uint32_t e) { return static_cast<int32_t>(e) >> 20; }
inline int32_t PackedRow(uint32_t e) { return static_cast<int32_t>((e & 0x7FF0u) >> 4); }
inline int32_t PackedX(uint32_t e) { return static_cast<int16_t>(e >> 16); }
inline int32_t PackedY(uint32_t e) { return static_cast<int32_t>(e & 0xFFFFu); }

}  // namespace vx
