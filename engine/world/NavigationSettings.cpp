#include "engine/world/NavigationSettings.h"

#include <cstring>

namespace vx {
namespace {

NavigationMode ModeOf(const char* type) {
  constexpr std::pair<const char*, NavigationMode> kModes[] = {
      {"WALK", NavigationMode::kWalk}, {"EXAMINE", NavigationMode::kExamine}, {"FLY", NavigationMode::kFly},
      {"NONE", NavigationMode::kNone}, {"VISTA", NavigationMode::kVista},
  };
  for (const auto& [name, mode] : kModes)
    if (std::strcmp(type, name) == 0) return mode;
  return NavigationMode::kOther;
}

}  // namespace

NavigationSettings ReadNavigationSettings(CNode* navigationInfo) {
  NavigationSettings settings;
  if (!navigationInfo) return settings;
  settings.bound = true;
  if (const MFString* type = FieldOf<MFString>(navigationInfo, "type"); type && type->count > 0) {
    settings.hasType = true;
    SFString first = (*type)[0];
    first.text[sizeof first.text - 1] = '\0';
    settings.mode = ModeOf(first.text);
  }
  // "speed" is a single value in the standard node; a list is read by its
  // first value.
  if (const float* speed = FieldOf<float>(navigationInfo, "speed")) {
    settings.speed = *speed;
  } else if (const MFFloat* speeds = FieldOf<MFFloat>(navigationInfo, "speed"); speeds && speeds->count > 0) {
    settings.speed = (*speeds)[0];
  }
  if (const MFFloat* sizes = FieldOf<MFFloat>(navigationInfo, "avatarSize"); sizes && sizes->count > 0) {
    settings.avatarCount = sizes->count;
    settings.avatarWidth = (*sizes)[0];
    if (sizes->count > 1) settings.avatarHeight = (*sizes)[1];
  }
  return settings;
}

bool IsExamineMode(CNode* navigationInfo) {
  return ReadNavigationSettings(navigationInfo).mode == NavigationMode::kExamine;
}

}  // namespace vx
