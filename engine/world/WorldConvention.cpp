#include "engine/world/WorldConvention.h"

#include "engine/world/Browser.h"
#include "engine/world/WorldFileName.h"

namespace vx {

WorldConvention ConventionOfWorldName(std::string_view name) {
  return EndsWithIgnoringCase(UnpackedName(SplitViewpoint(name).file), ".tsw") ? WorldConvention::kSystem
                                                                                : WorldConvention::kStandard;
}

WorldConvention ConventionOf(const CBrowser* world) {
  return world ? world->GetConvention() : WorldConvention::kStandard;
}

}  // namespace vx
