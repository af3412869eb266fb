// What the views read of a world's bound NavigationInfo. The fields are
// found by name, so any node that carries them with the right types serves.
#pragma once

#include <string_view>

#include "engine/scene/Node.h"

namespace vx {

// The live value of a node's field of that name and type; null when the node
// is null or has no such field of that type. Fields found by name are read
// only through this, so that a field declared with another type is never
// read as T.
template <typename T>
T* FieldOf(CNode* node, std::string_view name) {
  if (!node || node->GetFieldType(name) != FieldTypeOf<T>::value) return nullptr;
  return static_cast<T*>(node->GetFieldByName(name));
}

// How the view moves, from the first "type" string.
enum class NavigationMode { kWalk, kExamine, kFly, kNone, kVista, kOther };

struct NavigationSettings {
  bool bound = false;      // a NavigationInfo is bound
  bool hasType = false;    // its "type" holds at least one string
  NavigationMode mode = NavigationMode::kOther;
  float speed = 1.0f;      // the first "speed" value
  // "avatarSize": [0] width, [1] height; 1.0 for each value it lacks.
  float avatarWidth = 1.0f;
  float avatarHeight = 1.0f;
  int32_t avatarCount = 0;
};

// The settings of the node; a null node gives the unbound defaults.
NavigationSettings ReadNavigationSettings(CNode* navigationInfo);

// True when the first "type" string is "EXAMINE".
bool IsExamineMode(CNode* navigationInfo);

}  // namespace vx
