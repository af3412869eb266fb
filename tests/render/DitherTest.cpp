#include "engine/render/Dither.h"

#include <gtest/gtest.h>


namespace vx {
namespace {

// A black and white palette with a map of 1 bit per channel that is white
// only for the cell (1, 1, 1): grey values of 128 and above.
struct BlackWhite {
  std::vector<uint8_t> triples = {0, 0, 0, 255, 255, 255};
  std::vector<uint8_t> map = {0, 0, 0, 0, 0, 0, 0, 1};
  DitherPalette palette() const { return {map.data(), 1, 1, 1, triples}; }
};

uint32_t Grey(uint32_t v) { return (v << 16) | (v << 8) | v; }

TEST(DitherTables, ErrorAndRangeLimits) {
  const ErrorLimitTable limit;
  const std::pair<int, int> limits[] = {{0, 0},   {15, 15},  {16, 16},   {17, 16}, {18, 17},
                                       {47, 31}, {48, 32}, {255, 32}, {-17, -16}, {-255, -32}};
  for (auto [in, out] : limits) EXPECT_EQ(limit[in], out) << in;
  const RangeLimitTable range;
  for (auto [in, out] : {std::pair{-255, 0}, {-1, 0}, {0, 0}, {200, 200}, {256, 255}, {510, 255}})
    EXPECT_EQ(range[in], out) << in;
}

TEST(DitherToPalette, NextRowStartsWithTheCarryOfTheLastPixel) {
  // One column of grey 100: the first row leaves 7/16 of its error in the
  // carry and 5/16 + 1/16 in the buffer; together they push the second row's
  // pixel to 132, which is white. Without the carry it would be 123 (black).
  BlackWhite bw;
  const uint32_t source[2] = {Grey(100), Grey(100)};
  uint8_t out[2] = {9, 9};
  DitherToPalette(source, 1, 2, bw.palette(), out, 1);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 1);
}

TEST(DitherToPalette, SecondRowRunsRightToLeft) {
  // Row 0 is black and leaves no error. Row 1 = 100, 100, 160: right to left
  // 160 -> white (error -95) pushes 100 down to 71 and the last to 123, all
  // black; left to right it would have been black, white, white.
  BlackWhite bw;
  const uint32_t source[6] = {0, 0, 0, Grey(100), Grey(100), Grey(160)};
  uint8_t out[6] = {7, 7, 7, 7, 7, 7};
  DitherToPalette(source, 3, 2, bw.palette(), out, 3);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{0, 0, 0, 0, 0, 1}));
  // A single row runs left to right.
  DitherToPalette(source + 3, 3, 1, bw.palette(), out, 3);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0, 1, 1}));
}

TEST(DitherToPalettePitched, ReadsRowsAtTheGivenPitchRoundedToPixels) {
  BlackWhite bw;
  // Rows 3 pixels apart (14 bytes round down to 12), the third word padding.
  const uint32_t source[6] = {Grey(255), Grey(0), 0xDEAD, Grey(0), Grey(255), 0xBEEF};
  uint8_t out[4] = {};
  DitherToPalettePitched(source, 2, 2, bw.palette(), out, 2, 14);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 1);
}

TEST(DitherToPalette, IndexBeyondThePaletteAndBadDepthsAreSafe) {
  BlackWhite bw;
  bw.map[7] = 200;  // an index the palette does not have
  const uint32_t source[4] = {Grey(255), Grey(255), Grey(255), Grey(255)};
  uint8_t out[4] = {};
  DitherToPalette(source, 2, 2, bw.palette(), out, 2);
  EXPECT_EQ(out[3], 200);
  DitherToPalette(source, 2, 2, {bw.map.data(), 9, 1, 1, bw.triples}, out, 2);  // refused
}

}  // namespace
}  // namespace vx
