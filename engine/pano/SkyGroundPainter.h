// Sky and ground pictures for panorama backgrounds: colours at angles from
// the zenith (sky) and from the nadir (ground), interpolated between the
// angles, painted into pictures whose rows stand for pitch, either one
// picture running from the top of its vertical extent to the bottom, or the
// six faces of a cube. Also the grey placeholder shown where there is no
// valid description.
//
// Every painter writes only inside the picture, whatever the rows, angles
// and colours it is given; colours are clamped to 0..1 per pixel. Pixels
// of 1 byte take their index from the 32,768-byte inverse colour map (index
// 0 without one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/render/Palette.h"
#include "engine/render/PixelMap.h"

namespace vx {

struct SkyGroundDescription {
  // Sky colours from the zenith down, at the angles (from the zenith)
  // between them; ground colours from the nadir up, at angles from the
  // nadir. Each list has one angle fewer than colours, rising strictly.
  std::span<const float> skyAngle;
  std::span<const FloatColor> skyColor;
  std::span<const float> groundAngle;
  std::span<const FloatColor> groundColor;
  // Elevations of the picture's top and bottom rows' edges.
  float verticalMin = 0;
  float verticalMax = 0;
  bool cubeLayout = false;
};

// Sky and ground lists that can be painted: each angle list one entry
// shorter than its colour list and rising strictly.
bool SkyGroundListsValid(std::span<const float> skyAngle, size_t skyColours, std::span<const float> groundAngle,
                         size_t groundColours);
// The colour a fraction t of the way from a to b.
FloatColor MixColours(const FloatColor& a, const FloatColor& b, float t);

// Paints the description, or the placeholder when it is not valid (false).
bool PaintSkyGround(const PixelMap& map, const SkyGroundDescription& description, const uint8_t* inverseMap);

// Rows y0 .. y1 - 1 across the full width, from one step past `top` down to
// exactly `bottom`. Rows outside the picture are counted but not painted.
void FillGradientRows(const PixelMap& map, int16_t y0, int16_t y1, const FloatColor& top, const FloatColor& bottom,
                      const uint8_t* inverseMap);
// The band y0 .. y1 of a cube picture's virtual height (a third of its
// height): rings on the caps, rows on the sides.
void FillSkyGroundBand(const PixelMap& map, int16_t y0, int16_t y1, const FloatColor& top, const FloatColor& bottom,
                       const uint8_t* inverseMap);

enum class CubeCap : int16_t { kTop = 0, kBottom = 1 };

// Concentric square rings on a cap face, from the distance `outer` in to
// `inner` (0 at the pole, 1 at the face's edge).
void FillCapFaceRings(const PixelMap& map, float outer, float inner, const FloatColor& outerColour,
                      const FloatColor& innerColour, CubeCap cap, const uint8_t* inverseMap);
// The same rows of the four side faces, between the face fractions `from`
// and `to` (0 at the top).
void FillSideFaceRows(const PixelMap& map, float from, float to, const FloatColor& fromColour,
                      const FloatColor& toColour, const uint8_t* inverseMap);

void FillPlaceholderGrid(const PixelMap& map);

}  // namespace vx
