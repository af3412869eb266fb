#include <gtest/gtest.h>

#include <memory>

#include "engine/media/formats/PlaceholderMedia.h"
#include "engine/media/panorama/MultiResImage.h"

namespace vx {
namespace {

CMultiResImage Pyramid(uint16_t width, uint16_t height) {
  return CMultiResImage(std::make_unique<CFpxMedia>(), width, height);
}

TileRequest TileAt(int32_t column, int32_t row, int32_t level) {
  TileRequest request;
  request.column = column;
  request.row = row;
  request.level = level;
  return request;
}

void Store(CMultiResImage& pyramid, int32_t count) {
  for (int32_t i = 0; i < count; ++i)
    ASSERT_TRUE(pyramid.StoreTile(TileAt(i, 0, 1), std::make_unique<uint8_t[]>(16)));
}

int32_t TilesHeld(const CMultiResImage& pyramid) {
  int32_t held = 0;
  for (int32_t i = 0; i < kTileCacheEntries; ++i) held += pyramid.Entry(i).pixels != nullptr;
  return held;
}

TEST(MultiResImage, LevelsHalveTheSidesRoundingUpFromTheWholePictureDown) {
  auto pyramid = Pyramid(200, 100);
  MultiResLevels levels;
  ASSERT_EQ(pyramid.ComputeLevels(&levels), 1);
  ASSERT_EQ(levels.count, 3);
  const uint16_t widths[] = {50, 100, 200};
  const uint16_t heights[] = {25, 50, 100};
  const uint16_t across[] = {1, 2, 4};
  const uint16_t down[] = {1, 1, 2};
  for (int level = 1; level <= 3; ++level) {
    EXPECT_EQ(levels.levels[level].width, widths[level - 1]) << "level " << level;
    EXPECT_EQ(levels.levels[level].height, heights[level - 1]);
    EXPECT_EQ(levels.levels[level].tilesAcross, across[level - 1]);
    EXPECT_EQ(levels.levels[level].tilesDown, down[level - 1]);
  }
  EXPECT_EQ(Pyramid(129, 64).CountLevels(64), 3) << "129 rounds up to 65, then 33";
  EXPECT_EQ(Pyramid(64, 64).CountLevels(64), 1);
}

TEST(MultiResImage, TenLevelsFillTheLastEntryAndAnEleventhIsRefused) {
  auto largest = Pyramid(32768, 100);
  MultiResLevels levels;
  ASSERT_EQ(largest.ComputeLevels(&levels), 1);
  EXPECT_EQ(levels.count, kMaxMultiResLevels);
  EXPECT_EQ(levels.levels[kMaxMultiResLevels].width, 32768);
  EXPECT_EQ(levels.levels[kMaxMultiResLevels].tilesAcross, 512);
  EXPECT_EQ(levels.levels[1].width, 64);

  auto tooLarge = Pyramid(32769, 100);
  EXPECT_EQ(tooLarge.CountLevels(64), 11);
  EXPECT_EQ(tooLarge.ComputeLevels(&levels), 0);
  EXPECT_EQ(levels.count, 0);
}

TEST(MultiResImage, AFoundTileIsCopiedAndLockedAndAMissingOneIsUnavailable) {
  auto pyramid = Pyramid(256, 256);
  Store(pyramid, 3);
  TileRequest missing = TileAt(9, 9, 1);
  EXPECT_EQ(pyramid.FindCachedTile(&missing), kTileUnavailable);
  EXPECT_EQ(missing.pixels, nullptr);

  TileRequest found = TileAt(1, 0, 1);
  ASSERT_EQ(pyramid.FindCachedTile(&found), kTileFound);
  EXPECT_EQ(found.pixels, pyramid.Entry(1).pixels);
  EXPECT_EQ(found.locked, 1);
  EXPECT_EQ(pyramid.Entry(1).locked, 1);
  TileRequest otherLevel = TileAt(1, 0, 2);
  EXPECT_EQ(pyramid.FindCachedTile(&otherLevel), kTileUnavailable);

  pyramid.ResetTileCache(2);
  EXPECT_EQ(pyramid.CachedCount(), 0);
  EXPECT_EQ(pyramid.Level(), 2);
  EXPECT_EQ(pyramid.Entry(1).locked, 0);
  EXPECT_EQ(TilesHeld(pyramid), 3) << "a reset keeps the tiles";
}

TEST(MultiResImage, TrimmingFreesUnlockedTilesFromTheEndDownToSixteen) {
  auto few = Pyramid(256, 256);
  Store(few, kTileCacheKeep);
  few.TrimTileCache();
  EXPECT_EQ(TilesHeld(few), kTileCacheKeep);

  auto many = Pyramid(1024, 1024);
  Store(many, 20);
  TileRequest last = TileAt(19, 0, 1);
  TileRequest nextToLast = TileAt(18, 0, 1);
  ASSERT_EQ(many.FindCachedTile(&last), kTileFound);
  ASSERT_EQ(many.FindCachedTile(&nextToLast), kTileFound);
  many.TrimTileCache();
  EXPECT_EQ(many.CachedCount(), kTileCacheKeep);
  EXPECT_NE(many.Entry(19).pixels, nullptr) << "locked";
  EXPECT_NE(many.Entry(18).pixels, nullptr) << "locked";
  for (int32_t i = 14; i < 18; ++i) EXPECT_EQ(many.Entry(i).pixels, nullptr) << "entry " << i;
  EXPECT_NE(many.Entry(13).pixels, nullptr);

  Store(many, 4);  // into the freed entries
  EXPECT_EQ(many.CachedCount(), 20);
  for (int32_t i = 20; i < kTileCacheEntries; ++i)
    ASSERT_TRUE(many.StoreTile(TileAt(i, 1, 1), std::make_unique<uint8_t[]>(4)));
  EXPECT_FALSE(many.StoreTile(TileAt(0, 2, 1), std::make_unique<uint8_t[]>(4))) << "every entry in use";
}

}  // namespace
}  // namespace vx
