#include "engine/render/Palette.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "engine/render/Numeric.h"

namespace vx {
namespace {

constexpr std::array<uint32_t, kPaletteSize> MakeBuiltInPalette() {
  std::array<uint32_t, kPaletteSize> palette{};
  constexpr uint32_t kLow[17] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0, 0xC8ACB3, 0xBAA0A7,
                                 0xB3888C, 0x429AA7, 0x2F7E88, 0x1A5F67, 0x00373C};
  constexpr uint32_t kHigh[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                  0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  int i = 0;
  for (uint32_t c : kLow) palette[i++] = c;
  // The 6 x 6 x 6 cube without its eight corners, red slowest.
  for (uint32_t r = 0; r < 6; ++r) {
    for (uint32_t g = 0; g < 6; ++g) {
      for (uint32_t b = 0; b < 6; ++b) {
        const bool corner = (r == 0 || r == 5) && (g == 0 || g == 5) && (b == 0 || b == 5);
        if (!corner) palette[i++] = (r * 0x33 << 16) | (g * 0x33 << 8) | (b * 0x33);
      }
    }
  }
  i = kPaletteSize - 10;
  for (uint32_t c : kHigh) palette[i++] = c;
  return palette;
}

constexpr std::array<uint32_t, kPaletteSize> kBuiltInPalette = MakeBuiltInPalette();
static_assert(kBuiltInPalette[17] == 0x000033 && kBuiltInPalette[224] == 0xFFFFCC);
static_assert(kBuiltInPalette[225] == 0 && kBuiltInPalette[245] == 0);

uint8_t ClampChannelToByte(float c) {
  if (std::signbit(c)) return 0;
  if (c > 1.0f) c = 1.0f;
  return static_cast<uint8_t>(TruncToInt(c * 255.0f));
}

int32_t Channel(uint32_t xrgb, int shift) { return static_cast<int32_t>((xrgb >> shift) & 0xFF); }

// Squared distance of one channel value c to the cell centres 4, 12, ... 252,
// stepped without multiplications: (x + 8 - c)^2 - (x - c)^2 = 16 (x - c) + 64.
struct AxisDistance {
  uint32_t first;      // distance at the first cell centre (4)
  int32_t firstStep;   // 16 x (8 - c)
};

AxisDistance StartAxis(int32_t c) {
  const int32_t d = 4 - c;
  return {static_cast<uint32_t>(d * d), 16 * (8 - c)};
}

constexpr int32_t kStepGrowth = 128;

}  // namespace

const std::array<uint32_t, kPaletteSize>& BuiltInPalette() { return kBuiltInPalette; }

PaletteTable BuiltInPaletteTable() {
  PaletteTable table;
  table.count = kPaletteSize;
  table.entries = kBuiltInPalette;
  return table;
}

std::vector<uint8_t> PaletteToTriples(const PaletteTable& palette) {
  const int32_t count = std::clamp(palette.count, 0, kPaletteSize);
  std::vector<uint8_t> triples(static_cast<size_t>(count) * 3);
  for (int32_t i = 0; i < count; ++i) {
    triples[i * 3 + 0] = static_cast<uint8_t>(Channel(palette.entries[i], 16));
    triples[i * 3 + 1] = static_cast<uint8_t>(Channel(palette.entries[i], 8));
    triples[i * 3 + 2] = static_cast<uint8_t>(Channel(palette.entries[i], 0));
  }
  return triples;
}

void ColorToPixelValues(const FloatColor& color, const uint8_t* inverseMap555, uint32_t* xrgb,
                        uint16_t* c555, uint8_t* index) {
  const uint32_t r = ClampChannelToByte(color.r);
  const uint32_t g = ClampChannelToByte(color.g);
  const uint32_t b = ClampChannelToByte(color.b);
  if (xrgb) *xrgb = (r << 16) | (g << 8) | b;
  if (c555) *c555 = static_cast<uint16_t>(InverseMap555Index(r, g, b));
  if (index && inverseMap555) *index = inverseMap555[InverseMap555Index(r, g, b)];
}

void BuildInverseColorMap555(const PaletteTable& palette, std::span<uint8_t, kInverseMap555Size> map) {
  const int32_t count = std::min(palette.count, kPaletteSize);
  if (count < 1) return;
  std::unique_ptr<uint32_t[]> best(new (std::nothrow) uint32_t[kInverseMap555Size]);
  if (!best) return;
  for (int32_t entry = 0; entry < count; ++entry) {
    const uint32_t xrgb = palette.entries[entry];
    const AxisDistance red = StartAxis(Channel(xrgb, 16));
    const AxisDistance green = StartAxis(Channel(xrgb, 8));
    const AxisDistance blue = StartAxis(Channel(xrgb, 0));
    uint32_t dr = red.first;
    int32_t stepR = red.firstStep;
    int32_t cell = 0;
    for (int r = 0; r < 32; ++r, dr += stepR, stepR += kStepGrowth) {
      uint32_t dg = green.first;
      int32_t stepG = green.firstStep;
      for (int g = 0; g < 32; ++g, dg += stepG, stepG += kStepGrowth) {
        uint32_t db = blue.first;
        int32_t stepB = blue.firstStep;
        for (int b = 0; b < 32; ++b, db += stepB, stepB += kStepGrowth, ++cell) {
          const uint32_t d = dr + dg + db;
          if (entry == 0 || d < best[cell]) {
            best[cell] = d;
            map[cell] = static_cast<uint8_t>(entry);
          }
        }
      }
    }
  }
}

Xyz RgbToXyz(float r, float g, float b) {
  return {0.607f * r + 0.174f * g + 0.2f * b, 0.299f * r + 0.587f * g + 0.114f * b,
          0.066f * g + 1.116f * b};
}

Luv XyzToLuv(const Xyz& color, const Xyz& white) {
  auto chromaticity = [](const Xyz& c, float& u, float& v) {
    const float d = c.x + 15.0f * c.y + 3.0f * c.z;
    if (d < 1e-6f) {
      u = v = 0.0f;
    } else {
      u = 4.0f * c.x / d;
      v = 9.0f * c.y / d;
    }
  };
  float u = 0, v = 0, uw = 0, vw = 0;
  chromaticity(color, u, v);
  chromaticity(white, uw, vw);
  const float t = white.y != 0.0f ? color.y / white.y : 0.0f;
  const float l = t > 0.008856f ? 25.0f * std::cbrt(100.0f * t) - 16.0f : 903.3f * t;
  return {l, 13.0f * l * (u - uw), 13.0f * l * (v - vw)};
}

int32_t FindNearestLuvEntry(const Luv& color, std::span<const Luv> entries) {
  int32_t best = -1;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (size_t i = 0; i < entries.size(); ++i) {
    const double dl = static_cast<double>(color.l) - entries[i].l;
    const double du = static_cast<double>(color.u) - entries[i].u;
    const double dv = static_cast<double>(color.v) - entries[i].v;
    const double d = dl * dl + du * du + dv * dv;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int32_t>(i);
    }
  }
  return best;
}

