#include "engine/pano/SkyGroundPainter.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/pano/PanoLimits.h"
#include "engine/render/Numeric.h"

namespace vx {
namespace {

bool Paintable(const PixelMap& map) {
  const bool knownSize = map.bytesPerPixel == 1 || map.bytesPerPixel == 2 || map.bytesPerPixel == 4;
  return map.bits && map.width > 0 && map.height > 0 && knownSize;
}

void Store(uint8_t* pixel, uint16_t bytesPerPixel, uint32_t value) {
  if (bytesPerPixel == 1) {
    *pixel = static_cast<uint8_t>(value);
  } else if (bytesPerPixel == 2) {
    const uint16_t half = static_cast<uint16_t>(value);
    std::memcpy(pixel, &half, sizeof half);
  } else {
    std::memcpy(pixel, &value, sizeof value);
  }
}

// Rows a painter may write: the picture, or one face of it.
struct RowWindow {
  int32_t first;
  int32_t end;  // exclusive
};

RowWindow WholePicture(const PixelMap& map) { return {0, map.height}; }

// A run of pixels along a row, cut to the window and the width.
void FillRun(const PixelMap& map, const RowWindow& window, int32_t y, int32_t x, int32_t count, uint32_t value) {
  if (y < window.first || y >= window.end || y < 0 || y >= map.height) return;
  const int32_t begin = std::max(x, 0);
  const int32_t end = std::min<int64_t>(static_cast<int64_t>(x) + count, map.width);
  uint8_t* row = map.Row(y);
  for (int32_t i = begin; i < end; ++i)
    Store(row + static_cast<ptrdiff_t>(i) * map.bytesPerPixel, map.bytesPerPixel, value);
}

// A run of pixels down a column, cut to the window and the height.
void FillColumn(const PixelMap& map, const RowWindow& window, int32_t x, int32_t y, int32_t count, uint32_t value) {
  if (x < 0 || x >= map.width) return;
  const int32_t begin = std::max({y, window.first, 0});
  const int32_t end = std::min<int64_t>({static_cast<int64_t>(y) + count, window.end, map.height});
  for (int32_t row = begin; row < end; ++row)
    Store(map.Row(row) + static_cast<ptrdiff_t>(x) * map.bytesPerPixel, map.bytesPerPixel, value);
}

// Channel levels that start at one colour and step towards another: one
// addition per row or ring, in single precision.
class LevelStepper {
 public:
  LevelStepper(const PixelMap& map, const FloatColor& from, const FloatColor& to, int32_t steps)
      : levels_(map.bytesPerPixel == 2 ? kLevels555 : kLevels888) {
    const float scale = static_cast<float>(levels_);
    const float count = static_cast<float>(steps);
    level_ = {from.r * scale, from.g * scale, from.b * scale};
    step_ = {(to.r - from.r) * scale / count, (to.g - from.g) * scale / count, (to.b - from.b) * scale / count};
  }

  void Step() {
    level_.r += step_.r;
    level_.g += step_.g;
    level_.b += step_.b;
  }

  // Levels outside the channel's range (colours outside 0..1) are clamped,
  // so they can neither index past the inverse map nor spill into other
  // channels.
  uint32_t Pixel(const PixelMap& map, const uint8_t* inverseMap, bool highBit) const {
    const uint32_t r = Level(level_.r), g = Level(level_.g), b = Level(level_.b);
    switch (map.bytesPerPixel) {
      case 1:
        return inverseMap ? inverseMap[InverseMap555Index(r, g, b)] : 0;
      case 2:
        return (r << 10) | (g << 5) | b | (highBit ? kGradientHighBit : 0);
      default:
        return kOpaqueAlpha | (r << 16) | (g << 8) | b;
    }
  }

 private:
  uint32_t Level(float level) const { return static_cast<uint32_t>(std::clamp(TruncToInt(level), 0, levels_)); }

  int32_t levels_;
  FloatColor level_;
  FloatColor step_;
};

int32_t CubeFaceHeight(const PixelMap& map) { return map.height / kCubeFaces; }

using RowFiller = void (*)(const PixelMap&, int16_t, int16_t, const FloatColor&, const FloatColor&, const uint8_t*);

// Rows of the picture's vertical extent (elevations).
struct ElevationRows {
  double min;
  double max;
  int32_t rows;

