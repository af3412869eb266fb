#include "engine/pano/RowWarpers.h"

#include <array>

#include "engine/pano/PackedCoordinates.h"
#include "engine/pano/PanoLimits.h"

namespace vx {
namespace {

enum class TableSampling { kHalf, kQuarter };

template <TableSampling kSampling>
inline uint32_t SampleTable(const uint32_t* table, int32_t x) {
  const uint32_t* entry = table + (x >> 16);
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
// centre on that side, and the row the mode reads next.
struct SourceSpot {
  const uint8_t* row;
  int32_t column;
  int32_t outward;       // +1 or -1
  ptrdiff_t nextRow;     // bytes, signed by the mode's row direction
  uint32_t position;     // the entry with the yaw fraction: column fraction in bits 16-19
  uint32_t entry;        // row fraction in bits 0-3
};

template <typename Pixel>
inline Pixel PixelAt(const uint8_t* row, int32_t column) {
  return reinterpret_cast<const Pixel*>(row)[column];
}

template <typename Pixel>
struct NearestSampler {
  static Pixel Read(const SourceSpot& s) { return PixelAt<Pixel>(s.row, s.column); }
};

inline uint16_t Average555(uint16_t a, uint16_t b) {
  return static_cast<uint16_t>(((((a & 0x3E0) + (b & 0x3E0)) & 0x7C0) + (((a & 0x7C1F) + (b & 0x7C1F)) & 0xF83E)) >> 1);
}

struct HalfSampler16 {
  static uint16_t Read(const SourceSpot& s) {
    const bool halfColumn = s.position & 0x80000;
    const bool halfRow = s.entry & 0x8;
    const uint16_t p = PixelAt<uint16_t>(s.row, s.column);
    if (!halfColumn && !halfRow) return p;
    const uint8_t* next = s.row + s.nextRow;
    if (!halfRow) return Average555(p, PixelAt<uint16_t>(s.row, s.column + s.outward));
    const uint16_t below = PixelAt<uint16_t>(next, s.column);
    if (!halfColumn) return Average555(p, below);
    return Average555(Average555(p, PixelAt<uint16_t>(s.row, s.column + s.outward)),
                      Average555(below, PixelAt<uint16_t>(next, s.column + s.outward)));
  }
};

struct HalfSampler32 {
  static uint32_t Read(const SourceSpot& s) {
    const bool halfColumn = s.position & 0x80000;
    const bool halfRow = s.entry & 0x8;
    const uint32_t p = PixelAt<uint32_t>(s.row, s.column);
    if (!halfColumn && !halfRow) return p;
    const uint8_t* next = s.row + s.nextRow;
    if (!halfColumn) return ((p & 0xFEFEFEFFu) + (PixelAt<uint32_t>(next, s.column) & 0xFEFEFEFFu)) >> 1;
    const uint8_t* other = halfRow ? next : s.row;
    return ((p & 0x7EFEFEFFu) + (PixelAt<uint32_t>(other, s.column + s.outward) & 0x7EFEFEFFu)) >> 1;
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
    const auto wx = static_cast<int32_t>((s.position >> 16) & 0xF);
    const auto wy = static_cast<int32_t>(s.entry & 0xF);
    const uint8_t* next = s.row + s.nextRow;
    const Pixel top = kLerp(PixelAt<Pixel>(s.row, s.column), PixelAt<Pixel>(s.row, s.column + s.outward), wx);
    const Pixel bottom = kLerp(PixelAt<Pixel>(next, s.column), PixelAt<Pixel>(next, s.column + s.outward), wx);
    return kLerp(top, bottom, wy);
  }
};

template <typename Pixel, TableSampling kSampling, class Sampler, int kMode>
void WarpRowInMode(const RowWarpJob& job) {
  constexpr bool kBackward = (kMode & 1) != 0;
  constexpr bool kSwapped = (kMode & 2) != 0;
  const ptrdiff_t nextRow = kBackward ? -job.stride : job.stride;
  const uint32_t yawFraction = job.yawFraction;
  uint8_t* const* const rows = job.sourceRows;

  auto rowOf = [rows](uint32_t e) -> const uint8_t* {
    const int32_t index = PackedRow(e);
    return kBackward ? rows[-index] : rows[index];
  };
  // Over the pole the right half runs toward smaller columns: the yaw
  // fraction then adds to the left half's reach and takes from the right's.
  auto rightPixel = [&](uint32_t e, const uint8_t* row) {
    const uint32_t position = kSwapped ? e - yawFraction : e + yawFraction;
    const int32_t column = PackedColumn(position);
    return Sampler::Read({row, kSwapped ? -column - 1 : column, kSwapped ? -1 : 1, nextRow, position, e});
  };
  auto leftPixel = [&](uint32_t e, const uint8_t* row) {
    const uint32_t position = kSwapped ? e + yawFraction : e - yawFraction;
    const int32_t column = PackedColumn(position);
    return Sampler::Read({row, kSwapped ? column : -column - 1, kSwapped ? 1 : -1, nextRow, position, e});
  };

  Pixel* right = reinterpret_cast<Pixel*>(job.destination);
  Pixel* left = right;  // one past the next left pixel
  int32_t rightToGo = job.count - (job.count >> 1);
  int32_t leftToGo = job.count >> 1;
  int32_t x = job.start;
  const int32_t step = job.step;

  uint32_t e0 = SampleTable<kSampling>(job.table, x);
  for (int32_t group = job.count >> 3; group > 0; --group) {
    x += 4 * step;
    const uint32_t e1 = SampleTable<kSampling>(job.table, x);
    const uint32_t delta = PackedQuarterDelta(e0, e1);
    uint32_t e = e0;
    for (int32_t k = 0; k < 4; ++k) {
      const uint8_t* row = rowOf(e);
      *right++ = rightPixel(e, row);
      *--left = leftPixel(e, row);
      e += delta;
    }
    e0 = e1;
  }
  rightToGo -= 4 * (job.count >> 3);
  leftToGo -= 4 * (job.count >> 3);
  while (rightToGo > 0 || leftToGo > 0) {
    const uint32_t e = job.table[x >> 16];
    const uint8_t* row = rowOf(e);
    if (rightToGo > 0) {
      *right++ = rightPixel(e, row);
      --rightToGo;
    }
    if (leftToGo > 0) {
      *--left = leftPixel(e, row);
      --leftToGo;
    }
    x += step;
  }
}

template <typename Pixel, TableSampling kSampling, class Sampler>
void WarpRow(const RowWarpJob& job) {
  switch (job.mode) {
    case 0:
      return WarpRowInMode<Pixel, kSampling, Sampler, 0>(job);
    case 1:
      return WarpRowInMode<Pixel, kSampling, Sampler, 1>(job);
    case 2:
      return WarpRowInMode<Pixel, kSampling, Sampler, 2>(job);
    case 3:
      return WarpRowInMode<Pixel, kSampling, Sampler, 3>(job);
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
constexpr std::array<std::array<PanoRowWarper, kQualityClasses>, 3> kRowWarpers{{
    {WarpRows8_256, WarpRows8, WarpRows8, WarpRows8},
    {WarpRows16_256, WarpRows16_512, WarpRows16_768, WarpRows16_1024},
    {WarpRows32_256, WarpRows32_512, WarpRows32_768, WarpRows32_1024},
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

void WarpRows8_256(const RowWarpJob& job) { WarpRow<uint8_t, kHalf, NearestSampler<uint8_t>>(job); }
void WarpRows8(const RowWarpJob& job) { WarpRow<uint8_t, kQuarter, NearestSampler<uint8_t>>(job); }
void WarpRows16_256(const RowWarpJob& job) { WarpRow<uint16_t, kHalf, NearestSampler<uint16_t>>(job); }
void WarpRows16_512(const RowWarpJob& job) { WarpRow<uint16_t, kQuarter, NearestSampler<uint16_t>>(job); }
void WarpRows16_768(const RowWarpJob& job) { WarpRow<uint16_t, kQuarter, HalfSampler16>(job); }
void WarpRows16_1024(const RowWarpJob& job) { WarpRow<uint16_t, kQuarter, Bilinear16>(job); }
void WarpRows32_256(const RowWarpJob& job) { WarpRow<uint32_t, kHalf, NearestSampler<uint32_t>>(job); }
void WarpRows32_512(const RowWarpJob& job) { WarpRow<uint32_t, kQuarter, NearestSampler<uint32_t>>(job); }
void WarpRows32_768(const RowWarpJob& job) { WarpRow<uint32_t, kQuarter, HalfSampler32>(job); }
void WarpRows32_1024(const RowWarpJob& job) { WarpRow<uint32_t, kQuarter, Bilinear32>(job); }

PanoRowWarper ChooseRowWarper(int32_t pixelSize, int32_t qualityClass) {
  const int32_t size = PixelSizeIndex(pixelSize);
  if (size < 0 || qualityClass < kQualityLow) return nullptr;
  const int32_t column = qualityClass >= kQualityBest ? kQualityClasses - 1 : qualityClass / kQualityLow - 1;
  return kRowWarpers[static_cast<size_t>(size)][static_cast<size_t>(column)];
}

bool IsBilinearClass(int32_t pixelSize, int32_t qualityClass) {
  return qualityClass > kQualityMedium && pixelSize > 1;
}

}  // namespace vx
