#include "platform/media/PictFile.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/media/MediaPlatformLimits.h"
#include "platform/media/PictRaster.h"

namespace vx {
namespace {

using pict::Bytes;

// A PICT file starts with a 512-byte header of the application's own;
// pictures taken from resources have none.
constexpr size_t kFileHeaderBytes = 512;
constexpr uint16_t kVersionOpcode = 0x0011;
constexpr uint16_t kVersion2 = 0x02FF;
constexpr uint8_t kVersion1 = 0x01;
constexpr uint16_t kHeaderOpcode = 0x0C00;
constexpr int16_t kExtendedHeader = -2;
constexpr uint16_t kEndOpcode = 0x00FF;
constexpr uint32_t kBackground = 0xFFFFFF;

// How the data of the opcodes 0x00-0xFF is laid out.
enum class Data : uint8_t {
  Fixed,         // a fixed number of bytes
  Region,        // a region (or a polygon): its 16-bit size counts itself
  WordLength,    // a 16-bit length, then that many bytes
  LongLength,    // a 32-bit length, then that many bytes
  Text,          // a fixed number of bytes, a count byte, then the text
  LongComment,   // a kind, a 16-bit length, then that many bytes
  PixelPattern,  // a pixel pattern
};

struct OpcodeData {
  Data kind = Data::Fixed;
  uint8_t bytes = 0;
};

constexpr OpcodeData F(uint8_t bytes) { return {Data::Fixed, bytes}; }
constexpr OpcodeData kRegion{Data::Region, 0};
constexpr OpcodeData kWordLength{Data::WordLength, 0};
constexpr OpcodeData kPattern{Data::PixelPattern, 0};
constexpr OpcodeData Text(uint8_t bytes) { return {Data::Text, bytes}; }

// 0x00-0x2F: state and text opcodes, each its own.
constexpr std::array<OpcodeData, 0x30> kFirstOpcodes = {
    F(0),        kRegion,     F(8),        F(2),    F(1),    F(2),    F(4),        F(4),  // 0x00
    F(2),        F(8),        F(8),        F(4),    F(4),    F(2),    F(4),        F(4),  // 0x08
    F(8),        F(1),        kPattern,    kPattern, kPattern, F(2),  F(2),        F(0),  // 0x10
    F(0),        F(0),        F(6),        F(6),    F(0),    F(6),    F(0),        F(6),  // 0x18
    F(8),        F(4),        F(6),        F(2),    kWordLength, kWordLength, kWordLength, kWordLength,  // 0x20
    Text(4),     Text(1),     Text(1),     Text(2), kWordLength, kWordLength, kWordLength, kWordLength,  // 0x28
};

// 0x30-0xFE: shapes come in runs of eight (frame, paint, erase, invert,
// fill and three reserved), each with its own data or "the same" as the
// last; then comments and reserved ranges.
OpcodeData DataOf(uint8_t opcode) {
  if (opcode < kFirstOpcodes.size()) return kFirstOpcodes[opcode];
  const bool same = (opcode & 0x08) != 0;
  switch (opcode & 0xF0) {
    case 0x30:
    case 0x40:
    case 0x50: return F(same ? 0 : 8);
    case 0x60: return F(same ? 4 : 12);
    case 0x70:
    case 0x80: return same ? F(0) : kRegion;
    default: break;
  }
  if (opcode < 0xA0) return kWordLength;
  if (opcode == 0xA0) return F(2);
  if (opcode == 0xA1) return {Data::LongComment, 0};
  if (opcode < 0xB0) return kWordLength;
  if (opcode < 0xD0) return F(0);
  return {Data::LongLength, 0};
}

bool SkipLength(Bytes& bytes, bool wide) {
  uint16_t length16 = 0;
  uint32_t length32 = 0;
  if (wide) return bytes.U32(&length32) && bytes.Skip(length32);
  return bytes.U16(&length16) && bytes.Skip(length16);
}

bool SkipOpcode(Bytes& bytes, uint16_t opcode, bool twoByteOpcodes) {
  if (opcode > 0xFF) {
    // Reserved opcodes of version 2: their high byte counts their words,
    // up to 0x7FFF; 0x8000-0x80FF have none; the rest carry a 32-bit length.
    if (!twoByteOpcodes) return false;
    if (opcode <= 0x7FFF) return bytes.Skip(size_t{static_cast<uint16_t>(opcode >> 8)} * 2);
    if (opcode <= 0x80FF) return true;
    return SkipLength(bytes, true);
  }
  const OpcodeData data = DataOf(static_cast<uint8_t>(opcode));
  uint8_t count = 0;
  switch (data.kind) {
    case Data::Fixed: return bytes.Skip(data.bytes);
    case Data::Region: return pict::SkipSized(bytes);
    case Data::WordLength: return SkipLength(bytes, false);
    case Data::LongLength: return SkipLength(bytes, true);
    case Data::Text: return bytes.Skip(data.bytes) && bytes.U8(&count) && bytes.Skip(count);
    case Data::LongComment: return bytes.Skip(2) && SkipLength(bytes, false);
    case Data::PixelPattern: return pict::SkipPixelPattern(bytes);
  }
  return false;
}

// The version follows the picture's size word and frame: 0x11 0x01 for
// version 1, 0x0011 0x02FF for version 2.
bool ReadVersion(std::span<const uint8_t> bytes, size_t start, PictHeader* out) {
  Bytes header(bytes, start);
  uint16_t size = 0;
  if (!header.U16(&size) || !pict::ReadRect(header, &out->frame)) return false;
  const size_t at = header.At();
  uint16_t opcode = 0;
  uint16_t version = 0;
  if (header.U16(&opcode) && opcode == kVersionOpcode && header.U16(&version) && version == kVersion2) {
    out->version = 2;
    out->opcodes = header.At();
    return true;
  }
  Bytes old(bytes, at);
  uint8_t opcode1 = 0;
  uint8_t version1 = 0;
  if (old.U8(&opcode1) && opcode1 == kVersionOpcode && old.U8(&version1) && version1 == kVersion1) {
    out->version = 1;
    out->opcodes = old.At();
    return true;
  }
  return false;
}

// A version 2 header that gives a resolution of its own draws in the
// coordinates of its source rectangle, which the frame shows scaled.
PictRect SpaceOf(std::span<const uint8_t> bytes, const PictHeader& header) {
  Bytes opcodes(bytes, header.opcodes);
  uint16_t opcode = 0;
  int16_t kind = 0;
  PictRect source;
  if (header.version == 2 && opcodes.U16(&opcode) && opcode == kHeaderOpcode && opcodes.S16(&kind) &&
      kind == kExtendedHeader && opcodes.Skip(10) && pict::ReadRect(opcodes, &source) && !source.IsEmpty())
    return source;
  return header.frame;
}

bool FitsPictureLimits(const PictRect& rect) {
  return rect.Width() <= kMaxPictSide && rect.Height() <= kMaxPictSide &&
         int64_t{rect.Width()} * rect.Height() <= kMaxPictPixels;
}

}  // namespace

PictStatus ReadPictHeader(std::span<const uint8_t> bytes, PictHeader* out) {
  *out = {};
  if (bytes.size() > static_cast<size_t>(kMaxPictFileBytes)) return PictStatus::TooLarge;
  if (!ReadVersion(bytes, kFileHeaderBytes, out) && !ReadVersion(bytes, 0, out)) return PictStatus::NotPict;
  out->space = SpaceOf(bytes, *out);
  if (out->frame.IsEmpty()) return PictStatus::Corrupt;
  if (!FitsPictureLimits(out->frame) || !FitsPictureLimits(out->space)) return PictStatus::TooLarge;
  return PictStatus::Complete;
}

// The opcodes are walked to their end; version 2 keeps each opcode on an
// even offset. The drawing as a whole may write and unpack a few times the
// frame's pixels, so a picture of many overlapping rasters stays bounded.
PictStatus DrawPict(std::span<const uint8_t> bytes, const PictHeader& header, uint32_t* pixels, int32_t width,
                    int32_t height, int32_t left, int32_t top) {
  if (width < 0 || height < 0 || (width * int64_t{height} > 0 && !pixels)) return PictStatus::Corrupt;
  std::fill_n(pixels, static_cast<size_t>(width) * static_cast<size_t>(height), kBackground);
  const std::vector<int32_t> columns =
      pict::SpaceOf(left, width, header.frame.Width(), header.space.left, header.space.Width());
  const std::vector<int32_t> rows = pict::SpaceOf(top, height, header.frame.Height(), header.space.top, header.space.Height());
  const pict::Canvas canvas{pixels, width, height, columns, rows};
  const bool twoByteOpcodes = header.version == 2;
  const int64_t budget = kPictWorkPerPixel * std::max(int64_t{header.frame.Width()} * header.frame.Height(),
                                                      kMinPictWorkPixels);
  int64_t work = 0;
  Bytes opcodes(bytes, header.opcodes);
  pict::Raster raster;
  for (;;) {
    if (twoByteOpcodes && opcodes.At() % 2 != 0 && !opcodes.Skip(1)) return PictStatus::Corrupt;
    uint16_t opcode = 0;
    uint8_t shortOpcode = 0;
    const bool read = twoByteOpcodes ? opcodes.U16(&opcode) : opcodes.U8(&shortOpcode);
    if (!read) return PictStatus::Corrupt;
    if (!twoByteOpcodes) opcode = shortOpcode;
    if (opcode == kEndOpcode) return PictStatus::Complete;
    if (!pict::IsRasterOpcode(opcode)) {
      if (!SkipOpcode(opcodes, opcode, twoByteOpcodes)) return PictStatus::Corrupt;
      continue;
    }
    if (!pict::ReadRaster(opcodes, opcode, &raster)) return PictStatus::Corrupt;
    const int64_t drawn = pict::DrawRaster(bytes, raster, canvas);
    if (drawn < 0) return PictStatus::Corrupt;
    work += drawn;
    if (work > budget) return PictStatus::TooLarge;
  }
}

}  // namespace vx