  // Rows beyond the 16-bit range saturate; the fillers skip them anyway.
  int16_t RowOf(double angle) const {
    const int32_t row = TruncToInt((1 - (angle - min) / (max - min)) * rows);
    return static_cast<int16_t>(
        std::clamp(row, int32_t{std::numeric_limits<int16_t>::min()}, int32_t{std::numeric_limits<int16_t>::max()}));
  }
  bool Misses(double top, double bottom) const { return max < bottom || min > top; }
};

// Colour at an angle of a band from `top` (cTop) down to `bottom` (cBottom).
FloatColor BandColourAt(double angle, double top, double bottom, const FloatColor& cTop, const FloatColor& cBottom) {
  return MixColours(cTop, cBottom, static_cast<float>((top - angle) / (top - bottom)));
}

// Where a band ends in the picture: at the row of its bottom angle with its
// bottom colour, or at the last row with the colour there when the picture
// ends inside the band.
struct BandEnd {
  int16_t row;
  FloatColor colour;
};

BandEnd LowerEndOf(const ElevationRows& rows, double top, double bottom, const FloatColor& cTop,
                   const FloatColor& cBottom) {
  if (rows.min > bottom) return {static_cast<int16_t>(rows.rows), BandColourAt(rows.min, top, bottom, cTop, cBottom)};
  return {rows.RowOf(bottom), cBottom};
}

void PaintSky(const PixelMap& map, const SkyGroundDescription& d, const ElevationRows& rows, RowFiller fill,
              const uint8_t* inverseMap) {
  int16_t y = 0;
  double top = kSkyHalfPi;
  const size_t last = d.skyColor.size() - 1;
  for (size_t i = 0; i <= last && y < rows.rows; ++i) {
    const FloatColor& cTop = d.skyColor[i];
    const double bottom = i == last ? -kSkyHalfPi : kSkyHalfPi - d.skyAngle[i];
    const FloatColor& cBottom = i == last ? d.skyColor[i] : d.skyColor[i + 1];
    if (!rows.Misses(top, bottom)) {
      const FloatColor topColour = rows.max < top ? BandColourAt(rows.max, top, bottom, cTop, cBottom) : cTop;
      const BandEnd end = LowerEndOf(rows, top, bottom, cTop, cBottom);
      fill(map, y, end.row, topColour, end.colour, inverseMap);
      y = end.row;
    }
    top = bottom;
  }
}

// From the nadir up, over the sky.
void PaintGround(const PixelMap& map, const SkyGroundDescription& d, const ElevationRows& rows, RowFiller fill,
                 const uint8_t* inverseMap) {
  int32_t y = rows.rows;
  double lower = -kSkyHalfPi;
  for (size_t j = 0; j < d.groundAngle.size() && lower < 0 && y > 0; ++j) {
    const double bottom = lower;
    const double top = d.groundAngle[j] - kSkyHalfPi;
    const FloatColor& cBottom = d.groundColor[j];
    const FloatColor& cTop = d.groundColor[j + 1];
    if (!rows.Misses(top, bottom)) {
      const int16_t y0 = rows.RowOf(top);
      const BandEnd end = LowerEndOf(rows, top, bottom, cTop, cBottom);
      fill(map, y0, end.row, cTop, end.colour, inverseMap);
      y = y0;
    }
    lower = top;
  }
}

}  // namespace

bool SkyGroundListsValid(std::span<const float> skyAngle, size_t skyColours, std::span<const float> groundAngle,
                         size_t groundColours) {
  auto risesStrictly = [](std::span<const float> angles) {
    return std::adjacent_find(angles.begin(), angles.end(), [](float a, float b) { return !(b > a); }) == angles.end();
  };
  return skyAngle.size() + 1 == skyColours && groundAngle.size() + 1 == groundColours && risesStrictly(skyAngle) &&
         risesStrictly(groundAngle);
}

FloatColor MixColours(const FloatColor& a, const FloatColor& b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

bool PaintSkyGround(const PixelMap& map, const SkyGroundDescription& description, const uint8_t* inverseMap) {
  if (!SkyGroundListsValid(description.skyAngle, description.skyColor.size(), description.groundAngle,
                           description.groundColor.size())) {
    FillPlaceholderGrid(map);
    return false;
  }
  if (!Paintable(map)) return true;
  const int32_t rows = description.cubeLayout ? map.height / kCubeVirtualRowsDivisor : map.height;
  const RowFiller fill = description.cubeLayout ? FillSkyGroundBand : FillGradientRows;
  const ElevationRows elevation{description.verticalMin, description.verticalMax,
                                std::min<int32_t>(rows, std::numeric_limits<int16_t>::max())};
  PaintSky(map, description, elevation, fill, inverseMap);
  PaintGround(map, description, elevation, fill, inverseMap);
  return true;
}

void FillGradientRows(const PixelMap& map, int16_t y0, int16_t y1, const FloatColor& top, const FloatColor& bottom,
                      const uint8_t* inverseMap) {
  const int32_t n = y1 - y0;
  if (n <= 0 || !Paintable(map)) return;
  LevelStepper levels(map, top, bottom, n);
  for (int32_t k = 1; k <= n; ++k) {
    levels.Step();
    const int32_t y = y0 + k - 1;
    if (y >= 0 && y < map.height) FillRun(map, WholePicture(map), y, 0, map.width, levels.Pixel(map, inverseMap, true));
  }
}

void FillSkyGroundBand(const PixelMap& map, int16_t y0, int16_t y1, const FloatColor& top, const FloatColor& bottom,
                       const uint8_t* inverseMap) {
  if (y1 <= y0 || !Paintable(map)) return;
  const float virtualHeight = map.height * kCubeThirdOfHeight;
  const float f0 = y0 / virtualHeight;
  const float f1 = y1 / virtualHeight;
  auto colourAt = [&](float f) { return MixColours(top, bottom, (f - f0) / (f1 - f0)); };

  if (f0 < kCubeSidesTop) {
    const bool endsOnCap = f1 < kCubeSidesTop;
    const float e = endsOnCap ? f1 : kCubeSidesTop;
    FillCapFaceRings(map, e * kCubeCapScale, f0 * kCubeCapScale, endsOnCap ? bottom : colourAt(e), top, CubeCap::kTop,
                     inverseMap);
  }
  if (f1 > kCubeSidesBottom) {
    const bool startsOnCap = f0 > kCubeSidesBottom;
    const float s = startsOnCap ? f0 : kCubeSidesBottom;
    FillCapFaceRings(map, (1 - s) * kCubeCapScale, (1 - f1) * kCubeCapScale, startsOnCap ? top : colourAt(s), bottom,
                     CubeCap::kBottom, inverseMap);
  }
  if (f0 < kCubeSidesBottom && f1 > kCubeSidesTop) {
    const bool startsOnSides = f0 > kCubeSidesTop;
    const bool endsOnSides = f1 < kCubeSidesBottom;
    const float s = startsOnSides ? f0 : kCubeSidesTop;
    const float e = endsOnSides ? f1 : kCubeSidesBottom;
    FillSideFaceRows(map, (s - kCubeSidesTop) * kCubeSideScale, (e - kCubeSidesTop) * kCubeSideScale,
                     startsOnSides ? top : colourAt(s), endsOnSides ? bottom : colourAt(e), inverseMap);
  }
}

void FillCapFaceRings(const PixelMap& map, float outer, float inner, const FloatColor& outerColour,
                      const FloatColor& innerColour, CubeCap cap, const uint8_t* inverseMap) {
  const int32_t h = CubeFaceHeight(map);
  const int32_t n = TruncToInt((outer - inner) / 2 * h);
  if (n <= 0 || !Paintable(map)) return;
  // A ring never leaves its face, also in a picture whose faces are not square.
  const int32_t faceTop = (kCubeFirstCapFace + static_cast<int32_t>(cap)) * h;
  const RowWindow face{faceTop, faceTop + h};
  const float margin = (1 - outer) / 2;
  int32_t side = map.width - TruncToInt(2 * margin * map.width);
  int32_t left = TruncToInt(margin * map.width);
  int32_t top = faceTop + TruncToInt(margin * h);
  int32_t bottom = faceTop + h - 1 - TruncToInt(margin * h);
  LevelStepper levels(map, outerColour, innerColour, n);
  for (int32_t k = 1; k <= n && side > 0; ++k) {
    levels.Step();
    const uint32_t value = levels.Pixel(map, inverseMap, false);
    FillRun(map, face, top, left, side, value);
    FillRun(map, face, bottom, left, side, value);
    FillColumn(map, face, left, top, side, value);
    FillColumn(map, face, left + side - 1, top, side, value);
    ++top;
    ++left;
    --bottom;
    side -= 2;
  }
}

void FillSideFaceRows(const PixelMap& map, float from, float to, const FloatColor& fromColour,
                      const FloatColor& toColour, const uint8_t* inverseMap) {
  const int32_t h = CubeFaceHeight(map);
  const int32_t n = TruncToInt((to - from) * h);
  if (n <= 0 || !Paintable(map)) return;
  const int32_t first = TruncToInt(from * h);
  for (int32_t faceIndex = 0; faceIndex < kCubeSideFaces; ++faceIndex) {
    const RowWindow face{faceIndex * h, (faceIndex + 1) * h};
    LevelStepper levels(map, fromColour, toColour, n);
    for (int32_t k = 1; k <= n; ++k) {
      levels.Step();
      FillRun(map, face, face.first + first + k - 1, 0, map.width, levels.Pixel(map, inverseMap, false));
    }
  }
}

namespace {

// The wash behind the placeholder grid: flat above the first quarter and
// below the third, interpolated over the whole height between them.
PlaceholderRgb PlaceholderRowColour(int32_t y, int32_t height) {
  const int32_t quarter = height >> 2;
  if (y < quarter) return kPlaceholderSky;
  if (y > quarter + (height >> 1)) return kPlaceholderGround;
  const double f = height > 1 ? static_cast<double>(y) / (height - 1) : 0.0;
  auto mix = [f](int32_t a, int32_t b) { return TruncToInt(a * (1 - f) + b * f); };
  return {mix(kPlaceholderSky.r, kPlaceholderGround.r), mix(kPlaceholderSky.g, kPlaceholderGround.g),
          mix(kPlaceholderSky.b, kPlaceholderGround.b)};
}

struct PlaceholderGrid {
  int32_t cellWidth, cellHeight, lineWidth, lineHeight;
};

PlaceholderGrid GridOf(const PixelMap& map) {
  const int32_t across = map.width >> kPlaceholderColumnShift;
  const int32_t down = map.height >> kPlaceholderRowShift;
  return {std::max(across, kPlaceholderMinCell), std::max(down, kPlaceholderMinCell),
          across / kPlaceholderLineDivisor + kPlaceholderLineExtra,
          down / kPlaceholderLineDivisor + kPlaceholderLineExtra};
}

uint32_t PlaceholderPixel(const PixelMap& map, const PlaceholderGrid& grid, int32_t x, int32_t y,
                          const PlaceholderRgb& wash) {
  const int32_t cx = x % grid.cellWidth, cy = y % grid.cellHeight;
  if (cx >= grid.lineWidth && cy >= grid.lineHeight) {
    switch (map.bytesPerPixel) {
      case 1:
        return kPlaceholderCellIndex;
      case 2:
        return static_cast<uint32_t>(InverseMap555Index(wash.r, wash.g, wash.b));
      default:
        return static_cast<uint32_t>((wash.r << 16) | (wash.g << 8) | wash.b);
    }
  }
  if (map.bytesPerPixel == 1) return kPlaceholderLineIndex;
  PlaceholderShade shade = kPlaceholderMiddle;
  if (cx < kPlaceholderLightBevel || cy < kPlaceholderLightBevel) {
    shade = kPlaceholderLight;
  } else if (cx > grid.lineWidth - kPlaceholderDarkBevel && cy > grid.lineHeight - kPlaceholderDarkBevel) {
    shade = kPlaceholderDark;
  }
  return map.bytesPerPixel == 2 ? shade.c555 : shade.xrgb;
}

uint32_t PlaceholderFlat(uint16_t bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1:
      return kPlaceholderFlatIndex;
    case 2:
      return kPlaceholderFlat555;
    default:
      return kPlaceholderFlatXrgb;
  }
}

}  // namespace

void FillPlaceholderGrid(const PixelMap& map) {
  if (!Paintable(map)) return;
  if (map.width <= kPlaceholderFlatMaxWidth) {
    for (int32_t y = 0; y < map.height; ++y)
      FillRun(map, WholePicture(map), y, 0, map.width, PlaceholderFlat(map.bytesPerPixel));
    return;
  }
  const PlaceholderGrid grid = GridOf(map);
  for (int32_t y = 0; y < map.height; ++y) {
    const PlaceholderRgb wash = PlaceholderRowColour(y, map.height);
    uint8_t* row = map.Row(y);
    for (int32_t x = 0; x < map.width; ++x)
      Store(row + static_cast<ptrdiff_t>(x) * map.bytesPerPixel, map.bytesPerPixel,
            PlaceholderPixel(map, grid, x, y, wash));
  }
}

}  // namespace vx
