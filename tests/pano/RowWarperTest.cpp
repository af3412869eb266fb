#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/pano/PackedCoordinates.h"
#include "engine/pano/RowWarpers.h"

namespace vx {
namespace {

constexpr int32_t kColumns = 64;  // columns -32..31 about each row's yaw column
constexpr int32_t kRows = 4;

// Source rows whose pixels are given by a function of (column, row), each
// row pointer at column 0 of its row.
template <typename Pixel>
class RowSource {
 public:
  template <typename F>
  explicit RowSource(F value) : pixels_(kColumns * kRows) {
    for (int32_t r = 0; r < kRows; ++r) {
      for (int32_t c = -kColumns / 2; c < kColumns / 2; ++c) At(c, r) = static_cast<Pixel>(value(c, r));
      rows_[static_cast<size_t>(r)] = reinterpret_cast<uint8_t*>(&At(0, r));
    }
  }
  Pixel& At(int32_t column, int32_t row) { return pixels_[static_cast<size_t>(row * kColumns + column + kColumns / 2)]; }
  uint8_t* const* Rows() const { return rows_.data(); }
  ptrdiff_t Stride() const { return kColumns * static_cast<ptrdiff_t>(sizeof(Pixel)); }

 private:
  std::vector<Pixel> pixels_;
  std::array<uint8_t*, kRows> rows_{};
};

uint32_t Code(int32_t column, int32_t row) { return static_cast<uint32_t>((column + 100) * 16 + row); }

// An output row with the job's centre in the middle, and columns of the
// codes it received (left to right).
template <typename Pixel>
std::vector<Pixel> Warp(PanoRowWarper<NarrowEntry> warper, RowWarpJob<NarrowEntry> job,
                        const std::vector<uint32_t>& table) {
  std::vector<Pixel> row(static_cast<size_t>(job.count) + 2, Pixel{0});
  job.destination = reinterpret_cast<uint8_t*>(row.data() + 1 + (job.count >> 1));
  job.table = table.data();
  warper(job);
  return row;
}

RowWarpJob<NarrowEntry> JobFor(const RowSource<uint32_t>& source, int32_t count, int16_t mode) {
  RowWarpJob<NarrowEntry> job;
  job.count = count;
  job.sourceRows = source.Rows();
  job.stride = source.Stride();
  job.mode = mode;
  return job;
}

const RowSource<uint32_t>& CodedSource() {
  static const RowSource<uint32_t> source(Code);
  return source;
}

TEST(RowWarperTest, ARowShorterThanAGroupIsWrittenByTheTailAlone) {
  const std::vector<uint32_t> table(4, PackEntry(2 * 16, 1 * 16));  // column 2, row 1
  const auto row = Warp<uint32_t>(WarpRows32_512, JobFor(CodedSource(), 5, 0), table);
  // Two pixels left of the centre (mirrored to column -3), three right.
  const std::vector<uint32_t> expected{0, Code(-3, 1), Code(-3, 1), Code(2, 1), Code(2, 1), Code(2, 1), 0};
  EXPECT_EQ(row, expected);

  // Palette indices are copied, never blended, at every class.
  const RowSource<uint8_t> indices([](int32_t c, int32_t) { return c + 40; });
  RowWarpJob<NarrowEntry> job;
  job.count = 5;
  job.sourceRows = indices.Rows();
  job.stride = indices.Stride();
  const std::vector<uint32_t> halfway(4, PackEntry(2 * 16 + 8, 1 * 16 + 8));
  EXPECT_EQ(Warp<uint8_t>(ChooseRowWarper<NarrowEntry>(1, 1024), job, halfway),
            (std::vector<uint8_t>{0, 37, 37, 42, 42, 42, 0}));
}

TEST(RowWarperTest, QuarterAndHalfSamplingPickTheirFractionsOfTheTable) {
  const std::vector<uint32_t> table{PackEntry(0, 0), PackEntry(16 * 16, 0), PackEntry(16 * 16, 0)};
  RowWarpJob<NarrowEntry> job = JobFor(CodedSource(), 8, 0);
  job.start = 0xC000;  // three quarters of the way to the next entry
  EXPECT_EQ(Warp<uint32_t>(WarpRows32_512, job, table)[5], Code(12, 0));
  EXPECT_EQ(Warp<uint32_t>(WarpRows32_256, job, table)[5], Code(8, 0));
  // Each pixel of a group steps a quarter entry: four columns here.
  job.start = 0;
  job.step = 0x4000;
  const auto row = Warp<uint32_t>(WarpRows32_512, job, table);
  for (int32_t k = 0; k < 4; ++k) EXPECT_EQ(row[static_cast<size_t>(5 + k)], Code(4 * k, 0)) << k;
}

TEST(RowWarperTest, ModesReadRowsBackwardAndSwapTheSidesOverThePole) {
  std::vector<uint32_t> table;
  for (int32_t i = 0; i < 16; ++i) table.push_back(PackEntry(i * 20, 16 + (i & 1) * 16));
  RowWarpJob<NarrowEntry> job = JobFor(CodedSource(), 12, 0);
  job.step = 0x10000;
  job.yawFraction = 0x60000;
  const auto forward = Warp<uint32_t>(WarpRows32_512, job, table);
  job.mode = 2;
  const auto swapped = Warp<uint32_t>(WarpRows32_512, job, table);
  // Over the pole the right half shows what the left half showed.
  for (size_t k = 1; k <= 12; ++k) EXPECT_EQ(swapped[k], forward[13 - k]) << k;

  // Backward modes index the row array downward from the pointer given.
  job.mode = 1;
  job.sourceRows = CodedSource().Rows() + 3;
  const auto backward = Warp<uint32_t>(WarpRows32_512, job, table);
  for (size_t k = 1; k <= 12; ++k) EXPECT_EQ(backward[k] & ~0xFu, forward[k] & ~0xFu) << k;
  EXPECT_EQ(backward[7] & 0xF, 3 - (forward[7] & 0xF));

  job.mode = 4;
  const auto nothing = Warp<uint32_t>(WarpRows32_512, job, table);
  EXPECT_TRUE(std::all_of(nothing.begin(), nothing.end(), [](uint32_t p) { return p == 0; }));
}

TEST(RowWarperTest, HalfPixelClassesAverageFourPixelsIn16BitsAndTheDiagonalIn32) {
  // Column 2 and a half, row 0 and a half.
  const std::vector<uint32_t> table(4, PackEntry(2 * 16 + 8, 8));
  const RowSource<uint16_t> source16([](int32_t c, int32_t r) { return (c & 31) << 10 | (r * 8) << 5 | 4; });
  RowWarpJob<NarrowEntry> job;
  job.count = 2;
  job.sourceRows = source16.Rows();
  job.stride = source16.Stride();
  const auto row16 = Warp<uint16_t>(WarpRows16_768, job, table);
  // Red of columns 2 and 3 (2.5 rounded down), green of rows 0 and 1 (4).
  EXPECT_EQ(row16[2], 2 << 10 | 4 << 5 | 4);

  const RowSource<uint32_t> source32([](int32_t c, int32_t r) { return (c & 0xFF) << 16 | (r * 64) << 8 | 0x40; });
  job.sourceRows = source32.Rows();
  job.stride = source32.Stride();
  const auto row32 = Warp<uint32_t>(WarpRows32_768, job, table);
  // The pixel and its diagonal neighbour only: column 2 with 3, row 0 with 1.
  EXPECT_EQ(row32[2], 2u << 16 | 32u << 8 | 0x40u);
}

TEST(RowWarperTest, BilinearClassesWeighInSixteenthsPerChannel) {
  const int32_t wx = 5, wy = 11;
  const std::vector<uint32_t> table(4, PackEntry(3 * 16 + wx, 1 * 16 + wy));
  const RowSource<uint32_t> source([](int32_t c, int32_t r) { return (c * 7 & 0xFF) << 16 | (r * 50) << 8 | 0xFF000000u; });
  RowWarpJob<NarrowEntry> job = JobFor(source, 2, 0);
  const auto row = Warp<uint32_t>(WarpRows32_1024, job, table);
  const double red = 3 * 7 + 7.0 * wx / 16;
  const double green = 50 + 50.0 * wy / 16;
  EXPECT_NEAR(static_cast<double>(row[2] >> 16 & 0xFF), red, 1.0);
  EXPECT_NEAR(static_cast<double>(row[2] >> 8 & 0xFF), green, 1.0);
  EXPECT_EQ(row[2] >> 24, 0u) << "the top byte is cleared";

  const RowSource<uint16_t> source16([](int32_t c, int32_t r) { return (c & 31) << 10 | (r * 8) << 5; });
  job.sourceRows = source16.Rows();
  job.stride = source16.Stride();
  const auto row16 = Warp<uint16_t>(WarpRows16_1024, job, table);
  EXPECT_NEAR(static_cast<double>(row16[2] >> 10), 3 + wx / 16.0, 1.0);
  EXPECT_NEAR(static_cast<double>(row16[2] >> 5 & 31), 8 + 8.0 * wy / 16, 1.0);
}

// A picture of kGuardedWidth columns and four rows, once as plain rows end
// to end and once with each row laid out three times over (or flanked by
// the fill colour), which a row read without guard takes as they fall.
class GuardedPicture {
 public:
  static constexpr int32_t kGuardedWidth = 48;
  static constexpr int32_t kRows = 4;

