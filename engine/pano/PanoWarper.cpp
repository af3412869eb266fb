#include "engine/pano/PanoWarper.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/pano/PanoView.h"
#include "engine/render/Numeric.h"
#include "engine/math/FastTrig.h"

namespace vx {
namespace {

constexpr size_t kLayoutAlignment = 8;
// Entries past the end of the table and the blend row: the row warpers
// read the entry after the last one they sample.
constexpr int32_t kTableSlack = 8;
// Smallest table: a centre column and two coarse columns beside it.
constexpr int32_t kMinTableWidth = 5;
constexpr int32_t kMinRollSize = 2;
// Columns a row reads beyond its widest table entry: the yaw fraction, a
// neighbour, and the rounding of the quarter steps between entries.
constexpr int32_t kReachSpare = 3;
// Four fill rows, the fill row being the third: readers step a row either
// way from it.
constexpr size_t kFillRows = 4;
constexpr size_t kFillRow = 2;

size_t AlignUp(size_t value) { return (value + kLayoutAlignment - 1) & ~(kLayoutAlignment - 1); }

int32_t TableWidthFor(int32_t width, int32_t quality) {
  const int32_t quarter = width >> 2;
  const double columns = quarter + ((width >> 1) - quarter) * static_cast<double>(quality) / 100.0;
  return (RoundHalfAway(columns) & ~3) + 1;
}

bool IsFullTurn(const AngleRange& range) {
  return std::fabs(std::fabs(range.yawMax - range.yawMin) - kTwoPi) < kFullCircleTolerance;
}

int64_t WrapInto(int64_t value, int64_t period) {
  const int64_t rest = value % period;
  return rest < 0 ? rest + period : rest;
}

// Row pointers may stand outside their rows (a row table's entries, or a
// column placed left of a partial picture): formed without pointer
// arithmetic on the picture.
uint8_t* Offset(uint8_t* base, int64_t bytes) {
  return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(base) + static_cast<uintptr_t>(bytes));
}

}  // namespace

WarpLayout MakeWarpLayout(int32_t width, int32_t height, int32_t quality, size_t entryBytes) {
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
  layout.entryBytes = entryBytes;
  const auto t = static_cast<size_t>(tableWidth);
  size_t offset = 0;
  layout.rowScalesOffset = offset;
  offset = AlignUp(offset + static_cast<size_t>(layout.rowEntries) * 2 * sizeof(int32_t));
  layout.blendOffset = offset;
  offset = AlignUp(offset + (t + kTableSlack) * entryBytes);
  layout.tableOffset = offset;
  offset = AlignUp(offset + (t * (2 * t + 1) + kTableSlack) * entryBytes);
  layout.rollGridOffset = offset;
  offset = AlignUp(offset + static_cast<size_t>(rollRows) * static_cast<size_t>(rollColumns) * sizeof(WideEntry));
  layout.bytes = offset;
  return layout;
}

CPanoWarper::CPanoWarper() = default;

// ---- Description ----------------------------------------------------------

size_t CPanoWarper::GetWorkBufferSize(int32_t width, int32_t height, int32_t quality, int32_t /*flag*/) const {
  const size_t entryBytes = ShapeFor(source_).wide ? sizeof(WideEntry) : sizeof(NarrowEntry);
  // Even an output too small to draw gets a buffer, so the context's
  // allocation never asks for zero bytes.
  return std::max(MakeWarpLayout(width, height, quality, entryBytes).bytes, kLayoutAlignment);
}

void CPanoWarper::SetWorkBuffer(std::span<uint8_t> buffer, int32_t width, int32_t height, int32_t quality,
                                int32_t /*flag*/) {
  workBuffer_ = buffer;
  bufferWidth_ = width;
  bufferHeight_ = height;
  bufferQuality_ = quality;
  layout_ = {};
  tableBuilt_ = false;
  rowScaleKeys_ = {};
}

