#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "TileTestPictures.h"
#include "engine/media/panorama/TileGrid.h"

namespace vx {
namespace {

using test::IndexPixel;
using test::ReadThroughRows;

// A picture of 8 x 4 tiles of 4 x 2 pixels (32 x 8), shown through a buffer
// of 3 x 2 tiles unless a test asks for another.
constexpr int32_t kTileW = 4;
constexpr int32_t kTileH = 2;
constexpr int32_t kAcross = 8;
constexpr int32_t kDown = 4;
constexpr int32_t kWidth = kAcross * kTileW;
constexpr int32_t kHeight = kDown * kTileH;

struct Buffer {
  Buffer(int32_t width, int32_t height) : pixels(static_cast<size_t>(width) * height) {
    map.bits = reinterpret_cast<uint8_t*>(pixels.data());
    map.width = static_cast<uint16_t>(width);
    map.height = static_cast<uint16_t>(height);
    map.bytesPerPixel = 4;
    map.rowBytes = width * 4;
  }
  std::vector<uint32_t> pixels;
  PixelMap map;
};

struct Grid {
  explicit Grid(int16_t viewAcross = 3, int16_t viewDown = 2)
      : size(TileBufferSizeFor(kWidth, viewAcross, viewDown, kTileW, kTileH)), buffer(size.width, size.height) {
    EXPECT_EQ(grid.Attach(buffer.map, viewAcross, viewDown, kTileW, kTileH), kTileAttached);
  }

  // Runs the walk for the window to its end, painting every tile asked for.
  std::vector<TilePosition> Show(const TileWindow& window, bool columnMajor = false) {
    std::vector<TilePosition> fetched;
    PixelMap place;
    TilePosition tile;
    TileStep step;
    while ((step = grid.Update(window, &place, &tile, columnMajor)) == TileStep::FetchTile) {
      test::PaintIndexTile(place, tile);
      grid.MirrorTile(place);
      fetched.push_back(tile);
      if (fetched.size() > 64) break;
    }
    last = step;
    return fetched;
  }

  PixelMap ViewMap() {
    PixelMap map;
    EXPECT_EQ(grid.GetViewMap(&map, table), 0);
    return map;
  }

  // Every pixel of the window reads as itself through the row table.
  void ExpectWindowShown(const TileWindow& window) {
    const PixelMap map = ViewMap();
    int32_t bottom = window.bottom < window.top ? window.bottom + kHeight : window.bottom;
    int32_t right = window.right < window.left ? window.right + kWidth : window.right;
    for (int32_t y = window.top; y <= bottom; ++y)
      for (int32_t x = window.left; x <= right; ++x)
        ASSERT_EQ(ReadThroughRows(map, y % kHeight, x), IndexPixel(y % kHeight, x % kWidth))
            << "row " << y << " column " << x;
  }

  TileBufferSize size;
  Buffer buffer;
  CTileGrid grid{kWidth, kHeight};
  CRowTable table;
  TileStep last = TileStep::TooManyTiles;

