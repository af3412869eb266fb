// The raster opcodes of a PICT picture (PictFile.h): a bit map or pixel map
// with its colours, the rectangle of it that is copied, where it goes, an
// optional mask region, and its rows, each found before any is decoded so
// that only the rows that are drawn are unpacked. Everything is read from a
// bounded span; every size is checked against the bytes that are there.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/media/PictFile.h"

namespace vx::pict {

// Big-endian reading within the bytes given; a read past them fails and
// leaves the position where it stood.
class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> bytes, size_t at = 0) : bytes_(bytes), at_(at) {}
  size_t At() const { return at_; }
  size_t Left() const { return at_ <= bytes_.size() ? bytes_.size() - at_ : 0; }
  [[nodiscard]] bool Skip(size_t count);
  [[nodiscard]] bool U8(uint8_t* out);
  [[nodiscard]] bool U16(uint16_t* out);
  [[nodiscard]] bool U32(uint32_t* out);
  [[nodiscard]] bool S16(int16_t* out);
  std::span<const uint8_t> Span() const { return bytes_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_;
};

using Rect = PictRect;
[[nodiscard]] bool ReadRect(Bytes& bytes, Rect* out);

// A region: its bounds and, unless it is a plain rectangle, its inversion
// points, scan lines of a y followed by x values, each line ending in
// 0x7FFF and the whole in 0x7FFF. A point (x, y) lies in the region when
// an odd number of inversion points lie at or above and left of it.
struct Region {
  Rect bounds;
  struct Line {
    int32_t y = 0;
    std::vector<int32_t> xs;
  };
  bool rectangle = true;  // the bounds are the region
  std::vector<Line> lines;
};
[[nodiscard]] bool ReadRegion(Bytes& bytes, Region* out);
// Skips a region or a polygon: a 16-bit size that counts itself, then the rest.
[[nodiscard]] bool SkipSized(Bytes& bytes);

// How a raster's rows are stored.
enum class RowPacking {
  Plain,       // rowBytes bytes a row
  PackBits,    // a byte count, then PackBits of bytes
  PackWords,   // a byte count, then PackBits of 16-bit pixels
  Components,  // a byte count, then PackBits of the row's component planes
  ThreeBytes,  // 3 bytes a pixel (red, green, blue), unpacked
};

struct Raster {
  Rect bounds;  // of the map: its pixels' coordinates
  Rect source;  // in bounds coordinates
  Rect destination;  // in the picture's coordinates
  int32_t rowBytes = 0;
  int32_t pixelSize = 1;  // 1, 2, 4, 8 (indexed), 16 or 32 (direct)
  int32_t components = 3;  // of 32-bit pixels
  RowPacking packing = RowPacking::Plain;
  std::array<uint32_t, 256> colors{};  // indexed pixels, as xRGB
  bool masked = false;
  Region mask;
  std::vector<size_t> rowStarts;  // where each row's bytes start, and one past the last row
};

// Which raster opcode: 0x90 BitsRect, 0x91 BitsRgn, 0x98 PackBitsRect,
// 0x99 PackBitsRgn, 0x9A DirectBitsRect, 0x9B DirectBitsRgn.
bool IsRasterOpcode(uint16_t opcode);
// Reads the raster of that opcode and steps past its rows; false when it is
// corrupt or larger than a picture may be.
[[nodiscard]] bool ReadRaster(Bytes& bytes, uint16_t opcode, Raster* out);
// Skips a pixel pattern (of the pattern opcodes 0x12-0x14).
[[nodiscard]] bool SkipPixelPattern(Bytes& bytes);

// The part of the picture being drawn: width x height xRGB pixels showing
// the picture's frame from (left, top) of it on, and the picture
// coordinates (increasing) that each of its columns and rows shows.
struct Canvas {
  uint32_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  std::span<const int32_t> columns;
  std::span<const int32_t> rows;
};

// The picture coordinates of count frame pixels from first on: the centre
// of each pixel scaled from the frame's side to the space's.
std::vector<int32_t> SpaceOf(int32_t first, int32_t count, int32_t frameSide, int32_t spaceStart, int32_t spaceSide);

// Copies the raster's source rectangle over its destination, within the
// mask; returns what it cost (pixels looked at and written, bytes
// unpacked), or -1 when a row it needed is corrupt.
int64_t DrawRaster(std::span<const uint8_t> file, const Raster& raster, const Canvas& canvas);

}  // namespace vx::pict