std::vector<uint8_t> BuildInverseColorMap(std::span<const uint8_t> paletteTriples, int32_t count,
                                          int32_t redBits, int32_t greenBits, int32_t blueBits) {
  auto validBits = [](int32_t bits) { return bits >= 0 && bits <= kMaxInverseMapBits; };
  if (!validBits(redBits) || !validBits(greenBits) || !validBits(blueBits)) return {};
  count = std::clamp<int32_t>(count, 0, static_cast<int32_t>(paletteTriples.size() / 3));
  std::vector<uint8_t> map(size_t{1} << (redBits + greenBits + blueBits), 0xFF);
  if (count < 1) return map;

  const Xyz white = RgbToXyz(255.0f, 255.0f, 255.0f);
  std::vector<Luv> entries(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* rgb = &paletteTriples[static_cast<size_t>(i) * 3];
    entries[i] = XyzToLuv(RgbToXyz(rgb[0], rgb[1], rgb[2]), white);
  }
  auto cellValue = [](int32_t cell, int32_t bits) {
    return bits == 0 ? 255.0f : static_cast<float>(cell << (8 - bits));
  };
  size_t out = 0;
  for (int32_t r = 0; r < (1 << redBits); ++r) {
    for (int32_t g = 0; g < (1 << greenBits); ++g) {
      for (int32_t b = 0; b < (1 << blueBits); ++b) {
        const Xyz xyz = RgbToXyz(cellValue(r, redBits), cellValue(g, greenBits), cellValue(b, blueBits));
        map[out++] = static_cast<uint8_t>(FindNearestLuvEntry(XyzToLuv(xyz, white), entries));
      }
    }
  }
  return map;
}

}  // namespace vx
