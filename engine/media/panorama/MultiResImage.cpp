#include "engine/media/panorama/MultiResImage.h"

namespace vx {
namespace {

uint16_t TilesOver(int32_t side) {
  return static_cast<uint16_t>((side + kMultiResTileSide - 1) / kMultiResTileSide);
}

}  // namespace

CMultiResImage::CMultiResImage(std::unique_ptr<CMediaObject> media, uint16_t width, uint16_t height)
    : CMediaHandle(std::move(media)), width_(width), height_(height) {}

CMultiResImage::~CMultiResImage() = default;

int32_t CMultiResImage::CountLevels(int32_t limit) const {
  int32_t width = width_;
  int32_t height = height_;
  int32_t levels = 1;
  while (width > limit || height > limit) {
    width = (width + 1) / 2;
    height = (height + 1) / 2;
    ++levels;
  }
  return levels;
}

int16_t CMultiResImage::ComputeLevels(MultiResLevels* out) {
  *out = MultiResLevels{};
  const int32_t count = CountLevels(kMultiResTileSide);
  if (count > kMaxMultiResLevels) return 0;
  out->count = static_cast<uint16_t>(count);
  int32_t width = width_;
  int32_t height = height_;
  for (int32_t level = count; level >= 1; --level) {
    out->levels[static_cast<size_t>(level)] = {TilesOver(width), TilesOver(height), static_cast<uint16_t>(width),
                                               static_cast<uint16_t>(height)};
    width = (width + 1) / 2;
    height = (height + 1) / 2;
  }
  return 1;
}

int32_t CMultiResImage::FindCachedTile(TileRequest* request) {
  for (CacheEntry& entry : cache_) {
    const TileRequest& held = entry.request;
    if (!held.pixels || held.column != request->column || held.row != request->row || held.level != request->level)
      continue;
    // The caller draws from these pixels during its pass: a trim must not
    // free them before the next reset.
    entry.request.locked = 1;
    *request = entry.request;
    return kTileFound;
  }
  return LoadTile(request);
}

int32_t CMultiResImage::LoadTile(TileRequest* /*request*/) { return kTileUnavailable; }

bool CMultiResImage::StoreTile(const TileRequest& request, std::unique_ptr<uint8_t[]> pixels) {
  if (!pixels) return false;
  for (CacheEntry& entry : cache_) {
    if (entry.pixels) continue;
    entry.request = request;
    entry.request.pixels = pixels.get();
    entry.pixels = std::move(pixels);
    ++cachedCount_;
    return true;
  }
  return false;
}

void CMultiResImage::ResetTileCache(uint16_t level) {
  cachedCount_ = 0;
  level_ = level;
  for (CacheEntry& entry : cache_) entry.request.locked = 0;
}

void CMultiResImage::Free(CacheEntry& entry) {
  entry.pixels.reset();
  entry.request.pixels = nullptr;
}

void CMultiResImage::TrimTileCache() {
  if (cachedCount_ <= kTileCacheKeep) return;
  for (auto entry = cache_.rbegin(); entry != cache_.rend() && cachedCount_ > kTileCacheKeep; ++entry) {
    if (entry->request.locked || !entry->pixels) continue;
    Free(*entry);
    --cachedCount_;
  }
}

}  // namespace vx
