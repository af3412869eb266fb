// PICT pictures (".pic", ".pict"), read by our own bounded reader in place
// of the platform's picture importer: version 1 and 2 pictures, with or
// without the 512-byte file header. Only the raster opcodes draw (BitsRect,
// BitsRgn, PackBitsRect, PackBitsRgn, DirectBitsRect, DirectBitsRgn: 1-,
// 2-, 4- and 8-bit indexed and 16- and 32-bit direct pixels, plain or
// PackBits rows, copied with scaling and within their mask region); every
// other opcode is stepped over by its size, and the picture is drawn over
// white. Every size is checked against the file before it is used.
#pragma once

#include <cstdint>
#include <span>

#include "platform/PlatformExport.h"

namespace vx {

// A QuickDraw rectangle: top, left, bottom, right.
struct PictRect {
  int32_t top = 0;
  int32_t left = 0;
  int32_t bottom = 0;
  int32_t right = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
};

enum class PictStatus : int32_t {
  Complete = 0,
  NotPict,   // no picture header at either place a PICT has one
  Corrupt,   // a size or a row that the bytes do not hold, or no end
  TooLarge,  // a frame or a drawing beyond the picture limits
};

struct PictHeader {
  int32_t version = 0;  // 1 or 2
  PictRect frame;       // the picture's frame: the size of its image
  // The coordinates the opcodes use: the frame, or the source rectangle of
  // a version 2 header that gives a resolution of its own.
  PictRect space;
  size_t opcodes = 0;  // where the first opcode after the version starts
};

[[nodiscard]] VX_PLATFORM_API PictStatus ReadPictHeader(std::span<const uint8_t> bytes, PictHeader* out);

// Draws the picture into width x height xRGB pixels (rows top-down) that
// show its frame-sized image from (left, top) of it on; what lies outside
// them is read and not drawn.
[[nodiscard]] VX_PLATFORM_API PictStatus DrawPict(std::span<const uint8_t> bytes, const PictHeader& header,
                                                  uint32_t* pixels, int32_t width, int32_t height, int32_t left,
                                                  int32_t top);

}  // namespace vx
