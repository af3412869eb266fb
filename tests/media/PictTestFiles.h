// A small PICT writer for the tests: pictures of version 1 or 2 made of
// raster opcodes, their rows written plain or packed as the opcode and pack
// type say, with any other opcodes between them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/PictFile.h"

namespace vx::test {

struct PictRaster {
  uint16_t opcode = 0x98;  // 0x90 BitsRect ... 0x9B DirectBitsRgn
  bool bitMap = false;     // a 1-bit bit map without colours (as version 1 writes)
  int32_t pixelSize = 8;
  int32_t packType = 0;  // direct pixels: 1 plain, 2 without pad byte, 3 or 4 packed
  int32_t components = 3;
  PictRect bounds;
  PictRect source;
  PictRect destination;
  // Bounds-sized, row by row: palette indices, or xRGB for direct pixels.
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> palette;  // xRGB, entry i for index i
  std::string mask;  // a region's bytes, for the Rgn opcodes
};

// The bytes of a rectangular region, and of one made of two rectangles
// (left half of the top rows, right half of the bottom rows) by inversion points.
std::string RectRegion(const PictRect& rect);
std::string SteppedRegion(const PictRect& rect);

// The data of a pixel pattern opcode (type 1) whose pixel map is the raster's.
std::string PixelPattern(const PictRaster& raster);

class PictWriter {
 public:
  PictWriter(int32_t version, const PictRect& frame, bool fileHeader = true);
  // A version 2 header that draws in the coordinates of source at a
  // resolution of its own.
  PictWriter& ExtendedHeader(const PictRect& source);
  PictWriter& Raster(const PictRaster& raster);
  // Any opcode and its data, as they are.
  PictWriter& Opcode(uint16_t opcode, const std::string& data = "");
  // The file, ended by the end opcode.
  std::string Bytes() const;

 private:
  void Align();
  void PutOpcode(uint16_t opcode);
  int32_t version_;
  std::string bytes_;
};

// The picture FFmpeg-independent ImageMagick reads of a PICT file, as xRGB;
// empty when ImageMagick's convert is not installed or cannot read it.
std::vector<uint32_t> ReadWithImageMagick(const std::string& path, int32_t* width, int32_t* height);

}  // namespace vx::test
