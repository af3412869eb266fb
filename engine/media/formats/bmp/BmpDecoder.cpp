#include "engine/media/formats/bmp/BmpDecoder.h"

#include <algorithm>
#include <bit>

namespace vx {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kDataOffsetAt = 10;
constexpr uint32_t kOs2HeaderBytes = 12;
constexpr uint32_t kWindowsHeaderBytes = 40;
// Headers from this size on hold the channel masks themselves; the
// 40-byte header is followed by them.
constexpr uint32_t kHeaderWithMasksBytes = 52;
constexpr size_t kMaskBytes = 12;
constexpr size_t kMasksAt = 40;
constexpr float kByteToUnit = 1.0f / 255.0f;

constexpr uint32_t kPlain = 0;
constexpr uint32_t kRunLength8 = 1;
constexpr uint32_t kRunLength4 = 2;
constexpr uint32_t kBitFields = 3;

// Run-length escapes: a count of 0 followed by one of these.
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfPicture = 1;
constexpr uint8_t kMoveBy = 2;

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
  return info;
}

bool CodingFitsBitCount(uint32_t compression, uint32_t bitCount) {
  switch (compression) {
    case kPlain:
      return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
    case kRunLength8: return bitCount == 8;
    case kRunLength4: return bitCount == 4;
    case kBitFields: return bitCount == 16 || bitCount == 32;
    default: return false;
  }
}

// A mask must be one run of bits; false for an empty one or one with gaps.
bool ChannelOf(uint32_t mask, BmpChannel* out) {
  if (mask == 0) return false;
  const int32_t shift = std::countr_zero(mask);
  const uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;
  *out = BmpChannel{mask, shift, std::popcount(run)};
  return true;
}

constexpr std::array<uint32_t, 3> kMasks16 = {0x7C00, 0x03E0, 0x001F};
constexpr std::array<uint32_t, 3> kMasks32 = {0xFF0000, 0x00FF00, 0x0000FF};

}  // namespace

uint8_t BmpChannel::Of(uint32_t word) const {
  const uint32_t value = (word & mask) >> shift;
  if (bits >= 8) return static_cast<uint8_t>(value >> (bits - 8));
  // The value's bits at the top, repeated below until 8 are filled, so that
  // the largest value is 255.
  uint32_t wide = 0;
  for (int32_t filled = 0; filled < 8; filled += bits) wide = (wide << bits) | value;
  return static_cast<uint8_t>(wide >> ((8 + bits - 1) / bits * bits - 8));
}

