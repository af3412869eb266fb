// Helpers shared by the platform tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace vx::test {

// Sets (or, with null, unsets) an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~ScopedEnvironment() {
    if (previous_)
      setenv(name_.c_str(), previous_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// A fresh temporary folder named after prefix, removed with its files when
// the object goes.
class TemporaryFolder {
 public:
  explicit TemporaryFolder(const char* prefix) {
    std::string name = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (!::mkdtemp(name.data())) std::abort();
    folder_ = name;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& Path() const { return folder_; }
  // Writes the file and returns its path.
  std::string Write(const std::string& name, const std::string& content) const {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

 private:
  std::string folder_;
};

}  // namespace vx::test
