#include "engine/pano/RowWarpers.h"

#include <algorithm>
#include <array>
#include <span>
#include <type_traits>

#include "engine/pano/PackedCoordinates.h"
#include "engine/pano/PanoLimits.h"

namespace vx {
namespace {

enum class TableSampling { kHalf, kQuarter };

template <TableSampling kSampling, PackedEntry Entry>
inline Entry SampleTable(const Entry* table, int32_t x) {
  const Entry* entry = table + (x >> 16);
  if constexpr (kSampling == TableSampling::kHalf) {
    return (x & 0x8000) ? PackedAverage(entry[0], entry[1]) : entry[0];
  } else {
    switch ((x >> 14) & 3) {
      case 0:
        return entry[0];
      case 1:
        return PackedAverage(PackedAverage(entry[0], entry[1]), entry[0]);
      case 2:
        return PackedAverage(entry[0], entry[1]);
      default:
        return PackedAverage(PackedAverage(entry[0], entry[1]), entry[1]);
    }
  }
}

// Where a sampler reads: the pixel, its neighbour away from the row's
// centre on that side, and the row the mode reads next; with the 1/16
// fractions of the position between them.
struct SourceSpot {
  const uint8_t* pixel;
  const uint8_t* neighbour;
  ptrdiff_t nextRow;  // bytes, signed by the mode's row direction
  int32_t columnFraction;
  int32_t rowFraction;
};

template <typename Pixel>
inline Pixel PixelAt(const uint8_t* at) {
  return *reinterpret_cast<const Pixel*>(at);
}

template <typename Pixel>
struct NearestSampler {
  static Pixel Read(const SourceSpot& s) { return PixelAt<Pixel>(s.pixel); }
};

inline uint16_t Average555(uint16_t a, uint16_t b) {
  return static_cast<uint16_t>(((((a & 0x3E0) + (b & 0x3E0)) & 0x7C0) + (((a & 0x7C1F) + (b & 0x7C1F)) & 0xF83E)) >> 1);
}

constexpr int32_t kHalfFraction = kPackedUnit / 2;

struct HalfSampler16 {
  static uint16_t Read(const SourceSpot& s) {
    const bool halfColumn = s.columnFraction & kHalfFraction;
    const bool halfRow = s.rowFraction & kHalfFraction;
    const uint16_t p = PixelAt<uint16_t>(s.pixel);
    if (!halfColumn && !halfRow) return p;
    if (!halfRow) return Average555(p, PixelAt<uint16_t>(s.neighbour));
    const uint16_t below = PixelAt<uint16_t>(s.pixel + s.nextRow);
    if (!halfColumn) return Average555(p, below);
    return Average555(Average555(p, PixelAt<uint16_t>(s.neighbour)),
                      Average555(below, PixelAt<uint16_t>(s.neighbour + s.nextRow)));
  }
};

struct HalfSampler32 {
  static uint32_t Read(const SourceSpot& s) {
    const bool halfColumn = s.columnFraction & kHalfFraction;
    const bool halfRow = s.rowFraction & kHalfFraction;
    const uint32_t p = PixelAt<uint32_t>(s.pixel);
    if (!halfColumn && !halfRow) return p;
    if (!halfColumn) return ((p & 0xFEFEFEFFu) + (PixelAt<uint32_t>(s.pixel + s.nextRow) & 0xFEFEFEFFu)) >> 1;
    const uint8_t* other = halfRow ? s.neighbour + s.nextRow : s.neighbour;
    return ((p & 0x7EFEFEFFu) + (PixelAt<uint32_t>(other) & 0x7EFEFEFFu)) >> 1;
  }
};

// Every channel moved from a toward b by w/16, rounded down: a * (16 - w)
// + b * w over 16 is a + floor((b - a) * w / 16) for whole a. The channels
// are spread so that each has four spare bits above it for the products.
inline uint16_t Lerp555(uint32_t a, uint32_t b, int32_t w) {
  constexpr uint32_t kSpread = 0x03E07C1F;  // green moved up to bits 21-25
  const uint32_t sa = (a | a << 16) & kSpread, sb = (b | b << 16) & kSpread;
  const uint32_t mixed = ((sa * static_cast<uint32_t>(16 - w) + sb * static_cast<uint32_t>(w)) >> 4) & kSpread;
  return static_cast<uint16_t>((mixed | mixed >> 16) & 0x7FFF);
}

inline uint32_t Lerp888(uint32_t a, uint32_t b, int32_t w) {
  const auto keep = static_cast<uint32_t>(16 - w), take = static_cast<uint32_t>(w);
  const uint32_t redBlue = (((a & 0xFF00FF) * keep + (b & 0xFF00FF) * take) >> 4) & 0xFF00FF;
  const uint32_t green = (((a & 0xFF00) * keep + (b & 0xFF00) * take) >> 4) & 0xFF00;
  return redBlue | green;
}

template <typename Pixel, Pixel (*kLerp)(uint32_t, uint32_t, int32_t)>
struct BilinearSampler {
  static Pixel Read(const SourceSpot& s) {
    const Pixel top = kLerp(PixelAt<Pixel>(s.pixel), PixelAt<Pixel>(s.neighbour), s.columnFraction);
    const Pixel bottom =
        kLerp(PixelAt<Pixel>(s.pixel + s.nextRow), PixelAt<Pixel>(s.neighbour + s.nextRow), s.columnFraction);
    return kLerp(top, bottom, s.rowFraction);
  }
};

// The shifts of a run's reads ahead of and behind the row pointer (see
// ColumnGuard::Runs); zero in a row without guard.
struct RunShifts {
  int32_t ahead = 0;
  int32_t behind = 0;
  bool Uniform() const { return ahead != ColumnGuard::kReadEach && behind != ColumnGuard::kReadEach; }
};

template <PackedEntry Entry>
inline int32_t AheadColumn(Entry e, Entry yawFraction) {
  return PackedColumn(static_cast<Entry>(e + yawFraction));
}
template <PackedEntry Entry>
inline int32_t BehindColumn(Entry e, Entry yawFraction) {
  return -PackedColumn(static_cast<Entry>(e - yawFraction)) - 1;
}

// The columns the groups of four pixels of a guarded row read: group g
// runs from the table sample at its start to the one at the next group's,
// a column wider either way for the rounding of the steps between and for
// the neighbour a blending reader takes. Along a row the columns only move
// away from the row pointer (the table's X never shrinks outward).
template <TableSampling kSampling, PackedEntry Entry>
struct GroupColumns {
  const Entry* table;
  int32_t start;
  int32_t groupStep;
  Entry yawFraction;
  ColumnGuard::Runs runs;