DecodeStatus CBmpDecoder::ReadHeader(std::span<const uint8_t> bytes, bool allArrived) {
  const DecodeStatus shortFile = allArrived ? DecodeStatus::Corrupt : DecodeStatus::Pending;
  if (bytes.empty()) return allArrived ? DecodeStatus::Missing : DecodeStatus::Pending;
  if (bytes.size() < 2) return shortFile;
  if (bytes[0] != 'B' || bytes[1] != 'M') return DecodeStatus::NotMyFormat;
  if (bytes.size() < kFileHeaderBytes + 4) return shortFile;
  const uint32_t headerSize = U32(bytes, kFileHeaderBytes);
  if (headerSize != kOs2HeaderBytes && headerSize < kWindowsHeaderBytes) return DecodeStatus::Corrupt;
  if (bytes.size() - kFileHeaderBytes < headerSize) return shortFile;
  InfoHeader info = ReadInfoHeader(bytes, kFileHeaderBytes, headerSize);
  const bool runLength = info.compression == kRunLength8 || info.compression == kRunLength4;
  topDown_ = info.height < 0;
  if (topDown_) info.height = -info.height;
  if (info.layers != 1 || !CodingFitsBitCount(info.compression, info.bitCount) || (topDown_ && runLength))
    return DecodeStatus::Corrupt;
  if (CheckPictureSize(info.width, info.height) != DecodeStatus::Complete) return DecodeStatus::Corrupt;
  size_ = PictureSize{static_cast<int32_t>(info.width), static_cast<int32_t>(info.height)};
  bitCount_ = static_cast<int32_t>(info.bitCount);
  coding_ = info.compression == kRunLength8   ? BmpCoding::RunLength8
            : info.compression == kRunLength4 ? BmpCoding::RunLength4
                                              : BmpCoding::Plain;

  uint64_t paletteStart = kFileHeaderBytes + uint64_t{headerSize};
  std::array<uint32_t, 3> masks = bitCount_ == 16 ? kMasks16 : kMasks32;
  if (info.compression == kBitFields) {
    const bool masksFollow = headerSize < kHeaderWithMasksBytes;
    const uint64_t masksAt = masksFollow ? paletteStart : kFileHeaderBytes + kMasksAt;
    if (masksAt + kMaskBytes > bytes.size()) return shortFile;
    for (size_t channel = 0; channel < masks.size(); ++channel)
      masks[channel] = U32(bytes, static_cast<size_t>(masksAt) + channel * 4);
    if (masksFollow) paletteStart += kMaskBytes;
  }
  for (size_t channel = 0; channel < masks.size(); ++channel)
    if (!ChannelOf(masks[channel], &channels_[channel])) return DecodeStatus::Corrupt;

  // No count (and always in the OS/2 form) means a full palette.
  const bool indexed = bitCount_ <= 8;
  const uint64_t fullPalette = indexed ? uint64_t{1} << bitCount_ : 0;
  uint64_t paletteEntries = !indexed ? 0 : info.colors == 0 ? fullPalette : info.colors;
  // All of a palette is skipped, even past the 256 entries that are kept.
  uint64_t pixelStart = paletteStart + paletteEntries * info.paletteEntryBytes;
  // The header's offset says where the pixels are, across any gap; a palette
  // said to be longer ends there. An offset into the headers, or one that
  // leaves a palette picture no palette, is taken as none given (some
  // writers leave it 0): the pixels then follow the palette.
  const uint32_t pixelOffset = U32(bytes, kDataOffsetAt);
  if (pixelOffset >= paletteStart + (indexed ? info.paletteEntryBytes : 0)) {
    paletteEntries = std::min<uint64_t>(paletteEntries, (pixelOffset - paletteStart) / info.paletteEntryBytes);
    pixelStart = pixelOffset;
  }
  rowBytes_ = ((static_cast<size_t>(info.width) * static_cast<size_t>(bitCount_) + 31) / 32) * 4;
  const uint64_t pixelBytes = runLength ? 0 : uint64_t{rowBytes_} * static_cast<uint64_t>(info.height);
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
  const bool plain = coding_ == BmpCoding::Plain;
  const size_t pixelBytes = plain ? rowBytes_ * static_cast<size_t>(size_.height) : 0;
  if (bitCount_ == 0 || pixelOffset_ + pixelBytes > bytes.size()) return DecodeStatus::Corrupt;
  if (!window.target.bits) return DecodeStatus::Complete;
  if (plain)
    DecodePlain(bytes, window);
  else
    DecodeRunLength(bytes, window);
  return DecodeStatus::Complete;
}

uint32_t CBmpDecoder::PixelValueAt(const uint8_t* row, int32_t column, int32_t bytesPerPixel,
                                   const CIndexedPixels& indexed) const {
  const auto at = static_cast<size_t>(column);
  switch (bitCount_) {
    case 1: return indexed.Value((row[at / 8] >> (7 - at % 8)) & 0x1);
    case 4: return indexed.Value((row[at / 2] >> (at % 2 == 0 ? 4 : 0)) & 0xF);
    case 8: return indexed.Value(row[at]);
    case 24: return RgbPixelValue(row[at * 3 + 2], row[at * 3 + 1], row[at * 3], bytesPerPixel, inverseMap_);
    default: break;
  }
  const uint8_t* pixel = row + at * static_cast<size_t>(bitCount_ / 8);
  const uint32_t word = bitCount_ == 16 ? pixel[0] | (pixel[1] << 8)
                                        : pixel[0] | (pixel[1] << 8) | (pixel[2] << 16) | (uint32_t{pixel[3]} << 24);
  return RgbPixelValue(channels_[0].Of(word), channels_[1].Of(word), channels_[2].Of(word), bytesPerPixel, inverseMap_);
}

