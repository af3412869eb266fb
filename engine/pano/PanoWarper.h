// Draws a spherical or cylindrical panorama picture by software, in real
// time. Nothing is projected pixel by pixel: a table of packed source
// coordinates (PackedCoordinates.h) is kept for one quadrant of the view
// (right half, upper hemisphere); each output row maps to a row of it and a
// row warper (RowWarpers.h) copies source pixels outward from the row's
// centre, mirroring the table for the other three quadrants. A roll about
// the viewing axis goes through a slower path: a rotated coarse grid.
//
// Table entries are narrow where the picture allows and wide past that.
// Rows whose reads may leave the picture's columns read through a guard
// (ColumnGuard): a whole turn in memory wraps within the same row, a row
// table is trusted to hold what lies past the seam (RowTable.h), and
// beside a picture of less than a whole turn the fill colour shows.
//
// The derived classes give the projection: the mapping between (yaw,
// pitch) and projection coordinates (X, Y).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/pano/PackedCoordinates.h"
#include "engine/pano/PanoRenderer.h"
#include "engine/pano/RowWarpers.h"
#include "engine/render/Numeric.h"

namespace vx {

// Sizes of a warper's scratch memory for one output size and table entry
// width. Everything else a warper keeps (source row arrays, the fill rows)
// depends on the source and is its own.
struct WarpLayout {
  int32_t tableWidth = 0;   // T: the table has T columns and 2T + 1 rows
  int32_t rollRows = 0;     // D
  int32_t rollColumns = 0;  // S
  int32_t rowEntries = 0;   // per-row table: the larger of output height and D
  size_t entryBytes = 0;
  size_t rowScalesOffset = 0;
  size_t blendOffset = 0;
  size_t tableOffset = 0;
  size_t rollGridOffset = 0;
  size_t bytes = 0;
  bool Usable() const { return bytes != 0; }
};

// Empty (not usable) for outputs too small for a table or a roll grid.
WarpLayout MakeWarpLayout(int32_t width, int32_t height, int32_t quality, size_t entryBytes);

// Halves away from zero, saturating like every conversion of the renderer.
inline int32_t RoundHalfAway(double value) { return TruncToInt(std::round(value)); }

class CPanoWarper : public CPanoImageRenderer {
 public:
  CPanoWarper();

  int32_t Prepare() override;
  // Per-frame set-up: 0 when the rows may be drawn, 2 when this frame
  // cannot be drawn (nothing is drawn then).
  int32_t Draw() override;
  int32_t DrawRow(int32_t row, int32_t parameter) override;
  bool IsWarper() const override { return true; }

  // Picture fractions (0 at the left and top) of a direction; returns 1.
  int32_t AnglesToImage(double yaw, double pitch, ImagePoint* point) override;
  void ImageToAngles(float u, float v, double* yaw, double* pitch) override;
  AngleRange GetAngleLimits() const override { return viewLimits_; }
  ZoomLimits GetZoomLimits() const override;

  // What the output size needs with the table entries the current picture,
  // extent and limits call for.
  size_t GetWorkBufferSize(int32_t width, int32_t height, int32_t quality, int32_t flag) const override;
  // Frames are refused while the buffer is smaller than GetWorkBufferSize
  // asks for.
  void SetWorkBuffer(std::span<uint8_t> buffer, int32_t width, int32_t height, int32_t quality,
                     int32_t flag) override;
  // The picture without guard rows (RowTable.h). 2 when it cannot be drawn:
  // fewer than kMinSourceRows rows, no pixels, a pixel size other than 1, 2
  // or 4 bytes, or rows shorter than the width. It is kept all the same,
  // and frames are refused until a usable one comes.
  int32_t SetSourceImage(const MediaImageInfo& image) override;
  MediaImageInfo GetSourceImage() const override { return source_; }
  void SetImageExtent(const AngleRange& extent) override;
  AngleRange GetImageExtent() const { return extent_; }
  void SetFillColour(uint32_t colour, uint16_t index) override;
  int32_t SetViewLimits(const AngleRange& limits) override;

  virtual void AnglesToProjection(double yaw, double pitch, double* x, double* y) const;
  virtual void ProjectionToAngles(double x, double y, double* yaw, double* pitch) const;

  // Whether the table holds wide entries (PackedCoordinates.h), and how
  // often it has been built: for tests of when it is rebuilt.
  bool HasWideTable() const { return wide_; }
  int32_t TableBuilds() const { return tableBuilds_; }

