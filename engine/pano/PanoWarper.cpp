#include "engine/pano/PanoWarper.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/pano/PackedCoordinates.h"
#include "engine/pano/PanoView.h"
#include "engine/render/Numeric.h"
#include "engine/scene/FastTrig.h"

namespace vx {
namespace {

constexpr size_t kLayoutAlignment = 8;
// Entries past the end of the table and the blend row: the row warpers
// read the entry after the last one they sample.
constexpr int32_t kTableSlack = 8;
// Smallest table: a centre column and two coarse columns beside it.
constexpr int32_t kMinTableWidth = 5;
constexpr int32_t kMinRollSize = 2;

size_t AlignUp(size_t value) { return (value + kLayoutAlignment - 1) & ~(kLayoutAlignment - 1); }

int32_t TableWidthFor(int32_t width, int32_t quality) {
  const int32_t quarter = width >> 2;
  const double columns = quarter + ((width >> 1) - quarter) * static_cast<double>(quality) / 100.0;
  return (RoundHalfAway(columns) & ~3) + 1;
}

bool IsFullTurn(const AngleRange& range) {
  return std::fabs(std::fabs(range.yawMax - range.yawMin) - kTwoPi) < kFullCircleTolerance;
}

}  // namespace

WarpLayout MakeWarpLayout(int32_t width, int32_t height, int32_t quality) {
  WarpLayout layout;
  if (width <= 0 || height <= 0) return layout;
  const int32_t tableWidth = TableWidthFor(width, quality);
  const int32_t diagonal = TruncToInt((width + height) * kRollDiagonal + 0.5);
  const int32_t rollRows = (diagonal / 2) & ~1;
  const int32_t rollColumns = (rollRows / 6) & ~1;
  if (tableWidth < kMinTableWidth || rollRows < kMinRollSize || rollColumns < kMinRollSize) return layout;
  layout.tableWidth = tableWidth;
  layout.rollRows = rollRows;
  layout.rollColumns = rollColumns;
  layout.rowEntries = std::max(height, rollRows);
  const auto t = static_cast<size_t>(tableWidth);
  size_t offset = 0;
  layout.rowScalesOffset = offset;
  offset = AlignUp(offset + static_cast<size_t>(layout.rowEntries) * 2 * sizeof(int32_t));
  layout.blendOffset = offset;
  offset = AlignUp(offset + (t + kTableSlack) * sizeof(uint32_t));
  layout.tableOffset = offset;
  offset = AlignUp(offset + (t * (2 * t + 1) + kTableSlack) * sizeof(uint32_t));
  layout.rollGridOffset = offset;
  offset = AlignUp(offset + static_cast<size_t>(rollRows) * static_cast<size_t>(rollColumns) * sizeof(uint32_t));
  layout.bytes = offset;
  return layout;
}

CPanoWarper::CPanoWarper() = default;

// ---- Description ----------------------------------------------------------

size_t CPanoWarper::GetWorkBufferSize(int32_t width, int32_t height, int32_t quality, int32_t /*flag*/) const {
  // Even an output too small to draw gets a buffer, so the context's
  // allocation never asks for zero bytes.
  return std::max(MakeWarpLayout(width, height, quality).bytes, kLayoutAlignment);
}

void CPanoWarper::SetWorkBuffer(std::span<uint8_t> buffer, int32_t width, int32_t height, int32_t quality,
                                int32_t /*flag*/) {
  layout_ = MakeWarpLayout(width, height, quality);
  tableBuilt_ = false;
  rowScaleKeys_ = {};
  if (!layout_.Usable() || buffer.size() < layout_.bytes) {
    layout_ = {};
    layoutWidth_ = layoutHeight_ = -1;
    return;
  }
  layoutWidth_ = width;
  layoutHeight_ = height;
  uint8_t* base = buffer.data();
  rowScales_ = reinterpret_cast<RowScale*>(base + layout_.rowScalesOffset);
  blend_ = reinterpret_cast<uint32_t*>(base + layout_.blendOffset);
  table_ = reinterpret_cast<uint32_t*>(base + layout_.tableOffset);
  rollGrid_ = reinterpret_cast<uint32_t*>(base + layout_.rollGridOffset);
  // The slack past the blend row is read but never sampled: keep it defined.
  std::fill_n(blend_, layout_.tableWidth + kTableSlack, 0u);
}

bool CPanoWarper::SourceUsable(const MediaImageInfo& source) const {
  const int32_t size = source.bytesPerPixel;
  if (size != 1 && size != 2 && size != 4) return false;
  if (!source.bits && !source.rows) return false;
  if (source.height < kMinSourceRows || source.width < 2) return false;
  return source.rowBytes >= static_cast<int32_t>(source.width) * size;
}

int32_t CPanoWarper::SetSourceImage(const MediaImageInfo& image) {
  source_ = image;
  return SourceUsable(image) ? 0 : 2;
}

void CPanoWarper::SetImageExtent(const AngleRange& extent) {
  extent_ = extent;
  extentChanged_ = true;
}

bool CPanoWarper::TakeExtentChange() {
  const bool changed = extentChanged_;
  extentChanged_ = false;
  return changed;
}

void CPanoWarper::SetFillColour(uint32_t colour, uint16_t index) {
  fillColour_ = colour;
  fillIndex_ = index;
  fillChanged_ = true;
}

int32_t CPanoWarper::SetViewLimits(const AngleRange& limits) {
  viewLimits_ = limits;
  return 0;
}

ZoomLimits CPanoWarper::GetZoomLimits() const {
  ZoomLimits zoom = kWarperZoomMinimum;
  zoom.horizontalMax = std::min((viewLimits_.yawMax - viewLimits_.yawMin) / 2, kWarperZoomMinimum.horizontalMax);
  zoom.verticalMax = std::min((viewLimits_.pitchMax - viewLimits_.pitchMin) / 2, kWarperZoomMinimum.verticalMax);
  return zoom;
}

void CPanoWarper::AnglesToProjection(double /*yaw*/, double /*pitch*/, double* /*x*/, double* /*y*/) {}
void CPanoWarper::ProjectionToAngles(double /*x*/, double /*y*/, double* /*yaw*/, double* /*pitch*/) {}

double CPanoWarper::ProjectedY(double pitch) {
  double x = 0, y = 0;
  AnglesToProjection(0, pitch, &x, &y);
  return y;
}

int32_t CPanoWarper::AnglesToImage(double yaw, double pitch, ImagePoint* point) {
  if (yaw < extent_.yawMin) {
    yaw += kTwoPi;
  } else if (yaw >= extent_.yawMax) {
    yaw -= kTwoPi;
  }
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  AnglesToProjection(yaw, pitch, &x0, &y0);
  AnglesToProjection(extent_.yawMin, extent_.pitchMin, &x1, &y1);
  AnglesToProjection(extent_.yawMax, extent_.pitchMax, &x2, &y2);
  double u = x0, v = y0;
  if (std::fabs(x2 - x1) > kExtentWidthGuard) {
    u = (x0 - x1) / (x2 - x1);
    // A picture without height keeps its projected Y rather than divide by zero.
    if (std::fabs(y2 - y1) > kExtentWidthGuard) v = (y2 - y0) / (y2 - y1);
  }
  *point = {static_cast<float>(u), static_cast<float>(v), 1.0f};
  return 1;
}

void CPanoWarper::ImageToAngles(float u, float v, double* yaw, double* pitch) {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  AnglesToProjection(extent_.yawMin, extent_.pitchMin, &x1, &y1);
  AnglesToProjection(extent_.yawMax, extent_.pitchMax, &x2, &y2);
  double x = u, y = v;
  if (std::fabs(x2 - x1) > kExtentWidthGuard) {
    x = x1 + u * (x2 - x1);
    y = y2 - (y2 - y1) * v;
  }
  ProjectionToAngles(x, y, yaw, pitch);
}

// ---- Table ----------------------------------------------------------------

int32_t CPanoWarper::Prepare() {
  frameReady_ = false;
  CPanoView* view = GetTarget();
  if (!view || !layout_.Usable()) return 2;
  frameOutput_ = view->GetOutputImage();
  frameSource_ = source_;
  if (frameOutput_.width != layoutWidth_ || frameOutput_.height != layoutHeight_) return 2;
  if (!SourceUsable(frameSource_)) return 2;
  return RebuildTable() ? 0 : 2;
}

bool CPanoWarper::RebuildTable() {
  // The extent's pitches are keys too: they place the band and, for a
  // cylinder, shape the projection.
  const TableKeys keys{frameSource_.width, frameSource_.height, extent_, viewLimits_.pitchMin, viewLimits_.pitchMax,
                       layout_.tableWidth};
  if (tableBuilt_ && keys == tableKeys_) return true;
  tableBuilt_ = false;
  const double yawSpan = extent_.yawMax - extent_.yawMin;
  if (!(yawSpan > 0)) return false;
  const double columnUnits = std::round(kEightPi * (frameSource_.width - 1) / yawSpan);
  // Wider reaches would not fit the packed X: such a picture is refused.
  if (!(columnUnits <= kMaxPackedX)) return false;

  const double range = std::max(std::fabs(viewLimits_.pitchMin), std::fabs(viewLimits_.pitchMax));
  const double y1 = ProjectedY(std::fabs(extent_.pitchMin));
  const double y2 = ProjectedY(std::fabs(extent_.pitchMax));
  const double y3 = ProjectedY(std::fabs(viewLimits_.pitchMin));
  const double y4 = ProjectedY(std::fabs(viewLimits_.pitchMax));
  const double m1 = std::max(y1, y2);
  // A picture or view without height has no band.
  if (!(y1 + y2 > 0) || !(m1 > 0) || !(range > 0) || !(ProjectedY(range) > 0)) return false;
  const double rowsPerUnit = frameSource_.height / (y1 + y2);
  const double band = std::round(2 * std::max(y3, y4) / m1 * (rowsPerUnit * m1));
  if (!(band >= 1 && band <= kMaxBandRows)) return false;
  bandHeight_ = static_cast<int32_t>(band);
  bandFirstRow_ = TruncToInt(y2 * rowsPerUnit - (bandHeight_ >> 1));

  tableHalfAngle_ = kTableHalfAngle;
  tableRange_ = range;
  BuildTable(columnUnits, 8.0 * bandHeight_);
  tableKeys_ = keys;
  tableBuilt_ = true;
  rowScaleKeys_ = {};
  return true;
}

void CPanoWarper::BuildTable(double columnUnits, double rowUnits) {
  const int32_t t = layout_.tableWidth;
  const size_t stride = static_cast<size_t>(t);
  const double kx = columnUnits * kTwoOverPi;
  const double yp = ProjectedY(tableRange_);
  const double ky = rowUnits / yp;
  const double tangentStep = std::tan(tableHalfAngle_) / ((t + 1) / 2 - 1);
  maxTableX_ = 0;
  maxTableY_ = 0;
  for (int32_t i = 0; i <= t; ++i) {
    const double p = tableRange_ - i * tableRange_ / t;
    const double cosP = FastCos(p), sinP = FastSin(p);
    const double tanP = sinP / cosP;
    uint32_t* row = table_ + stride * static_cast<size_t>(2 * i);
    for (int32_t j = 0; 2 * j < t; ++j) {
      const double tangent = j * tangentStep;
      const double yaw = FastAtan2(tangent, cosP);
      double pitch;
      if (cosP < kTablePoleCosine && tangent < kTableTangentGuard) {
        pitch = kHalfPi;
      } else if (cosP < kTableSteepCosine) {
        pitch = tangent < kTableTangentGuard ? kHalfPi : FastAtan(sinP / tangent);
      } else {
        pitch = FastAtan(FastCos(yaw) * tanP);
      }
      double x = 0, y = 0;
      AnglesToProjection(yaw, pitch, &x, &y);
      const int32_t packedX = std::clamp(RoundHalfAway(x * kx), 0, kMaxPackedX);
      const int32_t packedY = std::clamp(RoundHalfAway((yp - y) * ky), 0, static_cast<int32_t>(rowUnits));
      maxTableX_ = std::max(maxTableX_, packedX);
      maxTableY_ = std::max(maxTableY_, packedY);
      row[2 * j] = PackEntry(packedX, packedY);
    }
  }
  FillTableBetweenSamples();
  // The slack repeats the last entry, so a read past the end stays in reach.
  std::fill_n(table_ + stride * (2 * stride + 1), kTableSlack, table_[stride * (2 * stride + 1) - 1]);
}

void CPanoWarper::FillTableBetweenSamples() {
  const size_t t = static_cast<size_t>(layout_.tableWidth);
  auto at = [this, t](size_t row, size_t column) -> uint32_t& { return table_[row * t + column]; };
  for (size_t row = 0; row <= 2 * t; ++row) {
    for (size_t column = 0; column < t; ++column) {
      const bool oddRow = row & 1, oddColumn = column & 1;
      if (!oddRow && oddColumn) {
        at(row, column) = PackedAverage(at(row, column - 1), at(row, column + 1));
      } else if (oddRow && !oddColumn) {
        at(row, column) = PackedAverage(at(row - 1, column), at(row + 1, column));
      } else if (oddRow && oddColumn) {
        at(row, column) =
            PackedAverage(PackedAverage(at(row + 1, column - 1), at(row + 1, column + 1)), at(row - 1, column));
      }
    }
  }
}

// Output rows to table rows: each row is a plane through the eye, tilted
// by beta from the view's axis; its horizontal tangents shrink by cos beta.
void CPanoWarper::BuildRowScales(int32_t rows, double halfAngle) {
  const double rowUnits = 2.0 * layout_.tableWidth / tableRange_ * kTwoPi * kAngleUnitsPerRadian;
  const double sinV = std::sin(halfAngle), cosV = std::cos(halfAngle);
  const int32_t upper = (rows + 1) >> 1;
  for (int32_t i = 0; i < upper; ++i) {
    const double y = -sinV + (i + 0.5) * 2 * sinV / rows;
    const double beta = FastAtan2(y, cosV);
    rowScales_[i] = {TruncToInt(FastCos(beta) * 65536 + 0.5), TruncToInt((halfAngle + beta) * rowUnits + 0.5)};
  }
  // The lower half mirrors the upper about the view's centre line, row for
  // row: row rows - 1 - i is row i seen from below.
  const int32_t twiceCentre = TruncToInt(2 * halfAngle * rowUnits + 0.5);
  for (int32_t i = upper; i < rows; ++i) {
    const RowScale& mirror = rowScales_[rows - 1 - i];
    rowScales_[i] = {mirror.scale, twiceCentre - mirror.offset};
  }
}

// ---- Frame ----------------------------------------------------------------

void CPanoWarper::FillFillRows() {
  // Four rows, the fill row being the third: readers step a row either way
  // and up to a quarter turn of columns to either side of its start.
  const size_t rowBytes = static_cast<size_t>(frameSource_.rowBytes);
  if (fillRows_.size() != 4 * rowBytes) {
    fillRows_.assign(4 * rowBytes, 0);
    fillChanged_ = true;
  }
  if (!fillChanged_) return;
  fillChanged_ = false;
  const uint32_t b0 = fillColour_ & 0xFF, b1 = (fillColour_ >> 8) & 0xFF, b2 = (fillColour_ >> 16) & 0xFF,
                 b3 = fillColour_ >> 24;
  switch (frameSource_.bytesPerPixel) {
    case 4: {
      const uint32_t pixel = b0 << 24 | b1 << 16 | b2 << 8 | b3;
      for (size_t i = 0; i + 4 <= fillRows_.size(); i += 4) std::memcpy(&fillRows_[i], &pixel, 4);
      break;
    }
    case 2: {
      const auto pixel = static_cast<uint16_t>((b0 & 0x80) << 8 | (b1 & 0xF8) << 7 | (b2 & 0xF8) << 2 | b3 >> 3);
      for (size_t i = 0; i + 2 <= fillRows_.size(); i += 2) std::memcpy(&fillRows_[i], &pixel, 2);
      break;
    }
    default:
      std::fill(fillRows_.begin(), fillRows_.end(), static_cast<uint8_t>(fillIndex_));
      break;
  }
}

void CPanoWarper::FillRowArrays() {
  const auto band = static_cast<size_t>(bandHeight_);
  rowArrays_.resize(2 * band);
  uint8_t* const fillRow = fillRows_.data() + 2 * static_cast<size_t>(frameSource_.rowBytes);
  const ptrdiff_t pixel = frameSource_.bytesPerPixel;
  const ptrdiff_t front = (yawColumn_ >> 16) * pixel;
  const ptrdiff_t back = front + (frameSource_.width >> 1) * pixel;
  for (size_t i = 0; i < band; ++i) {
    const int32_t y = bandFirstRow_ + static_cast<int32_t>(i);
    uint8_t* start = nullptr;
    if (y >= 0 && y < frameSource_.height) {
      start = frameSource_.rows ? frameSource_.rows[y] : frameSource_.Row(y);
    }
    // A row the picture does not hold is drawn as the fill colour.
    rowArrays_[i] = start ? start + front : fillRow;
    rowArrays_[band + i] = start ? start + back : fillRow;
  }
}

// Everything the rows will read, checked once: table columns, band rows
// and source columns (RowTable.h promises columns -width..2*width-1).
bool CPanoWarper::ReachFits() const {
  const int32_t width = frameSource_.width;
  const int32_t reach = (maxTableX_ >> kPackedFractionBits) + 3;
  const int32_t front = yawColumn_ >> 16;
  const int32_t back = front + (width >> 1);
  if (front - reach < -width || back + reach > 2 * width - 1) return false;
  if (reach * frameSource_.bytesPerPixel >= frameSource_.rowBytes) return false;
  if (((maxTableY_ + 2) >> kPackedFractionBits) >= bandHeight_) return false;
  if (rolled_) return true;  // the roll grid clamps its table reads itself
  const int64_t widestStep = static_cast<int64_t>(tableStep_) * 16;
  const int64_t lastColumn = (((frameOutput_.width >> 1) + 8) * widestStep + widestStep) >> 16;
  return lastColumn + 2 < layout_.tableWidth;
}

bool CPanoWarper::PrepareFrameSource() {
  frameSource_ = source_;
  if (!SourceUsable(frameSource_) || frameSource_.bytesPerPixel != frameOutput_.bytesPerPixel) return false;
  return RebuildTable();
}

// Where the view straddles the seam of a whole turn, the column is moved by
// a turn when that keeps the reads inside the picture's readable columns.
bool CPanoWarper::PlaceYawColumn(double column) {
  const int32_t width = frameSource_.width;
  const double shifts[] = {0.0, -static_cast<double>(width), static_cast<double>(width)};
  const int32_t tries = IsFullTurn(extent_) ? 3 : 1;
  for (int32_t i = 0; i < tries; ++i) {
    const double fixed = std::round((column + shifts[i]) * 65536);
    if (!(std::fabs(fixed) < 2.0 * width * 65536)) continue;
    yawColumn_ = static_cast<int32_t>(fixed);
    yawFraction_ = static_cast<uint32_t>(yawColumn_ & 0xFFFF) << 4;
    if (ReachFits()) return true;
  }
  return false;
}

int32_t CPanoWarper::Draw() {
  frameReady_ = false;
  CPanoView* view = GetTarget();
  if (!view || !layout_.Usable()) return 2;
  const FieldOfView field = view->GetFieldOfView();
  const ViewDirection direction = view->GetAngles();
  frameOutput_ = view->GetOutputImage();
  // The tables were laid out for one output size; another needs a new buffer.
  if (frameOutput_.width != layoutWidth_ || frameOutput_.height != layoutHeight_) return 2;
  if (!frameOutput_.bits && !frameOutput_.rows) return 2;
  if (!PrepareFrameSource()) return 2;

  rolled_ = direction.roll != 0;
  const int32_t outWidth = frameOutput_.width, outHeight = frameOutput_.height;
  double horizontal = field.horizontal, vertical = field.vertical;
  double columns = outWidth;
  if (rolled_) {
    if (bandHeight_ > kMaxRolledBandRows || outWidth < 2 || outHeight < 2) return 2;
    columns = layout_.rollColumns;
    vertical = std::atan(std::tan(vertical) * (outWidth + outHeight) * kRollDiagonal / outHeight);
    horizontal = vertical;
  }
  const double t = layout_.tableWidth;
  tableStep_ = TruncToInt(std::tan(horizontal) / std::tan(tableHalfAngle_) * (t - 1) / columns * 2 * 4096);
  tableRowStart_ = RoundHalfAway((tableRange_ - (direction.pitch + vertical)) * 2 * t / tableRange_ * 65536);

  qualityClass_ = QualityClass(view->GetResolution());
  rowWarper_ = ChooseRowWarper(frameOutput_.bytesPerPixel, qualityClass_);
  if (!rowWarper_) return 2;

  // The yaw column is taken so that the left edge of the view lies right of
  // the picture's first column where the view straddles the seam.
  const ViewAngles edge = view->ScreenToAngles(0, direction.pitch < 0 ? 1 : 0);
  double yaw = direction.yaw;
  if (yaw < edge.yaw && IsFullTurn(extent_)) yaw += kTwoPi;
  bilinear_ = IsBilinearClass(frameOutput_.bytesPerPixel, qualityClass_) || rolled_;
  if (!PlaceYawColumn((yaw - extent_.yawMin) / (extent_.yawMax - extent_.yawMin) * frameSource_.width)) return 2;
  FillFillRows();
  FillRowArrays();

  const RowScaleKeys keys{vertical, rolled_ ? layout_.rollRows : outHeight, rolled_};
  if (!(keys == rowScaleKeys_)) {
    BuildRowScales(keys.rows, vertical);
    rowScaleKeys_ = keys;
  }
  if (rolled_) {
    BuildRollGrid();
    SetUpRollScan(direction.roll);
  }
  frameReady_ = true;
  return 0;
}

CPanoWarper::RowSource CPanoWarper::SourceForRow(const RowScale& scale, int32_t count) {
  const int32_t t = layout_.tableWidth;
  const int32_t step = (tableStep_ * scale.scale) >> 12;
  const int32_t half = (2 * t) << 16;   // the horizon row
  const int32_t whole = (2 * t) << 17;  // the opposite pole
  int32_t y = scale.offset + tableRowStart_;
  int16_t mode = 0;
  // Fold the row into the quadrant: above the top pole the view looks over
  // it (sides swapped), below the horizon the band is read backward.
  if (y < 0) y = -y, mode = 2;
  if (y >= whole) y = 2 * whole - y, mode = 2;
  if (y >= half) y = whole - y - 1, mode = static_cast<int16_t>(mode | 1);
  if (bilinear_) y -= 0x8000;
  y = std::clamp(y, 0, half - 1);

  const int32_t row = y >> 16;
  const uint32_t* entries = table_ + static_cast<size_t>(row) * static_cast<size_t>(t);
  if (y & 0x8000) {
    const uint32_t* next = entries + t;
    if (qualityClass_ > kQualityLow) {
      const int64_t needed = ((((count + 1) >> 1) + 4) * static_cast<int64_t>(step) >> 16) + 8;
      const int32_t blended = static_cast<int32_t>(std::min<int64_t>(t, needed));
      for (int32_t i = 0; i < blended; ++i) blend_[i] = PackedAverage(entries[i], next[i]);
      entries = blend_;
    } else {
      entries = next;
    }
  }
  return {entries, step, bilinear_ ? 0 : step >> 1, mode};
}

uint8_t* CPanoWarper::OutputCentre(int32_t row) const {
  const ptrdiff_t centre = (frameOutput_.width >> 1) * static_cast<ptrdiff_t>(frameOutput_.bytesPerPixel);
  uint8_t* start = frameOutput_.rows ? frameOutput_.rows[row] : frameOutput_.Row(row);
  return start + centre;
}

int32_t CPanoWarper::DrawRow(int32_t row, int32_t /*parameter*/) {
  if (!frameReady_ || row < 0 || row >= frameOutput_.height) return 0;
  if (rolled_) {
    DrawRolledRow(row);
    return 0;
  }
  const RowSource source = SourceForRow(rowScales_[row], frameOutput_.width);
  const size_t band = static_cast<size_t>(bandHeight_);
  uint8_t* const* arrays[4] = {rowArrays_.data(), rowArrays_.data() + band - 1, rowArrays_.data() + band,
                               rowArrays_.data() + 2 * band - 1};
  RowWarpJob job;
  job.count = frameOutput_.width;
  job.destination = OutputCentre(row);
  job.table = source.table;
  job.step = source.step;
  job.start = source.start;
  job.sourceRows = arrays[source.mode];
  job.yawFraction = yawFraction_;
  job.stride = frameSource_.rowBytes;
  job.mode = source.mode;
  rowWarper_(job);
  return 0;
}

}  // namespace vx
