// GIF and BMP files made in memory for the tests: a GIF LZW encoder whose
// code widths follow the decoder's, and writers of both file formats.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vx::test {

inline void PutWord(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

inline void PutLong(std::string& out, uint32_t value) {
  PutWord(out, value & 0xFFFF);
  PutWord(out, value >> 16);
}

// Packs codes from the lowest bit of each byte up.
class BitWriter {
 public:
  void Put(int32_t code, int32_t width) {
    buffer_ |= static_cast<uint64_t>(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
      buffer_ >>= 8;
      bits_ -= 8;
    }
  }
  std::vector<uint8_t> Finish() {
    if (bits_ > 0) bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
    return bytes_;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint64_t buffer_ = 0;
  int32_t bits_ = 0;
};

// LZW with a clear code first and whenever the table fills, the end code
// last. Code j after a clear is read at the width the decoder has reached
// by then: its table holds clear + 1 + j entries.
inline std::vector<uint8_t> EncodeLzw(const std::vector<uint8_t>& indices, int32_t minCodeSize) {
  const int32_t clear = 1 << minCodeSize;
  BitWriter writer;
  std::map<std::pair<int32_t, uint8_t>, int32_t> table;
  int32_t next = clear + 2;
  int32_t emitted = 0;  // codes since the last clear
  auto width = [&] {
    int32_t w = minCodeSize + 1;
    while (w < 12 && (1 << w) <= clear + 1 + emitted) ++w;
    return w;
  };
  auto emit = [&](int32_t code) {
    writer.Put(code, width());
    ++emitted;
  };
  writer.Put(clear, minCodeSize + 1);
  int32_t current = -1;
  for (const uint8_t index : indices) {
    if (current < 0) {
      current = index;
      continue;
    }
    const auto found = table.find({current, index});
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    emit(current);
    table[{current, index}] = next++;
    current = index;
    if (next == 4096) {
      writer.Put(clear, width());
      table.clear();
      next = clear + 2;
      emitted = 0;
    }
  }
  if (current >= 0) emit(current);
  writer.Put(clear + 1, width());
  return writer.Finish();
}

// Appends three bytes (GCC 12 at -O3 misjudges inserting a short list).
inline void PushTriple(std::vector<uint8_t>& out, size_t a, size_t b, size_t c) {
  out.push_back(static_cast<uint8_t>(a));
  out.push_back(static_cast<uint8_t>(b));
  out.push_back(static_cast<uint8_t>(c));
}

struct GifFrame {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> indices{};  // in the order the data holds the rows
  std::vector<uint8_t> localTable{};  // RGB triples; empty for none
  bool interlaced = false;
  int32_t minCodeSize = 8;
  int32_t delayHundredths = -1;  // -1: no graphic control extension before it
  int32_t transparentIndex = -1;  // given in a graphic control extension when 0 or more
};

// The packed bits of a table of that many triples (a power of two, 2..256).
inline uint8_t TableBits(size_t entries) {
  uint8_t bits = 0;
  while ((2u << bits) < entries) ++bits;
  return bits;
}

inline void PutSubBlocks(std::string& out, const std::vector<uint8_t>& data) {
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t size = std::min<size_t>(255, data.size() - at);
    out += static_cast<char>(size);
    out.append(reinterpret_cast<const char*>(data.data() + at), size);
  }
  out += '\0';
}

// The header and screen descriptor; extra (extensions, images) and the
// trailer follow.
inline std::string GifHeader(const char* signature, int32_t width, int32_t height,
                             const std::vector<uint8_t>& globalTable) {
  std::string out(signature, 6);
  PutWord(out, static_cast<uint32_t>(width));
  PutWord(out, static_cast<uint32_t>(height));
  const size_t entries = globalTable.size() / 3;
  out += static_cast<char>(entries ? 0x80 | 0x70 | TableBits(entries) : 0x70);
  out += '\0';
  out += '\0';
  out.append(globalTable.begin(), globalTable.end());
  return out;
}

inline std::string GifImageBlock(const GifFrame& frame) {
  std::string out;
  if (frame.delayHundredths >= 0 || frame.transparentIndex >= 0) {
    out += std::string("\x21\xF9\x04", 3);
    out += static_cast<char>(frame.transparentIndex >= 0 ? 1 : 0);
    PutWord(out, static_cast<uint32_t>(std::max(frame.delayHundredths, 0)));
    out += static_cast<char>(std::max(frame.transparentIndex, 0));
    out += '\0';
  }
  out += ',';
  PutWord(out, static_cast<uint32_t>(frame.left));
  PutWord(out, static_cast<uint32_t>(frame.top));
  PutWord(out, static_cast<uint32_t>(frame.width));
  PutWord(out, static_cast<uint32_t>(frame.height));
  const size_t entries = frame.localTable.size() / 3;
  out += static_cast<char>((entries ? 0x80 | TableBits(entries) : 0) | (frame.interlaced ? 0x40 : 0));
  out.append(frame.localTable.begin(), frame.localTable.end());
  out += static_cast<char>(frame.minCodeSize);
  PutSubBlocks(out, EncodeLzw(frame.indices, std::min(frame.minCodeSize, 11)));
  return out;
}

inline std::string MakeGif(int32_t width, int32_t height, const std::vector<GifFrame>& frames,
                           const std::vector<uint8_t>& globalTable = {}, const char* signature = "GIF89a") {
  std::string out = GifHeader(signature, width, height, globalTable);
  for (const GifFrame& frame : frames) out += GifImageBlock(frame);
  return out + ';';
}

// A frame of one colour index over the whole rectangle.
inline GifFrame SolidFrame(int32_t left, int32_t top, int32_t width, int32_t height, uint8_t index) {
  return GifFrame{left, top, width, height, std::vector<uint8_t>(static_cast<size_t>(width * height), index)};
}

// A table of that many entries: entry 0 white, 1 pure red, 2 pure green,
// the others (i, 255 - i, i / 2).
inline std::vector<uint8_t> TestTable(size_t entries) {
  std::vector<uint8_t> table;
  for (size_t i = 0; i < entries; ++i) PushTriple(table, i, 255 - i, i / 2);
  if (entries > 2) {
    table[0] = 255, table[1] = 255, table[2] = 255;
    table[3] = 255, table[4] = 0, table[5] = 0;
    table[6] = 0, table[7] = 255, table[8] = 0;
  }
  return table;
}

// A BMP of width x height; pixels (palette indices or B, G, R bytes) are
// given top row first and written bottom row first with padding, `gap`
// bytes after the palette. Rows the pixels do not cover are left out, so
// headers can state any size. The file header's offset names where the
// pixels start, unless dataOffset says otherwise.
struct BmpSpec {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitCount = 24;
  bool os2 = false;
  uint32_t colorCount = 0;          // Windows form; 0 means 256
  std::vector<uint8_t> palette{};   // B, G, R per entry (3 bytes; the writer adds the 4th)
  std::vector<uint8_t> topDownPixels{};
  uint32_t layers = 1;
  uint32_t compression = 0;
  uint32_t gap = 0;
  std::optional<uint32_t> dataOffset{};
};

inline std::string MakeBmp(const BmpSpec& spec) {
  std::string out = "BM";
  out.append(12, '\0');
  if (spec.os2) {
    PutLong(out, 12);
    PutWord(out, static_cast<uint32_t>(spec.width));
    PutWord(out, static_cast<uint32_t>(spec.height));
    PutWord(out, spec.layers);
    PutWord(out, static_cast<uint32_t>(spec.bitCount));
  } else {
    PutLong(out, 40);
    PutLong(out, static_cast<uint32_t>(spec.width));
    PutLong(out, static_cast<uint32_t>(spec.height));
    PutWord(out, spec.layers);
    PutWord(out, static_cast<uint32_t>(spec.bitCount));
    PutLong(out, spec.compression);
    PutLong(out, 0);
    PutLong(out, 2835);
    PutLong(out, 2835);
    PutLong(out, spec.colorCount);
    PutLong(out, 0);
  }
  for (size_t i = 0; i + 2 < spec.palette.size(); i += 3) {
    out.append(spec.palette.begin() + static_cast<ptrdiff_t>(i), spec.palette.begin() + static_cast<ptrdiff_t>(i) + 3);
    if (!spec.os2) out += '\0';
  }
  out.append(spec.gap, '\x5A');
  std::string offset;
  PutLong(offset, spec.dataOffset.value_or(static_cast<uint32_t>(out.size())));
  out.replace(10, 4, offset);
  const size_t pixelBytes = static_cast<size_t>(spec.bitCount / 8);
  const size_t rowBytes = static_cast<size_t>(spec.width) * pixelBytes;
  for (int32_t row = spec.height - 1; row >= 0; --row) {
    const size_t start = static_cast<size_t>(row) * rowBytes;
    if (start + rowBytes > spec.topDownPixels.size()) continue;
    for (size_t i = 0; i < rowBytes; ++i) out += static_cast<char>(spec.topDownPixels[start + i]);
    out.append((4 - rowBytes % 4) % 4, '\0');
  }
  return out;
}

// A BMP of 24 bits; pixel (x, y) takes colour(x, y) as B, G, R.
template <typename Colour>
std::string Bmp24(int width, int height, Colour colour) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::array<uint8_t, 3> bgr = colour(x, y);
      PushTriple(pixels, bgr[0], bgr[1], bgr[2]);
    }
  return MakeBmp(BmpSpec{width, height, 24, false, 0, {}, pixels});
}

template <typename Colour>
std::string Bmp4x4(Colour colour) {
  return Bmp24(4, 4, colour);
}

inline std::string SolidBmp(uint8_t blue, uint8_t green, uint8_t red) {
  return Bmp4x4([=](int, int) { return std::array<uint8_t, 3>{blue, green, red}; });
}

}  // namespace vx::test
