// The nine alignments of what lies over the frame (screen elements and
// screen image objects): which side of the frame, or its middle, each
// direction keeps to.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

namespace vx {

enum class ScreenAlignment : int32_t {
  kCenter,
  kTopLeft,
  kLeft,
  kTop,
  kRight,
  kTopRight,
  kBottom,
  kBottomLeft,
  kBottomRight,
};

// Exact keywords ("TOP_LEFT", ...); anything else is the centre.
ScreenAlignment AlignmentByName(std::string_view name);

enum class AlignSide { kStart, kMiddle, kEnd };

// The side kept to horizontally, then vertically.
std::pair<AlignSide, AlignSide> SidesOf(ScreenAlignment alignment);

}  // namespace vx
