#include "engine/media/formats/bmp/BmpDecoder.h"

#include <algorithm>

namespace vx {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kDataOffsetAt = 10;
constexpr uint32_t kOs2HeaderBytes = 12;
constexpr uint32_t kWindowsHeaderBytes = 40;
constexpr float kByteToUnit = 1.0f / 255.0f;

uint32_t U16(std::span<const uint8_t> bytes, size_t at) { return bytes[at] | (bytes[at + 1] << 8); }

uint32_t U32(std::span<const uint8_t> bytes, size_t at) { return U16(bytes, at) | (U16(bytes, at + 2) << 16); }

struct InfoHeader {
  int64_t width = 0;
  int64_t height = 0;
  uint32_t layers = 0;
  uint32_t bitCount = 0;
  uint32_t compression = 0;
  uint64_t colors = 0;
  size_t paletteEntryBytes = 0;
};

// The header starts at `at`, and its size word says it is `size` bytes.
InfoHeader ReadInfoHeader(std::span<const uint8_t> bytes, size_t at, uint32_t size) {
  InfoHeader info;
  if (size == kOs2HeaderBytes) {
    info.width = U16(bytes, at + 4);
    info.height = U16(bytes, at + 6);
    info.layers = U16(bytes, at + 8);
    info.bitCount = U16(bytes, at + 10);
    info.paletteEntryBytes = 3;
  } else {
    info.width = static_cast<int32_t>(U32(bytes, at + 4));
    info.height = static_cast<int32_t>(U32(bytes, at + 8));
    info.layers = U16(bytes, at + 12);
    info.bitCount = U16(bytes, at + 14);
    info.compression = U32(bytes, at + 16);
    info.colors = U32(bytes, at + 32);
    info.paletteEntryBytes = 4;
  }
  // No count (and always in the OS/2 form) means a full palette.
  if (info.colors == 0) info.colors = kIndexedColors;
  return info;
}

}  // namespace

DecodeStatus CBmpDecoder::ReadHeader(std::span<const uint8_t> bytes, bool allArrived) {
  const DecodeStatus shortFile = allArrived ? DecodeStatus::Corrupt : DecodeStatus::Pending;
  if (bytes.empty()) return allArrived ? DecodeStatus::Missing : DecodeStatus::Pending;
  if (bytes.size() < 2) return shortFile;
  if (bytes[0] != 'B' || bytes[1] != 'M') return DecodeStatus::NotMyFormat;
  if (bytes.size() < kFileHeaderBytes + 4) return shortFile;
  const uint32_t headerSize = U32(bytes, kFileHeaderBytes);
  if (headerSize != kOs2HeaderBytes && headerSize < kWindowsHeaderBytes) return DecodeStatus::Corrupt;
  if (bytes.size() - kFileHeaderBytes < headerSize) return shortFile;
  const InfoHeader info = ReadInfoHeader(bytes, kFileHeaderBytes, headerSize);
  if (info.layers != 1 || info.compression != 0 || (info.bitCount != 8 && info.bitCount != 24))
    return DecodeStatus::Corrupt;
  if (CheckPictureSize(info.width, info.height) != DecodeStatus::Complete) return DecodeStatus::Corrupt;
  size_ = PictureSize{static_cast<int32_t>(info.width), static_cast<int32_t>(info.height)};
  bitCount_ = static_cast<int32_t>(info.bitCount);
  const uint64_t paletteStart = kFileHeaderBytes + uint64_t{headerSize};
  uint64_t paletteEntries = bitCount_ == 8 ? info.colors : 0;
  // All of a palette is skipped, even past the 256 entries that are kept.
  uint64_t pixelStart = paletteStart + paletteEntries * info.paletteEntryBytes;
  // The header's offset says where the pixels are, across any gap; a palette
  // said to be longer ends there. An offset into the headers, or one that
  // leaves a palette picture no palette, is taken as none given (some
  // writers leave it 0): the pixels then follow the palette.
  const uint32_t pixelOffset = U32(bytes, kDataOffsetAt);
  if (pixelOffset >= paletteStart + (bitCount_ == 8 ? info.paletteEntryBytes : 0)) {
    paletteEntries = std::min<uint64_t>(paletteEntries, (pixelOffset - paletteStart) / info.paletteEntryBytes);
    pixelStart = pixelOffset;
  }
  rowBytes_ = (static_cast<size_t>(info.width) * static_cast<size_t>(bitCount_ / 8) + 3) & ~size_t{3};
  const uint64_t pixelBytes = uint64_t{rowBytes_} * static_cast<uint64_t>(info.height);
  if (pixelStart + pixelBytes > bytes.size()) return shortFile;
  pixelOffset_ = static_cast<size_t>(pixelStart);
  palette_ = IndexedColorTable{};
  const auto kept = static_cast<size_t>(std::min<uint64_t>(paletteEntries, kIndexedColors));
  for (size_t i = 0; i < kept; ++i) {
    const size_t entry = static_cast<size_t>(paletteStart) + i * info.paletteEntryBytes;
    palette_[i] =
        FloatColor{bytes[entry + 2] * kByteToUnit, bytes[entry + 1] * kByteToUnit, bytes[entry] * kByteToUnit};
  }
  return DecodeStatus::Complete;
}

DecodeStatus CBmpDecoder::Decode(std::span<const uint8_t> bytes, bool /*allArrived*/, const PictureWindow& window) {
  if (bitCount_ == 0 || pixelOffset_ + rowBytes_ * static_cast<size_t>(size_.height) > bytes.size())
    return DecodeStatus::Corrupt;
  const PixelMap& target = window.target;
  if (!target.bits) return DecodeStatus::Complete;
  const CIndexedPixels indexed(palette_, target.bytesPerPixel, inverseMap_);
  for (int32_t row = 0; row < target.height; ++row) {
    // The file holds the bottom row first.
    const int32_t fileRow = size_.height - 1 - (window.firstRow + row);
    const uint8_t* source = bytes.data() + pixelOffset_ + rowBytes_ * static_cast<size_t>(fileRow);
    uint8_t* out = target.Row(row);
    for (int32_t x = 0; x < target.width; ++x) {
      const int32_t column = window.firstColumn + x;
      if (bitCount_ == 8) {
        indexed.Store(out, x, source[column]);
        continue;
      }
      const uint8_t* pixel = source + static_cast<ptrdiff_t>(column) * 3;
      const FloatColor color{pixel[2] * kByteToUnit, pixel[1] * kByteToUnit, pixel[0] * kByteToUnit};
      StorePixelValue(out, x, target.bytesPerPixel, PixelValueOf(color, target.bytesPerPixel, inverseMap_));
    }
  }
  return DecodeStatus::Complete;
}

}  // namespace vx
