// Descriptions of pixel memory and the routines that move pixels between
// them: copy, key, mask, rotate, stretch and convert.
//
// Pixel forms: 1 byte (display palette index), 2 bytes (5:5:5) and 4 bytes
// (xRGB); rows top-down. Every routine works on the area that both images
// (and the mask) cover and never reads or writes outside either; images of
// different pixel sizes are left alone except where a routine converts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/Palette.h"

namespace vx {

// Never owns the pixels.
struct PixelMap {
  uint8_t* bits = nullptr;  // first byte of the top row
  uint16_t width = 0;
  uint16_t height = 0;
  uint16_t bytesPerPixel = 0;  // 1, 2 or 4
  int32_t rowBytes = 0;        // distance from one row to the next
  // Optional table of row starts (decoded pictures may keep their rows
  // apart); null when rows lie rowBytes apart.
  uint8_t* const* rows = nullptr;

  uint8_t* Row(int32_t y) const { return bits + static_cast<ptrdiff_t>(rowBytes) * y; }
};

// The part of `map` from (x, y), width x height of it, rows rowBytes apart;
// the caller keeps the part inside the map.
PixelMap PixelMapPart(const PixelMap& map, int64_t x, int64_t y, int64_t width, int64_t height);

// A colour to compare with or write into pixels, with the inverse map that
// gives its palette index.
struct KeyColor {
  FloatColor color;
  const uint8_t* inverseMap = nullptr;
};

// Destination row j, column k = source row (source height - 1 - k), column j:
// the picture turned a quarter clockwise.
void RotatePixelMap90(const PixelMap& source, const PixelMap& destination);

// From 4-byte pixels to the destination's size: copy, pack to 5:5:5, or
// dither to the palette (5 bits per channel through the inverse map).
void ConvertPixelMapFrom32(const PixelMap& source, const PixelMap& destination, const PaletteTable& palette,
                           const uint8_t* inverseMap555);

// Fills destination row `row`, every `step`-th pixel, from the source row
// that scales to it. With a mask only pixels whose mask byte is non-zero are
// written; otherwise with a key (when given) pixels equal to it are skipped.
void StretchPixelMapRow(const PixelMap& source, const PixelMap& destination, const PixelMap* mask, int32_t row,
                        int32_t step, const KeyColor* key);
void StretchPixelMap(const PixelMap& source, const PixelMap& destination, const PixelMap* mask,
                     const KeyColor* key);

// Copies row by row; with a key (when given) source pixels equal to it are
// not written.
void CopyPixelMapKeyed(const PixelMap& source, const PixelMap& destination, const KeyColor* key);
void CopyPixelMap(const PixelMap& source, const PixelMap& destination);

// Writes the colour wherever the 1-byte mask allows (see the definition for
// what allows). The destination's pixel size must equal the mask's field.
void FillPixelMapThroughMask(const PixelMap& mask, const PixelMap& destination, const KeyColor& color);

// Whether the pixel at (x, y) has the key's value in the map's pixel form;
// false outside the map and for a pixel size other than 1, 2 or 4.
bool PixelMatchesKey(const PixelMap& map, int32_t x, int32_t y, const KeyColor& key);

}  // namespace vx
