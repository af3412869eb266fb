#include "engine/world/ScreenAlignment.h"

namespace vx {
namespace {

struct AlignmentName {
  std::string_view name;
  ScreenAlignment alignment;
};

constexpr AlignmentName kAlignmentNames[] = {
    {"TOP_LEFT", ScreenAlignment::kTopLeft},
    {"CENTER", ScreenAlignment::kCenter},
    {"LEFT", ScreenAlignment::kLeft},
    {"TOP", ScreenAlignment::kTop},
    {"RIGHT", ScreenAlignment::kRight},
    {"TOP_RIGHT", ScreenAlignment::kTopRight},
    {"BOTTOM", ScreenAlignment::kBottom},
    {"BOTTOM_LEFT", ScreenAlignment::kBottomLeft},
    {"BOTTOM_RIGHT", ScreenAlignment::kBottomRight},
};

}  // namespace

ScreenAlignment AlignmentByName(std::string_view name) {
  for (const AlignmentName& entry : kAlignmentNames) {
    if (entry.name == name) return entry.alignment;
  }
  return ScreenAlignment::kCenter;
}

std::pair<AlignSide, AlignSide> SidesOf(ScreenAlignment alignment) {
  switch (alignment) {
    case ScreenAlignment::kTopLeft:
      return {AlignSide::kStart, AlignSide::kStart};
    case ScreenAlignment::kLeft:
      return {AlignSide::kStart, AlignSide::kMiddle};
    case ScreenAlignment::kTop:
      return {AlignSide::kMiddle, AlignSide::kStart};
    case ScreenAlignment::kRight:
      return {AlignSide::kEnd, AlignSide::kMiddle};
    case ScreenAlignment::kTopRight:
      return {AlignSide::kEnd, AlignSide::kStart};
    case ScreenAlignment::kBottom:
      return {AlignSide::kMiddle, AlignSide::kEnd};
    case ScreenAlignment::kBottomLeft:
      return {AlignSide::kStart, AlignSide::kEnd};
    case ScreenAlignment::kBottomRight:
      return {AlignSide::kEnd, AlignSide::kEnd};
    case ScreenAlignment::kCenter:
      break;
  }
  return {AlignSide::kMiddle, AlignSide::kMiddle};
}

}  // namespace vx
