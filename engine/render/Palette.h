// The display palette, float colours as pixel values, and inverse colour maps
// (quantised RGB to the nearest palette entry).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/render/RenderLimits.h"

namespace vx {

// The engine's colour: three floats, nominally 0..1.
struct FloatColor {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
};

// A palette as xRGB words 0x00RRGGBB; count entries are valid.
struct PaletteTable {
  int32_t count = 0;
  std::array<uint32_t, kPaletteSize> entries{};
};

// The fixed 256-colour display palette.
const std::array<uint32_t, kPaletteSize>& BuiltInPalette();

// The built-in palette as a table of 256 entries.
PaletteTable BuiltInPaletteTable();

// A palette as R, G, B byte triples (the form the dithering routines read).
std::vector<uint8_t> PaletteToTriples(const PaletteTable& palette);

// Index of the 5:5:5 inverse map for 8-bit channels: the top five bits each.
constexpr int32_t InverseMap555Index(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<int32_t>(((r & 0xF8) << 7) | ((g & 0xF8) << 2) | (b >> 3));
}

// Turns a float colour into the pixel values of the three pixel forms. Each
// output is optional; the index needs the 5:5:5 inverse map (32,768 bytes).
void ColorToPixelValues(const FloatColor& color, const uint8_t* inverseMap555, uint32_t* xrgb,
                        uint16_t* c555, uint8_t* index);

// Fills a 32,768-byte map with the nearest entry (squared RGB distance to the
// cell centre, the lowest index winning a tie). An empty table changes nothing.
void BuildInverseColorMap555(const PaletteTable& palette, std::span<uint8_t, kInverseMap555Size> map);

// A map of any channel depths (0..8 bits each) by perceptual distance:
// 2^(rb+gb+bb) bytes indexed (r << (gb + bb)) | (g << bb) | b. Entries are
// 0xFF for an empty palette. Depths outside 0..8 give an empty map.
std::vector<uint8_t> BuildInverseColorMap(std::span<const uint8_t> paletteTriples, int32_t count,
                                          int32_t redBits, int32_t greenBits, int32_t blueBits);

struct Xyz {
  float x, y, z;
};
struct Luv {
  float l, u, v;
};

// Channels 0..255.
Xyz RgbToXyz(float r, float g, float b);
// CIE 1976 L*u*v* against the given reference white.
Luv XyzToLuv(const Xyz& color, const Xyz& white);
// Index of the nearest entry (first of equals), -1 when there are none.
int32_t FindNearestLuvEntry(const Luv& color, std::span<const Luv> entries);

}  // namespace vx
