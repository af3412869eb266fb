#include "engine/pano/nodes/ScreenPlacement.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/pano/PanoLimits.h"

namespace vx {
namespace {

// Halves by shifting, so that odd sizes round the same way for frame and
// block.
int32_t Along(AlignSide side, int32_t frameSize, int32_t size) {
  switch (side) {
    case AlignSide::kStart:
      return 0;
    case AlignSide::kMiddle:
      return (frameSize >> 1) - (size >> 1);
    case AlignSide::kEnd:
      return frameSize - size;
  }
  return 0;
}

// The source span [start, end) that the visible part [visibleStart,
// visibleEnd) of a shown span [shownStart, shownStart + shownSize) covers,
// for a source span of sourceSize from sourceStart. At least one pixel, and
// inside the source span.
std::pair<int32_t, int32_t> SourceSpan(int32_t sourceStart, int32_t sourceSize, int32_t shownStart, int32_t shownSize,
                                       int32_t visibleStart, int32_t visibleEnd) {
  const int64_t from = int64_t{visibleStart - shownStart} * sourceSize / shownSize;
  const int64_t to = (int64_t{visibleEnd - shownStart} * sourceSize + shownSize - 1) / shownSize;
  const int64_t first = std::clamp<int64_t>(from, 0, sourceSize - 1);
  const int64_t last = std::clamp<int64_t>(to, first + 1, sourceSize);
  return {sourceStart + static_cast<int32_t>(first), sourceStart + static_cast<int32_t>(last)};
}

bool IsUsable(const PixelMap& map) {
  return map.bits && map.width > 0 && map.height > 0 &&
         (map.bytesPerPixel == 1 || map.bytesPerPixel == 2 || map.bytesPerPixel == 4);
}

}  // namespace

int32_t ScreenCoordinate(float value) {
  if (std::isnan(value)) return 0;
  constexpr auto kLimit = static_cast<float>(kMaxScreenCoordinate);
  return static_cast<int32_t>(std::trunc(std::clamp(value, -kLimit, kLimit)));
}

ScreenRect PlaceOnScreen(ScreenAlignment alignment, int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y,
                         int32_t width, int32_t height) {
  const auto [horizontal, vertical] = SidesOf(alignment);
  ScreenRect rect;
  rect.left = Along(horizontal, frameWidth, width) + x;
  rect.top = Along(vertical, frameHeight, height) + y;
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  return rect;
}

ImageArea CropArea(int32_t imageWidth, int32_t imageHeight, std::span<const int32_t> crop) {
  ImageArea area{0, 0, imageWidth, imageHeight};
  if (crop.size() != 4) return area;
  const int64_t left = crop[0], top = crop[1], right = crop[2], bottom = crop[3];
  if (left >= 0 && left < imageWidth) area.x = static_cast<int32_t>(left);
  if (top >= 0 && top < imageHeight) area.y = static_cast<int32_t>(top);
  area.width = static_cast<int32_t>(std::clamp<int64_t>(right - left, 0, imageWidth - area.x));
  area.height = static_cast<int32_t>(std::clamp<int64_t>(bottom - top, 0, imageHeight - area.y));
  return area;
}

std::optional<OverlayParts> ClipToFrame(const PixelMap& image, const ImageArea& area, const ScreenRect& rect,
                                        const PixelMap& frame) {
  if (!IsUsable(image) || !IsUsable(frame) || image.bytesPerPixel != frame.bytesPerPixel) return std::nullopt;
  if (area.IsEmpty() || IsEmpty(rect) || area.x < 0 || area.y < 0 || area.x + area.width > image.width ||
      area.y + area.height > image.height) {
    return std::nullopt;
  }
  const ScreenRect visible{std::max(rect.left, 0), std::max(rect.top, 0), std::min<int32_t>(rect.right, frame.width),
                           std::min<int32_t>(rect.bottom, frame.height)};
  if (IsEmpty(visible)) return std::nullopt;
  const auto [sourceLeft, sourceRight] =
      SourceSpan(area.x, area.width, rect.left, rect.Width(), visible.left, visible.right);
  const auto [sourceTop, sourceBottom] =
      SourceSpan(area.y, area.height, rect.top, rect.Height(), visible.top, visible.bottom);
  return OverlayParts{
      PixelMapPart(image, sourceLeft, sourceTop, sourceRight - sourceLeft, sourceBottom - sourceTop),
      PixelMapPart(frame, visible.left, visible.top, visible.Width(), visible.Height()),
  };
}

std::pair<int32_t, int32_t> AreaPixelAt(const ImageArea& area, float fx, float fy) {
  auto along = [](int32_t start, int32_t size, float fraction) {
    const float offset = std::isfinite(fraction) ? std::floor(fraction * static_cast<float>(size)) : 0.0f;
    return start + static_cast<int32_t>(std::clamp(offset, 0.0f, static_cast<float>(size - 1)));
  };
  return {along(area.x, area.width, fx), along(area.y, area.height, fy)};
}

}  // namespace vx
