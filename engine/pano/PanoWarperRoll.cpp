// The roll path of the sphere and cylinder warpers: the view turned about
// its axis cannot walk table rows along output rows, so each frame a coarse
// grid of packed source coordinates is warped for the unrolled square that
// holds the rolled view, and output rows walk that grid at an angle.
#include <algorithm>
#include <cmath>

#include "engine/pano/PackedCoordinates.h"
#include "engine/pano/PanoWarper.h"
#include "engine/render/Numeric.h"

namespace vx {
namespace {

// A packed entry at a 16.16 table position, X and Y interpolated apart.
struct GridCoordinates {
  int32_t x;
  int32_t y;
};

template <PackedEntry Entry>
GridCoordinates InterpolateEntry(const Entry* entries, int32_t tableWidth, int64_t position) {
  const int64_t last = static_cast<int64_t>(tableWidth - 2) << 16;
  position = std::clamp<int64_t>(position, 0, last + 0x10000);
  const int64_t column = std::min(position >> 16, last >> 16);
  const int64_t fraction = position - (column << 16);
  const Entry a = entries[column], b = entries[column + 1];
  const int64_t x = PackedX(a) + ((static_cast<int64_t>(PackedX(b) - PackedX(a)) * fraction) >> 16);
  const int64_t y = PackedY(a) + ((static_cast<int64_t>(PackedY(b) - PackedY(a)) * fraction) >> 16);
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

// A source position: 1 column or row = 2^20.
struct SourcePosition {
  int64_t column;
  int64_t row;
};

}  // namespace

// The grid holds wide entries whatever the table's: its rows address the
// front and back row arrays as one, twice the band.
template <PackedEntry Entry>
void CPanoWarper::BuildRollGrid() {
  const int32_t columns = layout_.rollColumns, rows = layout_.rollRows;
  const int32_t band = bandHeight_ * kPackedUnit;
  auto place = [band](GridCoordinates c, bool right, int16_t mode) {
    int32_t y = c.y;
    switch (mode) {
      case 1:
        y = band - kPackedUnit - y;
        break;
      case 2:
        y = y + band;
        break;
      case 3:
        y = 2 * band - kPackedUnit - y;
        break;
      default:
        break;
    }
    const bool positive = right != ((mode & 2) != 0);
    return PackEntry<WideEntry>(positive ? c.x : -c.x, std::clamp(y, 0, 2 * band - kPackedUnit));
  };
  for (int32_t i = 0; i < rows; ++i) {
    const RowSource<Entry> source = SourceForRow<Entry>(TableRowFor(rowScales_[i]), columns);
    WideEntry* centre = rollGrid_ + static_cast<size_t>(i) * static_cast<size_t>(columns) + columns / 2;
    for (int32_t k = 0; k < columns / 2; ++k) {
      const int64_t right = source.start + static_cast<int64_t>(k) * source.step;
      const int64_t left = right + source.step;
      centre[k] = place(InterpolateEntry(source.table, layout_.tableWidth, right), true, source.mode);
      centre[-1 - k] = place(InterpolateEntry(source.table, layout_.tableWidth, left), false, source.mode);
    }
  }
}

template void CPanoWarper::BuildRollGrid<NarrowEntry>();
template void CPanoWarper::BuildRollGrid<WideEntry>();

void CPanoWarper::SetUpRollScan(double roll) {
  const double c = static_cast<float>(std::cos(roll)), s = static_cast<float>(std::sin(roll));
  const double w = frameOutput_.width, h = frameOutput_.height;
  const double columns = layout_.rollColumns, rows = layout_.rollRows;
  const double aspect = h / w;
  const double k = rows / ((1 + aspect) * kRollDiagonal);
  const double ka = k * aspect;
  const double ry = (ka - 1) / (h - 1), rx = (k - 1) / (w - 1);
  rollScan_.x0 = RoundHalfAway(65536 * (columns / 2 - (c * k / 2 + s * ka / 2) * columns / rows));
  rollScan_.y0 = RoundHalfAway(65536 * (rows / 2 - (c * ka / 2 - s * k / 2)));
  rollScan_.rowDx = RoundHalfAway(ry * (columns / rows) * s * 65536);
  rollScan_.rowDy = RoundHalfAway(ry * c * 65536);
  rollScan_.dx = RoundHalfAway(rx * (columns / rows) * c * 65536);
  rollScan_.dy = RoundHalfAway(-s * rx * 65536);
}

void CPanoWarper::DrawRolledRow(int32_t row) {
  switch (frameOutput_.bytesPerPixel) {
    case 4:
      return WalkRolledRow<uint32_t>(row);
    case 2:
      return WalkRolledRow<uint16_t>(row);
    case 1:
      return WalkRolledRow<uint8_t>(row);
    default:
      return;
  }
}

template <typename Pixel>
void CPanoWarper::WalkRolledRow(int32_t row) {
  const int32_t columns = layout_.rollColumns, rows = layout_.rollRows;
  const bool bilinearGrid = qualityClass_ >= kQualityHigh;
  // The yaw column's fraction in the grid's source units (2^20 a column).
  const int64_t yawFraction = static_cast<int64_t>(yawFraction_) << kPackedFractionBits;
  auto entryAt = [this, columns](int64_t gridRow, int64_t gridColumn) {
    return rollGrid_[gridRow * columns + gridColumn];
  };
  // Linear between two grid columns of one row, X and Y apart.
  auto alongRow = [&](int64_t gridRow, int64_t gridColumn, int64_t fraction) -> SourcePosition {
    const WideEntry a = entryAt(gridRow, gridColumn), b = entryAt(gridRow, gridColumn + 1);
    const int64_t ax = PackedX(a), ay = PackedY(a);
    return {ax * 65536 + (PackedX(b) - ax) * fraction, ay * 65536 + (PackedY(b) - ay) * fraction};
  };
  auto sample = [&](int64_t gx, int64_t gy) -> SourcePosition {
    gx = std::clamp<int64_t>(gx, 0, static_cast<int64_t>(columns - 1) << 16);
    gy = std::clamp<int64_t>(gy, 0, static_cast<int64_t>(rows - 1) << 16);
    const int64_t column = std::min<int64_t>(gx >> 16, columns - 2);
    const int64_t fx = gx - (column << 16);
    SourcePosition p;
    if (!bilinearGrid) {
      p = alongRow((gy + 0x8000) >> 16, column, fx);
    } else {
      const int64_t top = std::min<int64_t>(gy >> 16, rows - 2);
      const int64_t fy = gy - (top << 16);
      const SourcePosition a = alongRow(top, column, fx), b = alongRow(top + 1, column, fx);
      p = {a.column + (((b.column - a.column) * fy) >> 16), a.row + (((b.row - a.row) * fy) >> 16)};
    }
    p.column += yawFraction;
    return p;
  };
  uint8_t* const* const sourceRows = rowArrays_.data();
  const int64_t band = bandHeight_;
  const bool rowTable = policy_ == ColumnPolicy::kRowTable;
  // Front rows, then back rows, each read through the guard of its column.
  auto read = [&](const SourcePosition& p) {
    const int64_t index = std::clamp<int64_t>(p.row >> 20, 0, 2 * band - 1);
    const uint8_t* row = sourceRows[index];
    const auto column = static_cast<int32_t>(p.column >> 20);
    if (rowTable) return reinterpret_cast<const Pixel*>(row)[column];
    const ColumnGuard& guard = index < band ? frontGuard_ : backGuard_;
    return *reinterpret_cast<const Pixel*>(guard.At<Pixel>(row, column));
  };

  const int32_t width = frameOutput_.width;
  Pixel* out = reinterpret_cast<Pixel*>(OutputCentre(row)) - (width >> 1);
  int64_t gx = rollScan_.x0 + static_cast<int64_t>(row) * rollScan_.rowDx;
  int64_t gy = rollScan_.y0 + static_cast<int64_t>(row) * rollScan_.rowDy;
  const int64_t runDx = static_cast<int64_t>(rollScan_.dx) * kRollRun;
  const int64_t runDy = static_cast<int64_t>(rollScan_.dy) * kRollRun;
  SourcePosition from = sample(gx, gy);
  for (int32_t x = 0; x < width; x += kRollRun) {
    const SourcePosition to = sample(gx + runDx, gy + runDy);
    const int32_t run = std::min(kRollRun, width - x);
    // Across a jump (over a pole, or between the front and back rows) the
    // steps between would read unrelated rows: each pixel is sampled.
    const bool jump = std::llabs(to.row - from.row) > (static_cast<int64_t>(kRollJumpRows) << 20);
    for (int32_t k = 0; k < run; ++k) {
      SourcePosition p;
      if (jump) {
        p = sample(gx + static_cast<int64_t>(rollScan_.dx) * k, gy + static_cast<int64_t>(rollScan_.dy) * k);
      } else {
        p = {from.column + (to.column - from.column) * k / kRollRun, from.row + (to.row - from.row) * k / kRollRun};
      }
      out[x + k] = read(p);
    }
    gx += runDx;
    gy += runDy;
    from = to;
  }
}

}  // namespace vx
