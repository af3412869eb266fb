#include "engine/render/PixelMap.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "engine/render/Dither.h"

namespace vx {
namespace {

// Pixels are read and written through memcpy: a pixel map may describe
// memory at any alignment.
template <typename P>
P Load(const uint8_t* row, int32_t x) {
  P p;
  std::memcpy(&p, row + static_cast<ptrdiff_t>(x) * sizeof(P), sizeof(P));
  return p;
}

template <typename P>
void Store(uint8_t* row, int32_t x, P p) {
  std::memcpy(row + static_cast<ptrdiff_t>(x) * sizeof(P), &p, sizeof(P));
}

// Calls body with a value of the pixel type of the given size; other sizes
// do nothing.
template <typename Body>
void ForPixelSize(int32_t bytesPerPixel, Body&& body) {
  switch (bytesPerPixel) {
    case 1: body(uint8_t{}); break;
    case 2: body(uint16_t{}); break;
    case 4: body(uint32_t{}); break;
    default: break;
  }
}

struct PixelValues {
  uint32_t xrgb = 0;
  uint16_t c555 = 0;
  uint8_t index = 0;
};

PixelValues ToPixelValues(const KeyColor& key) {
  PixelValues v;
  ColorToPixelValues(key.color, key.inverseMap, &v.xrgb, &v.c555, &v.index);
  return v;
}

template <typename P>
P ValueFor(const PixelValues& v) {
  if constexpr (std::is_same_v<P, uint8_t>) return v.index;
  else if constexpr (std::is_same_v<P, uint16_t>) return v.c555;
  else return v.xrgb;
}

template <typename P>
bool IsKey(P pixel, const PixelValues& key) {
  if constexpr (std::is_same_v<P, uint32_t>) return (pixel & 0x00FFFFFF) == key.xrgb;
  else return pixel == ValueFor<P>(key);
}

bool Usable(const PixelMap& map) { return map.bits && map.width > 0 && map.height > 0; }

bool SamePixelSize(const PixelMap& a, const PixelMap& b) { return a.bytesPerPixel == b.bytesPerPixel; }

}  // namespace

PixelMap PixelMapPart(const PixelMap& map, int64_t x, int64_t y, int64_t width, int64_t height) {
  PixelMap part = map;
  part.bits = map.Row(static_cast<int32_t>(y)) + x * map.bytesPerPixel;
  part.width = static_cast<uint16_t>(width);
  part.height = static_cast<uint16_t>(height);
  part.rows = nullptr;
  return part;
}

void RotatePixelMap90(const PixelMap& source, const PixelMap& destination) {
  if (!Usable(source) || !Usable(destination) || !SamePixelSize(source, destination)) return;
  const int32_t width = std::min<int32_t>(destination.width, source.height);
  const int32_t height = std::min<int32_t>(destination.height, source.width);
  ForPixelSize(source.bytesPerPixel, [&]<typename P>(P) {
    for (int32_t j = 0; j < height; ++j) {
      uint8_t* out = destination.Row(j);
      for (int32_t k = 0; k < width; ++k) Store<P>(out, k, Load<P>(source.Row(source.height - 1 - k), j));
    }
  });
}

void ConvertPixelMapFrom32(const PixelMap& source, const PixelMap& destination, const PaletteTable& palette,
                           const uint8_t* inverseMap555) {
  if (!Usable(source) || !Usable(destination) || source.bytesPerPixel != 4) return;
  const int32_t width = std::min(source.width, destination.width);
  const int32_t height = std::min(source.height, destination.height);
  switch (destination.bytesPerPixel) {
    case 4:
      for (int32_t y = 0; y < height; ++y) std::memmove(destination.Row(y), source.Row(y), static_cast<size_t>(width) * 4);
      break;
    case 2:
      for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          const uint32_t p = Load<uint32_t>(source.Row(y), x);
          Store<uint16_t>(destination.Row(y), x,
                          static_cast<uint16_t>(InverseMap555Index((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)));
        }
      }
      break;
    case 1: {
      if (!inverseMap555) return;
      const std::vector<uint8_t> triples = PaletteToTriples(palette);
      const DitherPalette target{inverseMap555, 5, 5, 5, triples};
      DitherToPalettePitched(reinterpret_cast<const uint32_t*>(source.bits), width, height, target, destination.bits,
                             destination.rowBytes, source.rowBytes);
      break;
    }
    default:
      break;
  }
}