bool CPanoWarper::LayOut(size_t entryBytes) {
  if (layout_.Usable() && layout_.entryBytes == entryBytes) return true;
  tableBuilt_ = false;
  rowScaleKeys_ = {};
  layout_ = MakeWarpLayout(bufferWidth_, bufferHeight_, bufferQuality_, entryBytes);
  if (!layout_.Usable() || workBuffer_.size() < layout_.bytes) {
    layout_ = {};
    return false;
  }
  uint8_t* base = workBuffer_.data();
  rowScales_ = reinterpret_cast<RowScale*>(base + layout_.rowScalesOffset);
  blend_ = base + layout_.blendOffset;
  table_ = base + layout_.tableOffset;
  rollGrid_ = reinterpret_cast<WideEntry*>(base + layout_.rollGridOffset);
  // The slack past the blend row is read but never sampled: keep it defined.
  std::fill_n(blend_, (static_cast<size_t>(layout_.tableWidth) + kTableSlack) * entryBytes, uint8_t{0});
  return true;
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

void CPanoWarper::SetImageExtent(const AngleRange& extent) { extent_ = extent; }

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

void CPanoWarper::AnglesToProjection(double /*yaw*/, double /*pitch*/, double* /*x*/, double* /*y*/) const {}
void CPanoWarper::ProjectionToAngles(double /*x*/, double /*y*/, double* /*yaw*/, double* /*pitch*/) const {}

double CPanoWarper::ProjectedY(double pitch) const {
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
  if (!view) return 2;
  frameOutput_ = view->GetOutputImage();
  frameSource_ = source_;
  if (frameOutput_.width != bufferWidth_ || frameOutput_.height != bufferHeight_) return 2;
  if (!SourceUsable(frameSource_)) return 2;
  return RebuildTable() ? 0 : 2;
}

// N table X units span a quarter turn; the band is the run of source rows
// the limits can reach, centred on the horizon row. Entries are wide where
// the narrow halves cannot hold N or half the band.
CPanoWarper::TableShape CPanoWarper::ShapeFor(const MediaImageInfo& source) const {
  TableShape shape;
  const double yawSpan = extent_.yawMax - extent_.yawMin;
  if (!(yawSpan > 0) || source.width < 1) return shape;
  shape.columnUnits = std::round(kEightPi * (source.width - 1) / yawSpan);
  shape.range = std::max(std::fabs(viewLimits_.pitchMin), std::fabs(viewLimits_.pitchMax));
  const double y1 = ProjectedY(std::fabs(extent_.pitchMin));
  const double y2 = ProjectedY(std::fabs(extent_.pitchMax));
  const double y3 = ProjectedY(std::fabs(viewLimits_.pitchMin));
  const double y4 = ProjectedY(std::fabs(viewLimits_.pitchMax));
  const double m1 = std::max(y1, y2);
  // A picture or view without height has no band.
  if (!(y1 + y2 > 0) || !(m1 > 0) || !(shape.range > 0) || !(ProjectedY(shape.range) > 0)) return shape;
  const double rowsPerUnit = source.height / (y1 + y2);
  const double band = std::round(2 * std::max(y3, y4) / m1 * (rowsPerUnit * m1));
  if (!(band >= 1 && band <= kMaxBandRows)) return shape;
  shape.bandHeight = static_cast<int32_t>(band);
  shape.bandFirstRow = TruncToInt(y2 * rowsPerUnit - (shape.bandHeight >> 1));
  shape.wide = !(shape.columnUnits <= kMaxPackedX<NarrowEntry> && band <= kMaxPackedBandRows<NarrowEntry>);
  // Wider reaches would not fit even wide entries: such a picture is refused.
  shape.valid = shape.columnUnits <= kMaxPackedX<WideEntry>;
  return shape;
}

bool CPanoWarper::RebuildTable() {
  // The extent's pitches are keys too: they place the band and, for a
  // cylinder, shape the projection.
  const TableShape shape = ShapeFor(frameSource_);
  if (!shape.valid) {
    tableBuilt_ = false;
    return false;
  }
  if (!LayOut(shape.wide ? sizeof(WideEntry) : sizeof(NarrowEntry))) return false;
  const TableKeys keys{frameSource_.width, frameSource_.height, extent_, viewLimits_.pitchMin, viewLimits_.pitchMax,
                       layout_.tableWidth};
  if (tableBuilt_ && keys == tableKeys_) return true;
  wide_ = shape.wide;
  bandHeight_ = shape.bandHeight;
  bandFirstRow_ = shape.bandFirstRow;
  tableHalfAngle_ = kTableHalfAngle;
  tableRange_ = shape.range;
  if (wide_) {
    BuildTable<WideEntry>(shape.columnUnits, 8.0 * bandHeight_);
  } else {
    BuildTable<NarrowEntry>(shape.columnUnits, 8.0 * bandHeight_);
  }
  ++tableBuilds_;
  tableKeys_ = keys;
  tableBuilt_ = true;
  rowScaleKeys_ = {};
  return true;
}

template <PackedEntry Entry>
void CPanoWarper::BuildTable(double columnUnits, double rowUnits) {
  Entry* const table = Table<Entry>();
  const int32_t t = layout_.tableWidth;
  const size_t stride = static_cast<size_t>(t);
  const double kx = columnUnits * kTwoOverPi;
  const double yp = ProjectedY(tableRange_);
  const double ky = rowUnits / yp;
  const double tangentStep = std::tan(tableHalfAngle_) / ((t + 1) / 2 - 1);
  maxTableY_ = 0;
  for (int32_t i = 0; i <= t; ++i) {
    const double p = tableRange_ - i * tableRange_ / t;
    const double cosP = FastCos(p), sinP = FastSin(p);
    const double tanP = sinP / cosP;
    Entry* row = table + stride * static_cast<size_t>(2 * i);
    int64_t widest = 0;
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
      // X never shrinks outward along a row, so that the last entry a row
      // reads is its widest: the approximated arctangent may wobble.
      widest = std::max(widest, std::clamp<int64_t>(std::llround(x * kx), 0, kMaxPackedX<Entry>));
      const int64_t packedY = std::clamp<int64_t>(std::llround((yp - y) * ky), 0, static_cast<int64_t>(rowUnits));
      maxTableY_ = std::max(maxTableY_, packedY);
      row[2 * j] = PackEntry<Entry>(widest, packedY);
    }
  }
  FillTableBetweenSamples<Entry>();
  // The slack repeats the last entry, so a read past the end stays in reach.
  std::fill_n(table + stride * (2 * stride + 1), kTableSlack, table[stride * (2 * stride + 1) - 1]);
}

