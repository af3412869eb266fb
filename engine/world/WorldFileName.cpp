#include "engine/world/WorldFileName.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

#include "engine/scene/UnpackedSceneFile.h"

namespace vx {
namespace {

// Suffixes of world files once unpacked, and of the one compressed form
// that has a suffix of its own.
constexpr std::string_view kWorldSuffixes[] = {".wrl", ".tsw"};
constexpr std::string_view kPackedWorldSuffix = ".wrz";

}  // namespace

bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

WorldFileName SplitViewpoint(std::string_view name) {
  if (name.size() < 3) return {name, {}};
  const size_t mark = name.find_last_of('#', name.size() - 2);
  if (mark == std::string_view::npos || mark == 0) return {name, {}};
  return {name.substr(0, mark), name.substr(mark + 1)};
}

std::string_view UnpackedName(std::string_view file) {
  if (EndsWithIgnoringCase(file, kGzipSuffix)) file.remove_suffix(kGzipSuffix.size());
  return file;
}

bool IsWorldFileName(std::string_view name) {
  const std::string_view file = SplitViewpoint(name).file;
  if (EndsWithIgnoringCase(file, kPackedWorldSuffix)) return true;
  const std::string_view unpacked = UnpackedName(file);
  return std::any_of(std::begin(kWorldSuffixes), std::end(kWorldSuffixes),
                     [unpacked](std::string_view suffix) { return EndsWithIgnoringCase(unpacked, suffix); });
}

}  // namespace vx
