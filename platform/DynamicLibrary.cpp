#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include "platform/Numbers.h"
#include "vantessel/Export.h"

namespace vx {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& path, std::string* error) {
  // RTLD_LOCAL keeps each component's symbols to itself, so two components
  // (or the host and a component) never bind to each other's copies.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* reason = dlerror();
      *error = reason ? reason : "unknown error";
    }
    return nullptr;
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, path));
}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

void* DynamicLibrary::Symbol(const char* name) const { return dlsym(handle_, name); }

void* DynamicLibrary::NumberedExport(int n) const {
  char name[32];
  FormatC(name, sizeof name, "%s%d", VX_EXPORT_PREFIX, n);
  return Symbol(name);
}

}  // namespace vx