template <PackedEntry Entry>
void CPanoWarper::FillTableBetweenSamples() {
  Entry* const table = Table<Entry>();
  const size_t t = static_cast<size_t>(layout_.tableWidth);
  auto at = [table, t](size_t row, size_t column) -> Entry& { return table[row * t + column]; };
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
  const size_t rowBytes = static_cast<size_t>(frameSource_.rowBytes);
  if (fillRows_.size() != kFillRows * rowBytes) {
    fillRows_.assign(kFillRows * rowBytes, 0);
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
  uint8_t* const fillRow = fillRows_.data() + kFillRow * static_cast<size_t>(frameSource_.rowBytes);
  const int64_t pixel = frameSource_.bytesPerPixel;
  const int64_t front = frontColumn_ * pixel;
  const int64_t back = backColumn_ * pixel;
  // Reads through a guard land on picture columns, which the fill row has
  // too when it stands at the same column; reads under a row table stay
  // within the table's reach of the fill row's start.
  const bool placedFill = policy_ != ColumnPolicy::kRowTable;
  uint8_t* const frontFill = placedFill ? Offset(fillRow, front) : fillRow;
  uint8_t* const backFill = placedFill ? Offset(fillRow, back) : fillRow;
  for (size_t i = 0; i < band; ++i) {
    const int32_t y = bandFirstRow_ + static_cast<int32_t>(i);
    uint8_t* start = nullptr;
    if (y >= 0 && y < frameSource_.height) {
      start = frameSource_.rows ? frameSource_.rows[y] : frameSource_.Row(y);
    }
    // A row the picture does not hold is drawn as the fill colour.
    rowArrays_[i] = start ? Offset(start, front) : frontFill;
    rowArrays_[band + i] = start ? Offset(start, back) : backFill;
  }
  const bool wrap = policy_ == ColumnPolicy::kWrap;
  frontGuard_ = {frontColumn_, frameSource_.width, wrap, fillRow};
  backGuard_ = {backColumn_, frameSource_.width, wrap, fillRow};
}

bool CPanoWarper::PrepareFrameSource() {
  frameSource_ = source_;
  if (!SourceUsable(frameSource_) || frameSource_.bytesPerPixel != frameOutput_.bytesPerPixel) return false;
  return RebuildTable();
}

// The widest row of the view must lie inside the table, and the band must
// hold the table's rows.
bool CPanoWarper::TableHoldsTheView() const {
  if (((maxTableY_ + 2) >> kPackedFractionBits) >= bandHeight_) return false;
  if (rolled_) return true;  // the roll grid clamps its table reads itself
  const int64_t widestStep = static_cast<int64_t>(tableStep_) * 16;
  const int64_t lastColumn = (((frameOutput_.width >> 1) + 8) * widestStep + widestStep) >> 16;
  return lastColumn + 2 < layout_.tableWidth;
}

CPanoWarper::TableRow CPanoWarper::TableRowFor(const RowScale& scale) const {
  const int64_t t = layout_.tableWidth;
  const int64_t step = (static_cast<int64_t>(tableStep_) * scale.scale) >> 12;
  const int64_t half = (2 * t) << 16;   // the horizon row
  const int64_t whole = (2 * t) << 17;  // the opposite pole
  int64_t y = std::clamp<int64_t>(scale.offset + tableRowStart_, -whole, 2 * whole - 1);
  int16_t mode = 0;
  // Fold the row into the quadrant: above the top pole the view looks over
  // it (sides swapped), below the horizon the band is read backward.
  if (y < 0) y = -y, mode = 2;
  if (y >= whole) y = 2 * whole - y, mode = 2;
  if (y >= half) y = whole - y - 1, mode = static_cast<int16_t>(mode | 1);
  if (bilinear_) y -= 0x8000;
  y = std::clamp<int64_t>(y, 0, half - 1);
  const int32_t start = bilinear_ ? 0 : static_cast<int32_t>(std::min<int64_t>(step >> 1, INT32_MAX));
  return {static_cast<int32_t>(y >> 16), (y & 0x8000) != 0, step, start, mode};
}

template <PackedEntry Entry>
CPanoWarper::RowSource<Entry> CPanoWarper::SourceForRow(const TableRow& row, int32_t count) {
  const int32_t t = layout_.tableWidth;
  const Entry* entries = Table<Entry>() + static_cast<size_t>(row.row) * static_cast<size_t>(t);
  if (row.between) {
    const Entry* next = entries + t;
    if (qualityClass_ > kQualityLow) {
      Entry* const blend = Blend<Entry>();
      const int64_t needed = ((((count + 1) >> 1) + 4) * row.step >> 16) + 8;
      const int32_t blended = static_cast<int32_t>(std::min<int64_t>(t, needed));
      for (int32_t i = 0; i < blended; ++i) blend[i] = PackedAverage(entries[i], next[i]);
      entries = blend;
    } else {
      entries = next;
    }
  }
  return {entries, row.step, row.start, row.mode};
}

// The roll grid reads the table rows too.
template CPanoWarper::RowSource<NarrowEntry> CPanoWarper::SourceForRow<NarrowEntry>(const TableRow&, int32_t);
template CPanoWarper::RowSource<WideEntry> CPanoWarper::SourceForRow<WideEntry>(const TableRow&, int32_t);

// The columns either side of its row pointer that a row of `count` pixels
// reads: its widest table entry is its last.
template <PackedEntry Entry>
int32_t CPanoWarper::ColumnReachIn(const TableRow& row, int32_t count) const {
  const int64_t t = layout_.tableWidth;
  const int64_t last = std::min<int64_t>(((row.start + row.step * ((count >> 1) + 2)) >> 16) + 1, t - 1);
  const Entry* entries = Table<Entry>() + row.row * t;
  int64_t widest = PackedX(entries[last]);
  if (row.between) widest = std::max<int64_t>(widest, PackedX(entries[t + last]));
  return static_cast<int32_t>((widest >> kPackedFractionBits) + kReachSpare);
}

int32_t CPanoWarper::ColumnReach(const TableRow& row, int32_t count) const {
  return wide_ ? ColumnReachIn<WideEntry>(row, count) : ColumnReachIn<NarrowEntry>(row, count);
}

int32_t CPanoWarper::FrameColumnReach() const {
  const int32_t rows = rolled_ ? layout_.rollRows : frameOutput_.height;
  const int32_t count = rolled_ ? layout_.rollColumns : frameOutput_.width;
  int32_t reach = 0;
  for (int32_t i = 0; i < rows; ++i) reach = std::max(reach, ColumnReach(TableRowFor(rowScales_[i]), count));
  return reach;
}

// Under a row table, every read must lie in the columns the table promises
// to hold (RowTable.h).
bool CPanoWarper::ColumnsFit(int32_t reach) const {
  const int32_t width = frameSource_.width;
  if (frontColumn_ - reach < -width || backColumn_ + reach > 2 * width - 1) return false;
  return static_cast<int64_t>(reach) * frameSource_.bytesPerPixel < frameSource_.rowBytes;
}

// Full-turn pictures in memory wrap and partial ones show the fill colour
// beside them, so their columns are free; the column of a row table is
// moved by a turn where that keeps the reads inside what it holds.
bool CPanoWarper::PlaceColumns(double yaw) {
  const int64_t width = frameSource_.width;
  const double span = extent_.yawMax - extent_.yawMin;
  const bool fullTurn = IsFullTurn(extent_);
  policy_ = !fullTurn ? ColumnPolicy::kFill : frameSource_.rows ? ColumnPolicy::kRowTable : ColumnPolicy::kWrap;
  // A partial picture is placed on the turn nearest it.
  if (!fullTurn) yaw -= std::round((yaw - (extent_.yawMin + extent_.yawMax) / 2) / kTwoPi) * kTwoPi;
  const double column = (yaw - extent_.yawMin) / span * static_cast<double>(width);
  const int64_t halfTurn = fullTurn ? width >> 1 : std::llround(static_cast<double>(width) * kPi / span);
  // Beyond this the reads lie far outside the picture whichever column it is.
  const double farColumn = static_cast<double>(int64_t{1} << 29);

  auto place = [&](double at) {
    const int64_t fixed = std::llround(std::clamp(at, -farColumn, farColumn) * 65536);
    yawFraction_ = static_cast<int32_t>(fixed & 0xFFFF);
    int64_t front = fixed >> 16;
    int64_t back = front + halfTurn;
    if (policy_ == ColumnPolicy::kWrap) {
      front = WrapInto(front, width);
      back = WrapInto(back, width);
    }
    frontColumn_ = static_cast<int32_t>(std::clamp<int64_t>(front, -(int64_t{1} << 30), int64_t{1} << 30));
    backColumn_ = static_cast<int32_t>(std::clamp<int64_t>(back, -(int64_t{1} << 30), int64_t{1} << 30));
  };
  if (policy_ != ColumnPolicy::kRowTable) {
    place(column);
    return true;
  }
  const int32_t reach = FrameColumnReach();
  for (const double shift : {0.0, -static_cast<double>(width), static_cast<double>(width)}) {
    if (!(std::fabs(column + shift) < 2.0 * static_cast<double>(width))) continue;
    place(column + shift);
    if (ColumnsFit(reach)) return true;
  }
  return false;
}

int32_t CPanoWarper::Draw() {
  frameReady_ = false;
  CPanoView* view = GetTarget();
  if (!view) return 2;
  const FieldOfView field = view->GetFieldOfView();
  const ViewDirection direction = view->GetAngles();
  frameOutput_ = view->GetOutputImage();
  // The tables were laid out for one output size; another needs a new buffer.
  if (frameOutput_.width != bufferWidth_ || frameOutput_.height != bufferHeight_) return 2;
  if (!frameOutput_.bits && !frameOutput_.rows) return 2;
  if (!PrepareFrameSource()) return 2;

  rolled_ = direction.roll != 0;
  const int32_t outWidth = frameOutput_.width, outHeight = frameOutput_.height;
  double horizontal = field.horizontal, vertical = field.vertical;
  double columns = outWidth;
  if (rolled_) {
    if (outWidth < 2 || outHeight < 2) return 2;
    columns = layout_.rollColumns;
    vertical = std::atan(std::tan(vertical) * (outWidth + outHeight) * kRollDiagonal / outHeight);
    horizontal = vertical;
  }
  const double t = layout_.tableWidth;
  tableStep_ = TruncToInt(std::tan(horizontal) / std::tan(tableHalfAngle_) * (t - 1) / columns * 2 * 4096);
  tableRowStart_ = std::llround((tableRange_ - (direction.pitch + vertical)) * 2 * t / tableRange_ * 65536);

  qualityClass_ = QualityClass(view->GetResolution());
  narrowWarper_ = ChooseRowWarper<NarrowEntry>(frameOutput_.bytesPerPixel, qualityClass_);
  wideWarper_ = ChooseRowWarper<WideEntry>(frameOutput_.bytesPerPixel, qualityClass_);
  if (!narrowWarper_ || !wideWarper_) return 2;
  bilinear_ = IsBilinearClass(frameOutput_.bytesPerPixel, qualityClass_) || rolled_;
  if (!TableHoldsTheView()) return 2;

  const RowScaleKeys keys{vertical, rolled_ ? layout_.rollRows : outHeight, rolled_};
  if (!(keys == rowScaleKeys_)) {
    BuildRowScales(keys.rows, vertical);
    rowScaleKeys_ = keys;
  }
  // The yaw column is taken so that the left edge of the view lies right of
  // the picture's first column where the view straddles the seam.
  const ViewAngles edge = view->ScreenToAngles(0, direction.pitch < 0 ? 1 : 0);
  double yaw = direction.yaw;
  if (yaw < edge.yaw && IsFullTurn(extent_)) yaw += kTwoPi;
  if (!PlaceColumns(yaw)) return 2;
  FillFillRows();
  FillRowArrays();

  if (rolled_) {
    if (wide_) {
      BuildRollGrid<WideEntry>();
    } else {
      BuildRollGrid<NarrowEntry>();
    }
    SetUpRollScan(direction.roll);
  }
  frameReady_ = true;
  return 0;
}

// A row whose reads may leave the picture's columns is read through the
// guard of its row pointers; the others are read as they fall.
const ColumnGuard* CPanoWarper::GuardFor(const TableRow& row, int32_t count) const {
  if (policy_ == ColumnPolicy::kRowTable) return nullptr;
  const ColumnGuard& guard = (row.mode & 2) ? backGuard_ : frontGuard_;
  const int64_t reach = ColumnReach(row, count);
  const bool inside = guard.base - reach >= 0 && guard.base + reach < guard.width;
  return inside ? nullptr : &guard;
}

uint8_t* CPanoWarper::OutputCentre(int32_t row) const {
  const ptrdiff_t centre = (frameOutput_.width >> 1) * static_cast<ptrdiff_t>(frameOutput_.bytesPerPixel);
  uint8_t* start = frameOutput_.rows ? frameOutput_.rows[row] : frameOutput_.Row(row);
  return start + centre;
}

template <PackedEntry Entry>
void CPanoWarper::DrawTableRow(int32_t row) {
  const int32_t count = frameOutput_.width;
  const TableRow tableRow = TableRowFor(rowScales_[row]);
  const RowSource<Entry> source = SourceForRow<Entry>(tableRow, count);
  const size_t band = static_cast<size_t>(bandHeight_);
  uint8_t* const* arrays[4] = {rowArrays_.data(), rowArrays_.data() + band - 1, rowArrays_.data() + band,
                               rowArrays_.data() + 2 * band - 1};
  RowWarpJob<Entry> job;
  job.count = count;
  job.destination = OutputCentre(row);
  job.table = source.table;
  // Unrolled rows step at most the table's width across the output.
  job.step = static_cast<int32_t>(source.step);
  job.start = source.start;
  job.sourceRows = arrays[source.mode];
  job.yawFraction = PackedYawFraction<Entry>(yawFraction_);
  job.stride = frameSource_.rowBytes;
  job.mode = source.mode;
  job.guard = GuardFor(tableRow, count);
  if constexpr (std::is_same_v<Entry, WideEntry>) {
    wideWarper_(job);
  } else {
    narrowWarper_(job);
  }
}

int32_t CPanoWarper::DrawRow(int32_t row, int32_t /*parameter*/) {
  if (!frameReady_ || row < 0 || row >= frameOutput_.height) return 0;
  if (rolled_) {
    DrawRolledRow(row);
  } else if (wide_) {
    DrawTableRow<WideEntry>(row);
  } else {
    DrawTableRow<NarrowEntry>(row);
  }
  return 0;
}

}  // namespace vx