  explicit GuardedPicture(bool wrap) : plain_(kGuardedWidth * (kRows + 2)), laidOut_(3 * kGuardedWidth * (kRows + 2)) {
    for (int32_t r = 0; r < kRows + 2; ++r)
      for (int32_t c = 0; c < kGuardedWidth; ++c) {
        const uint32_t value = Code(c, r);
        plain_[static_cast<size_t>(r * kGuardedWidth + c)] = value;
        for (int32_t copy = 0; copy < 3; ++copy)
          laidOut_[static_cast<size_t>((r * 3 + copy) * kGuardedWidth + c)] = wrap || copy == 1 ? value : kFill;
      }
    fill_.assign(3 * kGuardedWidth, kFill);
    guard_ = {0, kGuardedWidth, wrap, reinterpret_cast<const uint8_t*>(fill_.data() + kGuardedWidth)};
  }

  // Rows from 1 to kRows, their pointers standing at column `base`.
  void StandAt(int32_t base) {
    guard_.base = base;
    for (int32_t r = 0; r < kRows; ++r) {
      plainRows_[static_cast<size_t>(r)] =
          reinterpret_cast<uint8_t*>(plain_.data() + (r + 1) * kGuardedWidth) + base * 4;
      laidOutRows_[static_cast<size_t>(r)] =
          reinterpret_cast<uint8_t*>(laidOut_.data() + ((r + 1) * 3 + 1) * kGuardedWidth) + base * 4;
    }
  }
  uint8_t* const* PlainRows(int16_t mode) const { return plainRows_.data() + ((mode & 1) ? kRows - 1 : 0); }
  uint8_t* const* LaidOutRows(int16_t mode) const { return laidOutRows_.data() + ((mode & 1) ? kRows - 1 : 0); }
  ptrdiff_t PlainStride() const { return kGuardedWidth * 4; }
  ptrdiff_t LaidOutStride() const { return 3 * kGuardedWidth * 4; }
  const ColumnGuard& Guard() const { return guard_; }