void StretchPixelMapRow(const PixelMap& source, const PixelMap& destination, const PixelMap* mask, int32_t row,
                        int32_t step, const KeyColor* key) {
  if (!Usable(source) || !Usable(destination) || !SamePixelSize(source, destination)) return;
  if (row < 0 || row >= destination.height || step < 1) return;
  const PixelValues keyValues = key ? ToPixelValues(*key) : PixelValues{};
  const int32_t sourceRow = static_cast<int32_t>(int64_t{source.height} * row / destination.height);
  const uint8_t* maskRow = nullptr;
  int32_t maskWidth = 0;
  if (mask) {
    // Pixels outside the mask count as masked out.
    if (mask->bits && sourceRow < mask->height) {
      maskRow = mask->Row(sourceRow);
      maskWidth = mask->width;
    }
  }
  const int32_t count = destination.width / step;
  const bool stretched = source.width != destination.width;
  // 16.16 source step = (source width x step / destination width) rounded half
  // away from zero, computed exactly in integers.
  const int64_t sourceStep =
      stretched ? (int64_t{source.width} * step * 2 * 65536 + destination.width) / (2 * int64_t{destination.width})
                : int64_t{step} << 16;
  const uint8_t* in = source.Row(sourceRow);
  uint8_t* out = destination.Row(row);
  ForPixelSize(destination.bytesPerPixel, [&]<typename P>(P) {
    int64_t accumulator = 0;
    for (int32_t i = 0; i < count; ++i, accumulator += sourceStep) {
      const int32_t s = static_cast<int32_t>(std::min<int64_t>(accumulator >> 16, source.width - 1));
      const int32_t d = i * step;
      const P pixel = Load<P>(in, s);
      if (mask) {
        if (s >= maskWidth || maskRow[s] == 0) continue;
      } else if (key && IsKey(pixel, keyValues)) {
        continue;
      }
      Store<P>(out, d, pixel);
    }
  });
}

void StretchPixelMap(const PixelMap& source, const PixelMap& destination, const PixelMap* mask,
                     const KeyColor* key) {
  for (int32_t row = 0; row < destination.height; ++row) StretchPixelMapRow(source, destination, mask, row, 1, key);
}

void CopyPixelMapKeyed(const PixelMap& source, const PixelMap& destination, const KeyColor* key) {
  if (!Usable(source) || !Usable(destination) || !SamePixelSize(source, destination)) return;
  const int32_t width = std::min(source.width, destination.width);
  const int32_t height = std::min(source.height, destination.height);
  if (!key) {
    const size_t bytes = static_cast<size_t>(width) * source.bytesPerPixel;
    for (int32_t y = 0; y < height; ++y) std::memmove(destination.Row(y), source.Row(y), bytes);
    return;
  }
  const PixelValues keyValues = ToPixelValues(*key);
  ForPixelSize(source.bytesPerPixel, [&]<typename P>(P) {
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const P pixel = Load<P>(source.Row(y), x);
        if (!IsKey(pixel, keyValues)) Store<P>(destination.Row(y), x, pixel);
      }
    }
  });
}

void CopyPixelMap(const PixelMap& source, const PixelMap& destination) {
  CopyPixelMapKeyed(source, destination, nullptr);
}

void FillPixelMapThroughMask(const PixelMap& mask, const PixelMap& destination, const KeyColor& color) {
  if (!Usable(mask) || !Usable(destination) || !SamePixelSize(mask, destination)) return;
  const int32_t width = std::min(mask.width, destination.width);
  const int32_t height = std::min(mask.height, destination.height);
  const PixelValues fill = ToPixelValues(color);
  // On palette images the mask's "off" value is black's index, not zero.
  uint8_t off = 0;
  if (mask.bytesPerPixel == 1) ColorToPixelValues(FloatColor{}, color.inverseMap, nullptr, nullptr, &off);
  ForPixelSize(mask.bytesPerPixel, [&]<typename P>(P) {
    const P value = ValueFor<P>(fill);
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* m = mask.Row(y);
      uint8_t* out = destination.Row(y);
      for (int32_t x = 0; x < width; ++x) {
        if (m[x] != off) Store<P>(out, x, value);
      }
    }
  });
}

bool PixelMatchesKey(const PixelMap& map, int32_t x, int32_t y, const KeyColor& key) {
  if (!Usable(map) || x < 0 || y < 0 || x >= map.width || y >= map.height) return false;
  const PixelValues keyValues = ToPixelValues(key);
  bool matches = false;
  ForPixelSize(map.bytesPerPixel, [&]<typename P>(P) { matches = IsKey(Load<P>(map.Row(y), x), keyValues); });
  return matches;
}

}  // namespace vx
