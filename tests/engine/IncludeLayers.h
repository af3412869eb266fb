// The layers of the code, bottom up, and the check that every include of the
// tree names a file of its own layer or of one below it. Header-only uses
// compile and link in any direction, so the libraries alone cannot hold the
// rule; this reads the includes themselves.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::test {

// A layer's place in the order (0 is the lowest) and its name.
struct Layer {
  int rank = 0;
  std::string_view name;
};

// The layer of a file, by its path from the top of the tree: the longest
// folder or file-name beginning of the layer table that it starts with;
// none for a file outside every layer (tests, benchmarks, fuzz targets).
std::optional<Layer> LayerOf(std::string_view path);

// An include that names a file of a higher layer than the including one's.
struct UpwardInclude {
  std::string file;
  int line = 0;
  std::string included;
  Layer fileLayer;
  Layer includedLayer;
};

struct IncludeScan {
  std::vector<UpwardInclude> upward;
  // Source files in a folder of the layers that no layer claims: a new
  // folder has to be given its place.
  std::vector<std::string> withoutLayer;
  int filesRead = 0;
  int includesChecked = 0;
};

// Reads every source file under the layers' top folders of the tree at
// root.
IncludeScan ScanIncludes(const std::filesystem::path& root);

std::string Describe(const UpwardInclude& include);

}  // namespace vx::test
