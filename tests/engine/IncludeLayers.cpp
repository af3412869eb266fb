#include "IncludeLayers.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace vx::test {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 15> kLayerNames = {
    "platform", "common",      "hostlink", "math",       "scene core",       "render", "world runtime", "node classes",
    "media",    "media nodes", "pano",     "pano nodes", "engine interface", "host",   "hosts",
};

constexpr int kPlatform = 0, kCommon = 1, kHostlink = 2, kMath = 3, kSceneCore = 4, kRender = 5, kWorld = 6,
              kNodeClasses = 7, kMedia = 8, kMediaNodes = 9, kPano = 10, kPanoNodes = 11, kInterface = 12, kHost = 13,
              kHosts = 14;

// A folder (ending in '/') and the layer of what lies there.
struct Placement {
  std::string_view prefix;
  int layer;
};

constexpr Placement kPlacements[] = {
    {"platform/", kPlatform},
    {"common/", kCommon},
    {"engine/hostlink/", kHostlink},
    {"engine/math/", kMath},
    {"engine/scene/", kSceneCore},
    {"engine/render/", kRender},
    {"engine/world/", kWorld},
    {"engine/nodes/", kNodeClasses},
    {"engine/world/nodes/", kNodeClasses},
    {"engine/world/behaviours/", kNodeClasses},
    {"engine/media/", kMedia},
    {"engine/media/nodes/", kMediaNodes},
    {"engine/pano/", kPano},
    {"engine/pano/nodes/", kPanoNodes},
    {"engine/interface/", kInterface},
    {"host/", kHost},
    {"viewer/", kHosts},
    {"plugin/", kHosts},
    {"tools/", kHosts},
};

// The folders whose every source file must have a layer.
constexpr std::string_view kLayeredFolders[] = {"platform", "common", "engine", "host", "viewer", "plugin", "tools"};

bool IsSource(const fs::path& path) {
  const std::string extension = path.extension().string();
  return extension == ".h" || extension == ".cpp" || extension == ".c" || extension == ".mm";
}

// The quoted name of an #include line, or empty.
std::string_view QuotedInclude(std::string_view line) {
  const auto skipBlanks = [&line] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  skipBlanks();
  if (!line.starts_with('#')) return {};
  line.remove_prefix(1);
  skipBlanks();
  if (!line.starts_with("include")) return {};
  line.remove_prefix(std::string_view("include").size());
  skipBlanks();
  if (!line.starts_with('"')) return {};
  line.remove_prefix(1);
  const size_t end = line.find('"');
  return end == std::string_view::npos ? std::string_view{} : line.substr(0, end);
}

// The included file's path from the top of the tree: a name beside the
// including file when one lies there, else the name as written.
std::string TreePathOf(const fs::path& root, const std::string& file, std::string_view included) {
  const fs::path beside = fs::path(file).parent_path() / included;
  std::error_code error;
  if (fs::exists(root / beside, error)) return beside.lexically_normal().generic_string();
  return std::string(included);
}

void ScanFile(const fs::path& root, const std::string& file, Layer fileLayer, IncludeScan& scan) {
  std::ifstream in(root / file);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string_view included = QuotedInclude(line);
    if (included.empty()) continue;
    const std::string path = TreePathOf(root, file, included);
    const std::optional<Layer> includedLayer = LayerOf(path);
    if (!includedLayer) continue;
    ++scan.includesChecked;
    if (includedLayer->rank > fileLayer.rank) scan.upward.push_back({file, number, path, fileLayer, *includedLayer});
  }
  ++scan.filesRead;
}

}  // namespace

std::optional<Layer> LayerOf(std::string_view path) {
  const Placement* best = nullptr;
  for (const Placement& placement : kPlacements) {
    if (path.starts_with(placement.prefix) && (!best || placement.prefix.size() > best->prefix.size())) {
      best = &placement;
    }
  }
  if (!best) return std::nullopt;
  return Layer{best->layer, kLayerNames[static_cast<size_t>(best->layer)]};
}

IncludeScan ScanIncludes(const fs::path& root) {
  IncludeScan scan;
  for (const std::string_view folder : kLayeredFolders) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root / folder, error); !error && it != fs::end(it);
         it.increment(error)) {
      if (!it->is_regular_file() || !IsSource(it->path())) continue;
      const std::string file = it->path().lexically_relative(root).generic_string();
      if (const std::optional<Layer> layer = LayerOf(file)) {
        ScanFile(root, file, *layer, scan);
      } else {
        scan.withoutLayer.push_back(file);
      }
    }
  }
  std::sort(scan.withoutLayer.begin(), scan.withoutLayer.end());
  return scan;
}

std::string Describe(const UpwardInclude& include) {
  return include.file + ":" + std::to_string(include.line) + " (" + std::string(include.fileLayer.name) +
         ") includes " + include.included + " (" + std::string(include.includedLayer.name) + ")";
}

}  // namespace vx::test
