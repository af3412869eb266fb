// Where a screen image lands on the frame: a rectangle placed by an
// alignment keyword and moved by an offset, the part of the image that a
// crop keeps, and both cut to what lies inside the frame.
//
// Crops and rectangles come from scene files: inverted, oversized or
// far-away values give an empty or smaller part, never a pixel outside the
// image or the frame. A rectangle of another size than its part of the image
// shows it scaled, so clipping cuts the image in proportion.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "engine/render/PixelMap.h"
#include "engine/world/ScreenAlignment.h"
#include "platform/Window.h"

namespace vx {

// A rectangle of the frame; right and bottom are exclusive.
using ScreenRect = Rect;
inline bool IsEmpty(const ScreenRect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

// A transformed coordinate in whole pixels, toward zero, held within
// +-kMaxScreenCoordinate (0 for NaN).
int32_t ScreenCoordinate(float value);

// A block of width x height in a frame of frameWidth x frameHeight, aligned
// and then moved by (x, y). Every value within +-kMaxScreenCoordinate.
ScreenRect PlaceOnScreen(ScreenAlignment alignment, int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y,
                         int32_t width, int32_t height);

// A part of an image in its pixels.
struct ImageArea {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;

  bool IsEmpty() const { return width <= 0 || height <= 0; }
};

// The part that a crop {left, top, right, bottom} keeps of an image of
// imageWidth x imageHeight, the whole image without 4 values. The crop's
// size is limited to the image's; its corner is taken only when it lies in
// the image (else the image's own corner), and the part is shortened to end
// inside. Inverted crops keep nothing.
ImageArea CropArea(int32_t imageWidth, int32_t imageHeight, std::span<const int32_t> crop);

// The pixels of an overlay: the image part shown and the frame part it
// covers.
struct OverlayParts {
  PixelMap source;
  PixelMap destination;
};

// The area of the image stretched over rect, cut to the frame; nothing when
// no pixel of either remains or the two differ in pixel size.
std::optional<OverlayParts> ClipToFrame(const PixelMap& image, const ImageArea& area, const ScreenRect& rect,
                                        const PixelMap& frame);

// The pixel of the area that a point at fractions (fx, fy) of the area's
// shown size falls on; always inside the area (which must not be empty).
std::pair<int32_t, int32_t> AreaPixelAt(const ImageArea& area, float fx, float fy);

}  // namespace vx
