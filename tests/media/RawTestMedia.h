// A tiny picture format for the tests of the media base: the file holds
// "RAW", a width byte and a height byte; the picture is every pixel set to
// kRawPixelByte. Its decoder fills its window, and the media object counts
// its loads.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "engine/media/StillImageMedia.h"

namespace vx::test {

inline constexpr uint8_t kRawPixelByte = 0x5A;

class CRawTestDecoder final : public CStillImageDecoder {
 public:
  DecodeStatus ReadHeader(std::span<const uint8_t> bytes, bool allArrived) override {
    if (bytes.size() < 5) return allArrived ? DecodeStatus::Corrupt : DecodeStatus::Pending;
    if (std::memcmp(bytes.data(), "RAW", 3) != 0) return DecodeStatus::NotMyFormat;
    size_ = {bytes[3], bytes[4]};
    return CheckPictureSize(size_.width, size_.height);
  }
  PictureSize Size() const override { return size_; }
  DecodeStatus Decode(std::span<const uint8_t>, bool, const PictureWindow& window) override {
    const PixelMap& target = window.target;
    for (int32_t row = 0; row < target.height; ++row)
      std::memset(target.Row(row), kRawPixelByte, static_cast<size_t>(target.width) * target.bytesPerPixel);
    return DecodeStatus::Complete;
  }

 private:
  PictureSize size_;
};

class CRawTestMedia final : public CStillImageMedia {
 public:
  CRawTestMedia() : CStillImageMedia(MediaType::Bmp, std::make_unique<CRawTestDecoder>()) {}

  int32_t Load() override {
    ++loads;
    loadedPath = LocalPath();
    return CStillImageMedia::Load();
  }

  int loads = 0;
  std::string loadedPath;
};

inline std::string RawPicture(uint8_t width, uint8_t height) {
  return std::string("RAW") + static_cast<char>(width) + static_cast<char>(height);
}

}  // namespace vx::test