  Entry Anchor(int32_t group) const { return SampleTable<kSampling>(table, start + groupStep * group); }
  RunShifts ShiftsOf(int32_t group) const {
    const Entry first = Anchor(group), last = Anchor(group + 1);
    const int32_t a0 = AheadColumn(first, yawFraction), a1 = AheadColumn(last, yawFraction);
    const int32_t b0 = BehindColumn(first, yawFraction), b1 = BehindColumn(last, yawFraction);
    return {runs.ShiftOf(std::min(a0, a1) - 1, std::max(a0, a1) + 2),
            runs.ShiftOf(std::min(b0, b1) - 2, std::max(b0, b1) + 1)};
  }
};

// Groups that keep both sides' shifts, up to (not including) `end`.
struct RowSegment {
  int32_t end;
  RunShifts shifts;
};
// A side's columns cross each of the picture's (at most four) region edges
// once, so a row has few segments.
constexpr size_t kMaxRowSegments = 12;

// The segments of a row of `groups` groups: each found by halving, since
// the groups that share the first one's shifts come first.
template <TableSampling kSampling, PackedEntry Entry>
std::span<const RowSegment> SegmentsOf(const GroupColumns<kSampling, Entry>& columns, int32_t groups,
                                       std::array<RowSegment, kMaxRowSegments>& out) {
  auto same = [](const RunShifts& a, const RunShifts& b) { return a.ahead == b.ahead && a.behind == b.behind; };
  size_t count = 0;
  int32_t first = 0;
  while (first < groups) {
    const RunShifts shifts = columns.ShiftsOf(first);
    if (count + 1 == kMaxRowSegments) {
      // More edges than a row can cross: the rest reads through the guard.
      out[count++] = {groups, {ColumnGuard::kReadEach, ColumnGuard::kReadEach}};
      break;
    }
    // Most often the shifts hold to the row's end.
    int32_t low = same(columns.ShiftsOf(groups - 1), shifts) ? groups - 1 : first;
    int32_t high = groups;  // the shifts hold at low; the end lies in (low, high]
    while (high - low > 1) {
      const int32_t middle = low + (high - low) / 2;
      if (same(columns.ShiftsOf(middle), shifts)) {
        low = middle;
      } else {
        high = middle;
      }
    }
    out[count++] = {high, shifts};
    first = high;
  }
  return {out.data(), count};
}

// Everything a row calls is inlined into its loop, whatever the size of
// the family's instantiations.
template <typename Pixel, TableSampling kSampling, class Sampler, int kMode, bool kGuarded, PackedEntry Entry>
[[gnu::flatten]] void WarpRowInMode(const RowWarpJob<Entry>& job) {
  constexpr bool kBackward = (kMode & 1) != 0;
  constexpr bool kSwapped = (kMode & 2) != 0;
  const ptrdiff_t nextRow = kBackward ? -job.stride : job.stride;
  const Entry yawFraction = job.yawFraction;
  uint8_t* const* const rows = job.sourceRows;
  const ColumnGuard* const guard = job.guard;

  auto rowOf = [rows](Entry e) -> const uint8_t* {
    const int32_t index = PackedRow(e);
    return kBackward ? rows[-index] : rows[index];
  };
  // A read of a run whose columns all lie on one side of the picture's
  // edges takes the run's shift (none in a row without guard); a run that
  // crosses an edge sends each read through the guard. The choice is made
  // once a run, by the tag: std::true_type reads each through the guard.
  auto spot = [&](auto eachThroughGuard, const uint8_t* row, int32_t column, int32_t outward, Entry position,
                  Entry e, int32_t shift) -> SourceSpot {
    const int32_t columnFraction = static_cast<int32_t>(position >> kPackedHalfBits<Entry>) & (kPackedUnit - 1);
    const int32_t rowFraction = static_cast<int32_t>(e) & (kPackedUnit - 1);
    if constexpr (decltype(eachThroughGuard)::value) {
      return {guard->template At<Pixel>(row, column), guard->template At<Pixel>(row, column + outward), nextRow,
              columnFraction, rowFraction};
    } else {
      const uint8_t* pixel = row + static_cast<ptrdiff_t>(column + shift) * static_cast<ptrdiff_t>(sizeof(Pixel));
      return {pixel, pixel + outward * static_cast<ptrdiff_t>(sizeof(Pixel)), nextRow, columnFraction, rowFraction};
    }
  };
  // The pixel at +X of the yaw column, and the one at -X. Over the pole the
  // right half runs toward smaller columns: the yaw fraction then adds to
  // the left half's reach and takes from the right's.
  auto ahead = [&](auto each, Entry e, const uint8_t* row, int32_t shift) {
    return Sampler::Read(spot(each, row, AheadColumn(e, yawFraction), 1, e + yawFraction, e, shift));
  };
  auto behind = [&](auto each, Entry e, const uint8_t* row, int32_t shift) {
    return Sampler::Read(spot(each, row, BehindColumn(e, yawFraction), -1, e - yawFraction, e, shift));
  };
  Pixel* right = reinterpret_cast<Pixel*>(job.destination);
  Pixel* left = right;  // one past the next left pixel
  int32_t rightToGo = job.count - (job.count >> 1);
  int32_t leftToGo = job.count >> 1;
  int32_t x = job.start;
  const int32_t step = job.step;

  auto pair = [&](auto each, Entry e, const RunShifts& shifts) {
    const uint8_t* row = rowOf(e);
    *right++ = kSwapped ? behind(each, e, row, shifts.behind) : ahead(each, e, row, shifts.ahead);
    *--left = kSwapped ? ahead(each, e, row, shifts.ahead) : behind(each, e, row, shifts.behind);
  };
  Entry e0 = SampleTable<kSampling>(job.table, x);
  auto runGroups = [&](int32_t count, auto each, const RunShifts& shifts) {
    for (int32_t g = 0; g < count; ++g) {
      x += 4 * step;
      const Entry e1 = SampleTable<kSampling>(job.table, x);
      const Entry delta = PackedQuarterDelta(e0, e1);
      Entry e = e0;
      for (int32_t k = 0; k < 4; ++k) {
        pair(each, e, shifts);
        e += delta;
      }
      e0 = e1;
    }
  };
  const int32_t groups = job.count >> 3;
  if constexpr (kGuarded) {
    const GroupColumns<kSampling, Entry> columns{job.table, job.start, 4 * step, yawFraction, guard->RunsFromBase()};
    std::array<RowSegment, kMaxRowSegments> segments;
    int32_t done = 0;
    for (const RowSegment& segment : SegmentsOf(columns, groups, segments)) {
      if (segment.shifts.Uniform()) {
        runGroups(segment.end - done, std::false_type{}, segment.shifts);
      } else {
        runGroups(segment.end - done, std::true_type{}, segment.shifts);
      }
      done = segment.end;
    }
  } else {
    runGroups(groups, std::false_type{}, RunShifts{});
  }
  rightToGo -= 4 * (job.count >> 3);
  leftToGo -= 4 * (job.count >> 3);
  // The few pixels left are each read through the guard of a guarded row.
  const auto tailEach = std::bool_constant<kGuarded>{};
  while (rightToGo > 0 || leftToGo > 0) {
    const Entry e = job.table[x >> 16];
    const uint8_t* row = rowOf(e);
    if (rightToGo > 0) {
      *right++ = kSwapped ? behind(tailEach, e, row, 0) : ahead(tailEach, e, row, 0);
      --rightToGo;
    }
    if (leftToGo > 0) {
      *--left = kSwapped ? ahead(tailEach, e, row, 0) : behind(tailEach, e, row, 0);
      --leftToGo;
    }
    x += step;
  }
}

template <typename Pixel, TableSampling kSampling, class Sampler, int kMode, PackedEntry Entry>
void WarpRowGuardedOrNot(const RowWarpJob<Entry>& job) {
  if (job.guard) return WarpRowInMode<Pixel, kSampling, Sampler, kMode, true>(job);
  WarpRowInMode<Pixel, kSampling, Sampler, kMode, false>(job);
}

template <typename Pixel, TableSampling kSampling, class Sampler, PackedEntry Entry>
void WarpRow(const RowWarpJob<Entry>& job) {
  switch (job.mode) {
    case 0:
      return WarpRowGuardedOrNot<Pixel, kSampling, Sampler, 0>(job);
    case 1:
      return WarpRowGuardedOrNot<Pixel, kSampling, Sampler, 1>(job);
    case 2:
      return WarpRowGuardedOrNot<Pixel, kSampling, Sampler, 2>(job);
    case 3:
      return WarpRowGuardedOrNot<Pixel, kSampling, Sampler, 3>(job);
    default:
      return;
  }
}

using Bilinear16 = BilinearSampler<uint16_t, Lerp555>;
using Bilinear32 = BilinearSampler<uint32_t, Lerp888>;
constexpr TableSampling kHalf = TableSampling::kHalf;
constexpr TableSampling kQuarter = TableSampling::kQuarter;

// Rows: pixel sizes 1, 2, 4; columns: quality classes 256, 512, 768, 1024.
constexpr int32_t kQualityClasses = 4;
template <PackedEntry Entry>
constexpr std::array<std::array<PanoRowWarper<Entry>, kQualityClasses>, 3> kRowWarpers{{
    {WarpRows8_256<Entry>, WarpRows8<Entry>, WarpRows8<Entry>, WarpRows8<Entry>},
    {WarpRows16_256<Entry>, WarpRows16_512<Entry>, WarpRows16_768<Entry>, WarpRows16_1024<Entry>},
    {WarpRows32_256<Entry>, WarpRows32_512<Entry>, WarpRows32_768<Entry>, WarpRows32_1024<Entry>},
}};

int32_t PixelSizeIndex(int32_t pixelSize) {
  switch (pixelSize) {
    case 1:
      return 0;
    case 2:
      return 1;
    case 4:
      return 2;
    default:
      return -1;
  }
}

}  // namespace

template <PackedEntry Entry>
void WarpRows8_256(const RowWarpJob<Entry>& job) { WarpRow<uint8_t, kHalf, NearestSampler<uint8_t>>(job); }
template <PackedEntry Entry>
void WarpRows8(const RowWarpJob<Entry>& job) { WarpRow<uint8_t, kQuarter, NearestSampler<uint8_t>>(job); }
template <PackedEntry Entry>
void WarpRows16_256(const RowWarpJob<Entry>& job) { WarpRow<uint16_t, kHalf, NearestSampler<uint16_t>>(job); }
template <PackedEntry Entry>
void WarpRows16_512(const RowWarpJob<Entry>& job) { WarpRow<uint16_t, kQuarter, NearestSampler<uint16_t>>(job); }
template <PackedEntry Entry>
void WarpRows16_768(const RowWarpJob<Entry>& job) { WarpRow<uint16_t, kQuarter, HalfSampler16>(job); }
template <PackedEntry Entry>
void WarpRows16_1024(const RowWarpJob<Entry>& job) { WarpRow<uint16_t, kQuarter, Bilinear16>(job); }
template <PackedEntry Entry>
void WarpRows32_256(const RowWarpJob<Entry>& job) { WarpRow<uint32_t, kHalf, NearestSampler<uint32_t>>(job); }
template <PackedEntry Entry>
void WarpRows32_512(const RowWarpJob<Entry>& job) { WarpRow<uint32_t, kQuarter, NearestSampler<uint32_t>>(job); }
template <PackedEntry Entry>
void WarpRows32_768(const RowWarpJob<Entry>& job) { WarpRow<uint32_t, kQuarter, HalfSampler32>(job); }
template <PackedEntry Entry>
void WarpRows32_1024(const RowWarpJob<Entry>& job) { WarpRow<uint32_t, kQuarter, Bilinear32>(job); }

template <PackedEntry Entry>
PanoRowWarper<Entry> ChooseRowWarper(int32_t pixelSize, int32_t qualityClass) {
  const int32_t size = PixelSizeIndex(pixelSize);
  if (size < 0 || qualityClass < kQualityLow) return nullptr;
  const int32_t column = qualityClass >= kQualityBest ? kQualityClasses - 1 : qualityClass / kQualityLow - 1;
  return kRowWarpers<Entry>[static_cast<size_t>(size)][static_cast<size_t>(column)];
}

bool IsBilinearClass(int32_t pixelSize, int32_t qualityClass) {
  return qualityClass > kQualityMedium && pixelSize > 1;
}

template void WarpRows8_256<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows8<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows16_256<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows16_512<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows16_768<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows16_1024<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows32_256<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows32_512<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows32_768<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template void WarpRows32_1024<NarrowEntry>(const RowWarpJob<NarrowEntry>&);
template PanoRowWarper<NarrowEntry> ChooseRowWarper<NarrowEntry>(int32_t, int32_t);
template void WarpRows8_256<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows8<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows16_256<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows16_512<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows16_768<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows16_1024<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows32_256<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows32_512<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows32_768<WideEntry>(const RowWarpJob<WideEntry>&);
template void WarpRows32_1024<WideEntry>(const RowWarpJob<WideEntry>&);
template PanoRowWarper<WideEntry> ChooseRowWarper<WideEntry>(int32_t, int32_t);

}  // namespace vx
