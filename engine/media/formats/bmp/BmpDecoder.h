// Windows and OS/2 bitmaps: 1, 4 and 8 bits a pixel with a palette
// (uncompressed, or run-length coded at 8 and 4 bits), 16 and 32 bits with
// the standard or the file's own channel masks, and 24 bits. Rows are stored
// bottom row first, or top row first when a Windows header gives a negative
// height; uncompressed rows are padded to 4 bytes. The pixel data starts
// where the file header's offset says (right after the palette when the
// offset points into the headers). Every size is checked against the file
// and the limits before a row is read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/media/StillImageDecoder.h"
#include "engine/media/formats/IndexedPixels.h"

namespace vx {

enum class BmpCoding : int32_t { Plain, RunLength8, RunLength4 };

// One colour channel of a 16- or 32-bit pixel: where its bits are.
struct BmpChannel {
  uint32_t mask = 0;
  int32_t shift = 0;
  int32_t bits = 0;
  // The channel of a pixel word in 8 bits, its bits repeated downwards.
  uint8_t Of(uint32_t word) const;
};

class CBmpDecoder final : public CStillImageDecoder {
 public:
  // NotMyFormat without "BM"; Corrupt for a negative width, an empty size
  // or one past the limits, a layer count other than 1, a compression and
  // bit count that do not go together, masks that are empty or not one run
  // of bits, a top-down run-length file, or pixel rows the file does not
  // hold.
  [[nodiscard]] DecodeStatus ReadHeader(std::span<const uint8_t> bytes, bool allArrived) override;
  PictureSize Size() const override { return size_; }
  // Run-length pictures decode as far as their codes go: pixels they skip,
  // or leave out at a cut end, show palette entry 0.
  [[nodiscard]] DecodeStatus Decode(std::span<const uint8_t> bytes, bool allArrived,
                                    const PictureWindow& window) override;

  bool TakesInverseMap() const override { return true; }
  void SetInverseMap(const uint8_t* inverseMap555) override { inverseMap_ = inverseMap555; }
  const IndexedColorTable& Palette() const { return palette_; }

 private:
  void DecodePlain(std::span<const uint8_t> bytes, const PictureWindow& window) const;
  void DecodeRunLength(std::span<const uint8_t> bytes, const PictureWindow& window) const;
  uint32_t PixelValueAt(const uint8_t* row, int32_t column, int32_t bytesPerPixel, const CIndexedPixels& indexed) const;

  PictureSize size_;
  int32_t bitCount_ = 0;
  BmpCoding coding_ = BmpCoding::Plain;
  bool topDown_ = false;
  std::array<BmpChannel, 3> channels_{};  // red, green, blue
  IndexedColorTable palette_{};
  size_t pixelOffset_ = 0;
  size_t rowBytes_ = 0;
  const uint8_t* inverseMap_ = nullptr;
};

}  // namespace vx
