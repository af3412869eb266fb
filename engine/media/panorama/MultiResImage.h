// A picture described as a pyramid of levels of square tiles, each level
// half the size of the one above, with a small cache of loaded tiles. No
// format supplies such tiles yet: the loader answers that none is
// available, so the cache holds only what is stored into it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/media/MediaHandle.h"

namespace vx {

// One tile asked for, or held in the cache.
struct TileRequest {
  uint8_t* pixels = nullptr;  // null: no tile
  std::array<int32_t, 4> callerWords{};
  int32_t column = 0;
  int32_t row = 0;
  int32_t level = 0;
  uint16_t locked = 0;
  std::array<float, 4> corners{0.0f, 0.0f, 1.0f, 1.0f};  // texture corners
};

// The pyramid's levels, each array indexed by level number 1..count: level 1
// the smallest, level `count` the whole picture.
struct MultiResLevels {
  struct Level {
    uint16_t tilesAcross = 0;
    uint16_t tilesDown = 0;
    uint16_t width = 0;
    uint16_t height = 0;
  };
  uint16_t count = 0;
  std::array<Level, kMaxMultiResLevels + 1> levels{};
};

inline constexpr int32_t kTileFound = 0;
inline constexpr int32_t kTileUnavailable = 2;

class CMultiResImage final : public CMediaHandle {
 public:
  CMultiResImage(std::unique_ptr<CMediaObject> media, uint16_t width, uint16_t height);
  ~CMultiResImage() override;

  // 1 with the levels filled; 0 (and no levels) for a picture with more
  // levels than the pyramid holds.
  [[nodiscard]] int16_t ComputeLevels(MultiResLevels* out);
  // 1 + the halvings (rounding up) until both sides are at most `limit`.
  int32_t CountLevels(int32_t limit) const;
  // kTileFound with the cached tile copied into the request (the entry and
  // the request locked until the next reset), else the loader's answer.
  [[nodiscard]] int32_t FindCachedTile(TileRequest* request);
  [[nodiscard]] int32_t LoadTile(TileRequest* request);
  // Keeps a loaded tile in the first empty entry; false (the pixels freed)
  // when every entry is in use.
  bool StoreTile(const TileRequest& request, std::unique_ptr<uint8_t[]> pixels);
  // Before a pass: nothing counted, nothing locked; the tiles stay.
  void ResetTileCache(uint16_t level);
  // After a pass: frees unlocked tiles, the last entries first, until at most
  // kTileCacheKeep are counted.
  void TrimTileCache();

  int32_t CachedCount() const { return cachedCount_; }
  uint16_t Level() const { return level_; }
  const TileRequest& Entry(int32_t index) const { return cache_[static_cast<size_t>(index)].request; }

 private:
  struct CacheEntry {
    TileRequest request;
    std::unique_ptr<uint8_t[]> pixels;
  };
  static void Free(CacheEntry& entry);

  uint16_t width_ = 0;
  uint16_t height_ = 0;
  int32_t cachedCount_ = 0;
  uint16_t level_ = 0;
  std::array<CacheEntry, kTileCacheEntries> cache_;
};

}  // namespace vx
