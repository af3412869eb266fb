// Uncompressed Windows and OS/2 bitmaps of 8 bits (with a palette) or 24
// bits a pixel, rows stored bottom row first, each padded to 4 bytes. The
// pixel data starts where the file header's offset says (right after the
// palette when the offset points into the headers). Every size is checked
// against the file before a row is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/media/StillImageDecoder.h"
#include "engine/media/formats/IndexedPixels.h"

namespace vx {

class CBmpDecoder final : public CStillImageDecoder {
 public:
  // NotMyFormat without "BM"; Corrupt for a negative or empty size, a layer
  // count other than 1, compression, a bit count other than 8 and 24, or
  // pixel rows the file does not hold.
  [[nodiscard]] DecodeStatus ReadHeader(std::span<const uint8_t> bytes, bool allArrived) override;
  PictureSize Size() const override { return size_; }
  [[nodiscard]] DecodeStatus Decode(std::span<const uint8_t> bytes, bool allArrived,
                                    const PictureWindow& window) override;

  // The 5:5:5 inverse map that gives 1-byte targets their palette indices.
  void SetInverseMap(const uint8_t* inverseMap555) { inverseMap_ = inverseMap555; }
  const IndexedColorTable& Palette() const { return palette_; }

 private:
  PictureSize size_;
  int32_t bitCount_ = 0;
  IndexedColorTable palette_{};
  size_t pixelOffset_ = 0;
  size_t rowBytes_ = 0;
  const uint8_t* inverseMap_ = nullptr;
};

}  // namespace vx
