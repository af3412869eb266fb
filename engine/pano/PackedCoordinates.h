// Packed source coordinates of the warp tables: X (the column offset from
// the view's yaw column) in the high half and Y (the row from the top of the
// band) in the low half, each with 4 fraction bits, so that one addition,
// average or quarter step moves X and Y together.
//
// Two widths share the arithmetic. Narrow entries (32 bits: X and Y in 16
// bits each) are what pictures up to about 8,000 columns and 4,000 band
// rows use; wider pictures get wide entries (64 bits: 32 bits each). Seen as
// one value, a narrow entry has the source column in bits 20-31 and the row
// in bits 4-14; a wide one the column in bits 36-63 and the row in bits 4-30.
#pragma once

#include <cstdint>
#include <type_traits>

namespace vx {

using NarrowEntry = uint32_t;
using WideEntry = uint64_t;

template <typename Entry>
concept PackedEntry = std::is_same_v<Entry, NarrowEntry> || std::is_same_v<Entry, WideEntry>;

inline constexpr int32_t kPackedFractionBits = 4;
inline constexpr int32_t kPackedUnit = 1 << kPackedFractionBits;

// Bits of each half.
template <PackedEntry Entry>
inline constexpr int32_t kPackedHalfBits = static_cast<int32_t>(sizeof(Entry) * 4);

// The top bit of the low half is kept clear, so that the carry of Y never
// reaches X. The largest value either half holds is just below it.
template <PackedEntry Entry>
inline constexpr Entry kPackedLowCarry = Entry{1} << (kPackedHalfBits<Entry> - 1);
template <PackedEntry Entry>
inline constexpr int64_t kPackedHalfMax = static_cast<int64_t>(kPackedLowCarry<Entry>) - 1;

// One source column, in the units of the whole value.
template <PackedEntry Entry>
inline constexpr int32_t kPackedColumnShift = kPackedHalfBits<Entry> + kPackedFractionBits;

// Each half averaged and rounded up; the halves stay below the carry bit.
template <PackedEntry Entry>
inline Entry PackedAverage(Entry a, Entry b) {
  constexpr Entry kRoundBoth = (Entry{1} << kPackedHalfBits<Entry>) | 1;
  return ((a + b + kRoundBoth) >> 1) & ~kPackedLowCarry<Entry>;
}

// A quarter of the way from e0 to e1: e0 + k * delta for k = 0..3 walks a
// run of four pixels. The two low bits of X's difference are cleared so
// that its remainder does not fall into Y.
template <PackedEntry Entry>
inline Entry PackedQuarterDelta(Entry e0, Entry e1) {
  using Signed = std::make_signed_t<Entry>;
  constexpr int32_t kHalf = kPackedHalfBits<Entry>;
  constexpr Entry kRoundBoth = (Entry{2} << kHalf) | 2;
  return static_cast<Entry>(static_cast<Signed>((e1 - e0 + kRoundBoth) & ~(Entry{3} << kHalf)) >> 2);
}

template <PackedEntry Entry = NarrowEntry>
inline Entry PackEntry(int64_t x, int64_t y) {
  return (static_cast<Entry>(x) << kPackedHalfBits<Entry>) + static_cast<Entry>(y);
}

// The column of a packed value (arithmetic shift).
template <PackedEntry Entry>
inline int32_t PackedColumn(Entry e) {
  return static_cast<int32_t>(static_cast<std::make_signed_t<Entry>>(e) >> kPackedColumnShift<Entry>);
}
template <PackedEntry Entry>
inline int32_t PackedRow(Entry e) {
  constexpr Entry kRowBits = (kPackedLowCarry<Entry> - 1) & ~static_cast<Entry>(kPackedUnit - 1);
  return static_cast<int32_t>((e & kRowBits) >> kPackedFractionBits);
}
template <PackedEntry Entry>
inline int32_t PackedX(Entry e) {
  using SignedHalf = std::conditional_t<std::is_same_v<Entry, NarrowEntry>, int16_t, int32_t>;
  return static_cast<SignedHalf>(e >> kPackedHalfBits<Entry>);
}
template <PackedEntry Entry>
inline int32_t PackedY(Entry e) {
  constexpr Entry kLowHalf = (Entry{1} << kPackedHalfBits<Entry>) - 1;
  return static_cast<int32_t>(e & kLowHalf);
}

// The sub-column part of a 16.16 yaw column in the units of a packed value.
template <PackedEntry Entry>
inline Entry PackedYawFraction(int64_t yawColumn) {
  return static_cast<Entry>(yawColumn & 0xFFFF) << (kPackedColumnShift<Entry> - 16);
}

}  // namespace vx