  static constexpr uint32_t kFill = 0xFF0000FF;

 private:
  std::vector<uint32_t> plain_, laidOut_, fill_;
  std::array<uint8_t*, kRows> plainRows_{}, laidOutRows_{};
  ColumnGuard guard_;
};

// Through its guard a plain row reads what the laid-out row holds: every
// pointer column about the seam, each mode, both ways of sampling, and
// runs of four that cross the seam or its neighbour.
TEST(RowWarperTest, GuardedRowsReadAsTheRowsLaidOutPastTheirEdges) {
  // Like a warp table's rows: X grows outward unevenly, Y never falls.
  std::vector<uint32_t> table;
  for (int32_t i = 0; i < 48; ++i) table.push_back(PackEntry(i * 13 + (i & 1) * 5, 8 + i));
  for (const bool wrap : {true, false}) {
    GuardedPicture picture(wrap);
    for (int32_t base = -6; base < GuardedPicture::kGuardedWidth + 6; ++base) {
      picture.StandAt(base);
      for (const int16_t mode : {0, 1, 2, 3}) {
        for (const auto warper : {WarpRows32_512<NarrowEntry>, WarpRows32_1024<NarrowEntry>}) {
          RowWarpJob<NarrowEntry> job;
          job.count = 46;
          job.step = 0xA000;
          job.yawFraction = 0x90000;
          job.mode = mode;
          job.sourceRows = picture.LaidOutRows(mode);
          job.stride = picture.LaidOutStride();
          const auto expected = Warp<uint32_t>(warper, job, table);
          job.sourceRows = picture.PlainRows(mode);
          job.stride = picture.PlainStride();
          job.guard = &picture.Guard();
          ASSERT_EQ(Warp<uint32_t>(warper, job, table), expected)
              << "wrap " << wrap << " base " << base << " mode " << mode;
        }
      }
    }
  }
}

TEST(RowWarperTest, EachPixelSizeAndQualityClassHasItsRoutine) {
  EXPECT_EQ(ChooseRowWarper<NarrowEntry>(1, 256), WarpRows8_256<NarrowEntry>);
  EXPECT_EQ(ChooseRowWarper<NarrowEntry>(1, 1024), WarpRows8<NarrowEntry>);
  EXPECT_EQ(ChooseRowWarper<NarrowEntry>(2, 768), WarpRows16_768<NarrowEntry>);
  EXPECT_EQ(ChooseRowWarper<NarrowEntry>(4, 2048), WarpRows32_1024<NarrowEntry>);
  EXPECT_EQ(ChooseRowWarper<NarrowEntry>(3, 512), nullptr);
  EXPECT_EQ(ChooseRowWarper<NarrowEntry>(4, 0), nullptr);
  EXPECT_EQ(QualityClass(384), 512);
  EXPECT_EQ(QualityClass(383), 256);
  EXPECT_EQ(QualityClass(127), 0);
}

}  // namespace
}  // namespace vx
