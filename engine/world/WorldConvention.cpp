#include "engine/world/WorldConvention.h"

#include <algorithm>
#include <cctype>

#include "engine/world/Browser.h"

namespace vx {
namespace {

// suffix is in lower case.
bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<ptrdiff_t>(suffix.size()),
                    [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

}  // namespace

WorldConvention ConventionOfWorldName(std::string_view name) {
  if (const size_t mark = name.find_last_of('#'); mark != std::string_view::npos) name = name.substr(0, mark);
  if (EndsWithIgnoringCase(name, ".gz")) name.remove_suffix(3);
  return EndsWithIgnoringCase(name, ".tsw") ? WorldConvention::kSystem : WorldConvention::kStandard;
}

WorldConvention ConventionOf(const CBrowser* world) {
  return world ? world->GetConvention() : WorldConvention::kStandard;
}

}  // namespace vx
