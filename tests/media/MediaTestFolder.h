// A fresh temporary folder for one media test, removed with its files when
// the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vx::test {

class MediaTestFolder {
 public:
  MediaTestFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "vxmediaXXXXXX").string();
    if (!::mkdtemp(name.data())) std::abort();
    folder_ = name;
  }
  ~MediaTestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  MediaTestFolder(const MediaTestFolder&) = delete;
  MediaTestFolder& operator=(const MediaTestFolder&) = delete;

  std::string Path() const { return folder_.string(); }
  // Writes the file and returns its path.
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

 private:
  std::filesystem::path folder_;
};

}  // namespace vx::test