 private:
  struct RowScale {
    int32_t scale;   // 16.16: horizontal tangent of the row to the centre row's
    int32_t offset;  // 16.16 table rows from the view's top
  };
  // The table a picture, extent and view limits call for.
  struct TableShape {
    double columnUnits = 0;  // N: table X units of a quarter turn
    double range = 0;        // P
    int32_t bandHeight = 0;
    int32_t bandFirstRow = 0;
    bool wide = false;
    bool valid = false;
  };
  struct TableKeys {
    int32_t sourceWidth = -1;
    int32_t sourceHeight = -1;
    AngleRange extent;
    double limitsPitchMin = 0, limitsPitchMax = 0;
    int32_t tableWidth = -1;
    bool operator==(const TableKeys&) const = default;
  };
  struct RowScaleKeys {
    double verticalHalfAngle = -1;
    int32_t rows = -1;
    bool rolled = false;
    bool operator==(const RowScaleKeys&) const = default;
  };
  // Where an output row (or roll grid row) reads the table.
  struct TableRow {
    int32_t row;    // with the next one when `between`
    bool between;
    int64_t step;   // 16.16 table columns per pixel
    int32_t start;
    int16_t mode;
  };
  template <PackedEntry Entry>
  struct RowSource {
    const Entry* table;
    int64_t step;
    int32_t start;
    int16_t mode;
  };
  // How reads outside the picture's columns are met: by the picture's row
  // table (which continues past the seam), by the picture's own wrap, or
  // by the fill colour (a picture of less than a whole turn).
  enum class ColumnPolicy { kRowTable, kWrap, kFill };
  // Grid position of the roll path's first pixel and its steps.
  struct RollScan {
    int32_t x0, y0, rowDx, rowDy, dx, dy;
  };

  double ProjectedY(double pitch) const;
  bool SourceUsable(const MediaImageInfo& source) const;
  TableShape ShapeFor(const MediaImageInfo& source) const;
  [[nodiscard]] bool LayOut(size_t entryBytes);
  [[nodiscard]] bool RebuildTable();
  template <PackedEntry Entry>
  Entry* Table() const {
    return reinterpret_cast<Entry*>(table_);
  }
  template <PackedEntry Entry>
  Entry* Blend() const {
    return reinterpret_cast<Entry*>(blend_);
  }
  template <PackedEntry Entry>
  void BuildTable(double columnUnits, double rowUnits);
  template <PackedEntry Entry>
  void FillTableBetweenSamples();
  void BuildRowScales(int32_t rows, double halfAngle);
  [[nodiscard]] bool PrepareFrameSource();
  void FillFillRows();
  void FillRowArrays();
  [[nodiscard]] bool TableHoldsTheView() const;
  [[nodiscard]] bool PlaceColumns(double yaw);
  [[nodiscard]] bool ColumnsFit(int32_t reach) const;
  TableRow TableRowFor(const RowScale& scale) const;
  template <PackedEntry Entry>
  RowSource<Entry> SourceForRow(const TableRow& row, int32_t count);
  int32_t ColumnReach(const TableRow& row, int32_t count) const;
  template <PackedEntry Entry>
  int32_t ColumnReachIn(const TableRow& row, int32_t count) const;
  int32_t FrameColumnReach() const;
  const ColumnGuard* GuardFor(const TableRow& row, int32_t count) const;
  template <PackedEntry Entry>
  void DrawTableRow(int32_t row);
  uint8_t* OutputCentre(int32_t row) const;

  template <PackedEntry Entry>
  void BuildRollGrid();
  void SetUpRollScan(double roll);
  void DrawRolledRow(int32_t row);
  template <typename Pixel>
  void WalkRolledRow(int32_t row);

  // Image extent and what the table was built for.
  AngleRange extent_{-kPi, kPi, -kHalfPi, kHalfPi};
  AngleRange viewLimits_{};
  uint32_t fillColour_ = 0;
  uint16_t fillIndex_ = 0;
  bool fillChanged_ = true;
  MediaImageInfo source_;

  // Scratch memory, laid out for one output size and entry width.
  std::span<uint8_t> workBuffer_;
  int32_t bufferWidth_ = -1;
  int32_t bufferHeight_ = -1;
  int32_t bufferQuality_ = 0;
  WarpLayout layout_;
  RowScale* rowScales_ = nullptr;
  uint8_t* blend_ = nullptr;
  uint8_t* table_ = nullptr;
  WideEntry* rollGrid_ = nullptr;
  TableKeys tableKeys_;
  RowScaleKeys rowScaleKeys_;
  bool tableBuilt_ = false;
  bool wide_ = false;
  int32_t tableBuilds_ = 0;
  int64_t maxTableY_ = 0;
  double tableHalfAngle_ = 0;
  double tableRange_ = 0;  // P

  // The band: the run of source rows the view limits can reach.
  int32_t bandHeight_ = 0;
  int32_t bandFirstRow_ = 0;
  // Front rows (at the front column) then back rows (half a turn on), one
  // entry per band row each; rows outside the picture point at the fill row.
  std::vector<uint8_t*> rowArrays_;
  std::vector<uint8_t> fillRows_;

  // This frame.
  bool frameReady_ = false;
  MediaImageInfo frameSource_;
  MediaImageInfo frameOutput_;
  PanoRowWarper<NarrowEntry> narrowWarper_ = nullptr;
  PanoRowWarper<WideEntry> wideWarper_ = nullptr;
  int32_t qualityClass_ = 0;
  bool bilinear_ = false;
  bool rolled_ = false;
  int32_t tableStep_ = 0;
  int64_t tableRowStart_ = 0;
  ColumnPolicy policy_ = ColumnPolicy::kWrap;
  int32_t frontColumn_ = 0;
  int32_t backColumn_ = 0;
  int32_t yawFraction_ = 0;  // the yaw column's 16-bit fraction
  ColumnGuard frontGuard_;
  ColumnGuard backGuard_;
  RollScan rollScan_{};
};

}  // namespace vx
