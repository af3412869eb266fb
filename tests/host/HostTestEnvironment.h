// A fresh product root for one host test: VANTESSEL_ROOT points at a new
// temporary folder with an empty Components folder, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Path.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {

class HostTestRoot {
 public:
  HostTestRoot() : root_("vxhost"), environment_("VANTESSEL_ROOT", root_.Path().c_str()) {
    std::filesystem::create_directories(path::ComponentsFolder());
    std::filesystem::create_directories(path::PreferencesFolder());
  }
  HostTestRoot(const HostTestRoot&) = delete;
  HostTestRoot& operator=(const HostTestRoot&) = delete;

  const std::string& Folder() const { return root_.Path(); }
  static std::string Components() { return path::ComponentsFolder(); }

#ifdef VX_HOST_FIXTURE_DIR
  // Copies the fixture library "<name>.so" into the Components folder.
  static void AddLibrary(const std::string& name) {
    std::filesystem::copy_file(FixtureLibrary(name), Components() + name + ".so",
                               std::filesystem::copy_options::overwrite_existing);
  }

  static std::string FixtureLibrary(const std::string& name) {
    return std::string(VX_HOST_FIXTURE_DIR) + "/" + name + ".so";
  }
#endif

  static void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

 private:
  TemporaryFolder root_;
  ScopedEnvironment environment_;
};

}  // namespace vx::test
