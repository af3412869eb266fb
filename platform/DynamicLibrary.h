// Loading component libraries and finding their numbered exports.
#pragma once

#include <memory>
#include <string>

#include "platform/PlatformExport.h"

namespace vx {

class VX_PLATFORM_API DynamicLibrary {
 public:
  // Loads the library at path; null on failure, with the loader's reason in
  // error when given.
  static std::unique_ptr<DynamicLibrary> Open(const std::string& path, std::string* error = nullptr);

  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // The address of an exported symbol; null when there is none.
  void* Symbol(const char* name) const;

  // Numbered export n (1, 2, ...): the symbol "VxExport<n>"; null when missing.
  void* NumberedExport(int n) const;

  const std::string& Path() const { return path_; }

 private:
  DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  void* handle_;
  std::string path_;
};

}  // namespace vx