void CBmpDecoder::DecodePlain(std::span<const uint8_t> bytes, const PictureWindow& window) const {
  const PixelMap& target = window.target;
  const CIndexedPixels indexed(palette_, target.bytesPerPixel, inverseMap_);
  for (int32_t row = 0; row < target.height; ++row) {
    const int32_t pictureRow = window.firstRow + row;
    const int32_t fileRow = topDown_ ? pictureRow : size_.height - 1 - pictureRow;
    const uint8_t* source = bytes.data() + pixelOffset_ + rowBytes_ * static_cast<size_t>(fileRow);
    uint8_t* out = target.Row(row);
    for (int32_t x = 0; x < target.width; ++x)
      StorePixelValue(out, x, target.bytesPerPixel,
                      PixelValueAt(source, window.firstColumn + x, target.bytesPerPixel, indexed));
  }
}

// Codes come in pairs: a count and the index (or two indices, at 4 bits) to
// repeat, or 0 and an escape: the end of a line, the end of the picture, a
// move right and up, or a count of indices that follow as they are, padded
// to an even number of bytes. Lines go up from the bottom row.
void CBmpDecoder::DecodeRunLength(std::span<const uint8_t> bytes, const PictureWindow& window) const {
  const PixelMap& target = window.target;
  const CIndexedPixels indexed(palette_, target.bytesPerPixel, inverseMap_);
  for (int32_t row = 0; row < target.height; ++row)
    for (int32_t x = 0; x < target.width; ++x) indexed.Store(target.Row(row), x, 0);
  const bool four = coding_ == BmpCoding::RunLength4;
  int32_t x = 0;
  int32_t line = 0;
  const auto put = [&](uint8_t index) {
    const int32_t row = size_.height - 1 - line - window.firstRow;
    const int32_t column = x - window.firstColumn;
    if (row >= 0 && row < target.height && column >= 0 && column < target.width)
      indexed.Store(target.Row(row), column, index);
    x = std::min(x + 1, size_.width);
  };
  // The i-th index of a run whose byte (or bytes) hold them.
  const auto indexAt = [four](const uint8_t* held, int32_t i) -> uint8_t {
    if (!four) return held[i];
    return (held[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0xF;
  };
  size_t at = pixelOffset_;
  while (at + 2 <= bytes.size() && line < size_.height) {
    const uint8_t count = bytes[at];
    const uint8_t code = bytes[at + 1];
    at += 2;
    if (count > 0) {
      const uint8_t pair[2] = {code, code};
      for (int32_t i = 0; i < count; ++i) put(indexAt(pair, four ? i % 2 : 0));
      continue;
    }
    if (code == kEndOfPicture) return;
    if (code == kEndOfLine) {
      x = 0;
      ++line;
      continue;
    }
    if (code == kMoveBy) {
      if (at + 2 > bytes.size()) return;
      x = std::min(x + bytes[at], size_.width);
      line += bytes[at + 1];
      at += 2;
      continue;
    }
    const size_t held = four ? (code + 1u) / 2 : code;
    const size_t run = std::min(held, bytes.size() - at);
    const int32_t drawn = four ? static_cast<int32_t>(std::min<size_t>(code, run * 2)) : static_cast<int32_t>(run);
    for (int32_t i = 0; i < drawn; ++i) put(indexAt(bytes.data() + at, i));
    at += held + (held & 1);
  }
}

}  // namespace vx
