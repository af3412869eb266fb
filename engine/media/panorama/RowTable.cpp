#include "engine/media/panorama/RowTable.h"

#include <cassert>
#include <cstddef>
#include <cstring>

namespace vx {

PixelMap PictureBetweenGuards(PixelMap image) {
  if (!image.bits || image.height <= 2 * kPictureGuardRows) return {};
  image.bits = image.Row(kPictureGuardRows);
  image.height = static_cast<uint16_t>(image.height - 2 * kPictureGuardRows);
  return image;
}

void RefreshGuardRows(const PixelMap& picture) {
  if (!picture.bits || picture.height == 0) return;
  const ptrdiff_t stride = picture.rowBytes;
  uint8_t* const first = picture.bits;
  uint8_t* const last = picture.Row(picture.height - 1);
  for (int32_t k = 1; k <= kPictureGuardRows; ++k) {
    std::memcpy(first - stride * k, first, static_cast<size_t>(stride));
    std::memcpy(last + stride * k, last, static_cast<size_t>(stride));
  }
}

void CRowTable::Resize(int32_t pictureRows) {
  assert(pictureRows >= 0 && "a picture has no negative row count");
  pictureRows_ = pictureRows;
  entries_.assign(static_cast<size_t>(pictureRows) + 2 * kPictureGuardRows, nullptr);
}

void CRowTable::Set(int32_t y, uint8_t* start) {
  assert(y >= 0 && y < pictureRows_ && "row outside the picture");
  entries_[static_cast<size_t>(y + kPictureGuardRows)] = start;
}

uint8_t* CRowTable::Get(int32_t y) const {
  assert(y >= -kPictureGuardRows && y < pictureRows_ + kPictureGuardRows && "row outside the table");
  return entries_[static_cast<size_t>(y + kPictureGuardRows)];
}

void CRowTable::FillGuards() {
  if (pictureRows_ == 0) return;
  for (int32_t k = 1; k <= kPictureGuardRows; ++k) {
    entries_[static_cast<size_t>(kPictureGuardRows - k)] = Get(0);
    entries_[static_cast<size_t>(kPictureGuardRows + pictureRows_ - 1 + k)] = Get(pictureRows_ - 1);
  }
}

}  // namespace vx