  Grid(const Grid&) = delete;
};

TEST(TileGrid, AttachTakesAtMost512TilesAndWholeTilesWithRoomForTheMargins) {
  CTileGrid big(32 * 8, 16 * 8);
  Buffer wide(2 * 33 * 8, 16 * 8 + 32);
  EXPECT_EQ(big.Attach(wide.map, 32, 16, 8, 8), kTileAttached);
  EXPECT_EQ(big.Attach(wide.map, 33, 16, 8, 8), kTileAttachRefused);
  EXPECT_EQ(big.Attach(wide.map, 32, 16, 0, 8), kTileAttachRefused);

  CTileGrid grid(kWidth, kHeight);
  Buffer buffer(2 * 3 * kTileW, 2 * kTileH + 32);
  EXPECT_EQ(grid.Attach(buffer.map, 3, 2, kTileW, kTileH), kTileAttached);
  EXPECT_EQ(grid.Margin(), 16);
  EXPECT_EQ(grid.GetTilesAcross(), kAcross);
  EXPECT_EQ(grid.GetTilesDown(), kDown);
  EXPECT_EQ(grid.Attach(buffer.map, 3, 2, 5, kTileH), kTileAttachRefused) << "5 does not divide 32";
  EXPECT_EQ(grid.Attach(buffer.map, 3, 2, kTileW, 3), kTileAttachRefused) << "3 does not divide 8";
  EXPECT_EQ(grid.Attach(buffer.map, 4, 2, kTileW, kTileH), kTileAttachRefused) << "buffer not twice as wide";
  EXPECT_EQ(grid.Attach(buffer.map, 0, 2, kTileW, kTileH), kTileAttachRefused);

  Buffer tight(2 * 3 * kTileW, 2 * kTileH + 4);
  EXPECT_EQ(grid.Attach(tight.map, 3, 2, kTileW, kTileH), kTileAttached) << "a margin of 2 rows";
  Buffer tooTight(2 * 3 * kTileW, 2 * kTileH + 3);
  EXPECT_EQ(grid.Attach(tooTight.map, 3, 2, kTileW, kTileH), kTileAttachRefused) << "a margin of 1 row";

  PixelMap noPixels = buffer.map;
  noPixels.bits = nullptr;
  EXPECT_EQ(grid.Attach(noPixels, 3, 2, kTileW, kTileH), kTileAttachedWithoutPixels);
  PixelMap place;
  TilePosition tile;
  EXPECT_EQ(grid.Update({0, 0, 1, 3}, &place, &tile, false), TileStep::TooManyTiles) << "nowhere to put tiles";
  PixelMap map;
  CRowTable table;
  table.Resize(kHeight);
  EXPECT_NE(grid.GetViewMap(&map, table), 0);
}

TEST(TileGrid, TheWalkFetchesEachNeededTileOnceInRowOrColumnOrder) {
  Grid rows;
  rows.table.Resize(kHeight);
  EXPECT_TRUE(rows.Show({1, 5, 4, 12}).empty()) << "pixel rows 1-4 are three tile rows, the buffer holds two";
  EXPECT_EQ(rows.last, TileStep::TooManyTiles);

  const TileWindow fits{2, 5, 3, 12};  // tile rows 1-1, columns 1-3
  const std::vector<TilePosition> rowOrder = rows.Show({1, 5, 2, 12});
  EXPECT_EQ(rowOrder, (std::vector<TilePosition>{{0, 1}, {0, 2}, {0, 3}, {1, 1}, {1, 2}, {1, 3}}));
  EXPECT_EQ(rows.last, TileStep::AllInPlace);
  EXPECT_TRUE(rows.Show({1, 5, 2, 12}).empty()) << "the same window again needs nothing";
  EXPECT_TRUE(rows.Show(fits).empty()) << "a smaller window inside it needs nothing";

  Grid columns;
  EXPECT_EQ(columns.Show({1, 5, 2, 12}, true),
            (std::vector<TilePosition>{{0, 1}, {1, 1}, {0, 2}, {1, 2}, {0, 3}, {1, 3}}));
}

TEST(TileGrid, TilesThatStayInViewKeepTheirSlotsWhenTheViewMoves) {
  Grid grid;
  grid.table.Resize(kHeight);
  grid.Show({0, 0, 3, 11});
  EXPECT_EQ(grid.Show({0, 4, 3, 15}), (std::vector<TilePosition>{{0, 3}, {1, 3}})) << "one new column";
  grid.ExpectWindowShown({0, 4, 3, 15});
  EXPECT_EQ(grid.Show({2, 4, 5, 15}), (std::vector<TilePosition>{{2, 1}, {2, 2}, {2, 3}})) << "one new row";
  grid.ExpectWindowShown({2, 4, 5, 15});
  EXPECT_EQ(grid.Show({0, 0, 3, 11}).size(), 4u) << "back: a row of three and one tile of the column";
  grid.ExpectWindowShown({0, 0, 3, 11});
}

TEST(TileGrid, AWindowAcrossTheSeamWrapsAroundThePicturesRightEdge) {
  Grid grid;
  grid.table.Resize(kHeight);
  // Left edge greater than the right: columns 26-31 and 0-5, four tiles.
  EXPECT_TRUE(grid.Show({0, 26, 1, 5}).empty());
  EXPECT_EQ(grid.last, TileStep::TooManyTiles);

  Grid seam;
  seam.table.Resize(kHeight);
  EXPECT_EQ(seam.Show({0, 29, 1, 5}), (std::vector<TilePosition>{{0, 7}, {0, 0}, {0, 1}}));
  seam.ExpectWindowShown({0, 29, 1, 5});
  const PixelMap map = seam.ViewMap();
  EXPECT_EQ(ReadThroughRows(map, 1, kWidth + 2), IndexPixel(1, 2)) << "column width + 2 is column 2";

  // A right edge past the width means the same, as the view reports it.
  Grid past;
  past.table.Resize(kHeight);
  EXPECT_EQ(past.Show({0, 29, 1, kWidth + 5}), (std::vector<TilePosition>{{0, 7}, {0, 0}, {0, 1}}));
  past.ExpectWindowShown({0, 29, 1, 5});
  // Moving on across the seam keeps the tiles already there.
  EXPECT_EQ(past.Show({0, 1, 1, 11}), (std::vector<TilePosition>{{0, 2}}));
  past.ExpectWindowShown({0, 1, 1, 11});
}

TEST(TileGrid, TheViewMapHasAnEntryForEveryRowAndGuardRowsAroundThePicture) {
  Grid grid;
  grid.table.Resize(kHeight);
  grid.Show({2, 8, 5, 19});  // tile rows 1-2, columns 2-4
  const PixelMap map = grid.ViewMap();
  EXPECT_EQ(map.bits, nullptr);
  EXPECT_EQ(map.width, kWidth);
  EXPECT_EQ(map.height, kHeight);
  EXPECT_EQ(map.bytesPerPixel, 4);
  grid.ExpectWindowShown({2, 8, 5, 19});

  // Rows above the held ones show the first held row, rows below the last.
  EXPECT_EQ(ReadThroughRows(map, 0, 8), IndexPixel(2, 8));
  EXPECT_EQ(ReadThroughRows(map, 1, 8), IndexPixel(2, 8));
  EXPECT_EQ(ReadThroughRows(map, 6, 8), IndexPixel(5, 8));
  EXPECT_EQ(ReadThroughRows(map, 7, 8), IndexPixel(5, 8));
  for (int32_t k = 1; k <= kPictureGuardRows; ++k) {
    EXPECT_EQ(map.rows[-k], map.rows[0]);
    EXPECT_EQ(map.rows[kHeight - 1 + k], map.rows[kHeight - 1]);
  }
}

TEST(TileGrid, ARowPastEitherEndOfTheCyclicBufferIsTheRowThatFollowsInThePicture) {
  Grid grid(3, 2);
  grid.table.Resize(kHeight);
  grid.Show({0, 0, 3, 11});
  grid.Show({2, 0, 5, 11});  // the buffer scrolls: picture rows 4-5 go to the top slots
  const PixelMap map = grid.ViewMap();
  grid.ExpectWindowShown({2, 0, 5, 11});
  for (int32_t y = 2; y < 5; ++y) {
    uint32_t below = 0;
    std::memcpy(&below, map.rows[y] + map.rowBytes + 4 * 3, 4);
    EXPECT_EQ(below, IndexPixel(y + 1, 3)) << "one stride below row " << y;
  }
  uint32_t above = 0;
  std::memcpy(&above, map.rows[3] - map.rowBytes + 4 * 3, 4);
  EXPECT_EQ(above, IndexPixel(2, 3));
}

// Under ASan: every entry, guards included, can be read from column
// -width to 2 * width - 1, and one row below and above.
TEST(TileGrid, EveryEntryOfTheViewMapCanBeReadOverThreePictureWidths) {
  for (int16_t across : {1, 3, 8}) {
    Grid grid(across, 2);
    grid.table.Resize(kHeight);
    grid.Show({2, 28, 3, static_cast<int16_t>(28 + across * kTileW - 1)});
    ASSERT_EQ(grid.last, TileStep::AllInPlace);
    const PixelMap map = grid.ViewMap();
    uint64_t sum = 0;
    for (int32_t y = -kPictureGuardRows; y < kHeight + kPictureGuardRows; ++y)
      for (int32_t x = -kWidth; x < 2 * kWidth; ++x)
        for (int32_t step : {-1, 0, 1}) {
          uint32_t value = 0;
          std::memcpy(&value, map.rows[y] + static_cast<ptrdiff_t>(step) * map.rowBytes + 4 * x, 4);
          sum += value;
        }
    EXPECT_GT(sum, 0u);
  }
}

TEST(TileGrid, AForgottenTileIsFetchedAgain) {
  Grid grid;
  grid.Show({0, 0, 1, 7});
  grid.grid.ForgetTile({0, 1});
  EXPECT_EQ(grid.Show({0, 0, 1, 7}), (std::vector<TilePosition>{{0, 1}}));
}

TEST(TileGrid, AnyWalkOfWindowsLeavesEveryWindowShownCorrectly) {
  std::mt19937 random(7);
  for (int16_t across : {2, 3, 8}) {
    for (int16_t down : {1, 2, 4}) {
      Grid grid(across, down);
      grid.table.Resize(kHeight);
      for (int i = 0; i < 60; ++i) {
        const int32_t top = static_cast<int32_t>(random() % kHeight);
        const int32_t left = static_cast<int32_t>(random() % kWidth);
        const int32_t rows = 1 + static_cast<int32_t>(random() % ((down - 1) * kTileH + 1));
        const int32_t columns = 1 + static_cast<int32_t>(random() % ((across - 1) * kTileW + 1));
        const TileWindow window{static_cast<int16_t>(top), static_cast<int16_t>(left),
                                static_cast<int16_t>((top + rows - 1) % kHeight),
                                static_cast<int16_t>((left + columns - 1) % kWidth)};
        const auto fetched = grid.Show(window);
        ASSERT_EQ(grid.last, TileStep::AllInPlace) << across << "x" << down << " window " << i;
        ASSERT_LE(fetched.size(), static_cast<size_t>(across * down));
        grid.ExpectWindowShown(window);
      }
    }
  }
}

}  // namespace
}  // namespace vx
