#include "platform/media/MediaLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"

namespace vx {
namespace {

const VxMediaHost kHost = {sizeof(VxMediaHost), VX_MEDIA_LAYER_VERSION, NowMs};

const VxMediaLayer* g_loaded = nullptr;
// Never closed: the library's audio thread may outlive everything else.
DynamicLibrary* g_library = nullptr;

// The folder this library was loaded from, with its final '/'; "" when the
// loader cannot tell, and the name is then looked up as the loader does.
std::string OwnFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&MediaLibrary), &info) == 0 || !info.dli_fname) return "";
  const std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void SayUnusable(const std::string& reason) {
  std::fprintf(stderr, "vantessel: no movie and sound library (%s); movies and sounds do not play\n", reason.c_str());
}

const VxMediaLayer* Load() {
  const std::string path = OwnFolder() + VX_MEDIA_LIBRARY_FILE;
  std::string error;
  g_library = DynamicLibrary::Open(path, &error).release();
  if (!g_library) {
    SayUnusable(error);
    return nullptr;
  }
  const auto entry = reinterpret_cast<VxMediaEntryFn>(g_library->Symbol(VX_MEDIA_ENTRY_NAME));
  const VxMediaLayer* layer = entry ? entry(&kHost) : nullptr;
  if (!layer || layer->size != sizeof(VxMediaLayer) || layer->version != VX_MEDIA_LAYER_VERSION) {
    SayUnusable(path + " is of another version");
    return nullptr;
  }
  return layer;
}

}  // namespace

const VxMediaLayer* MediaLibrary() {
  static const VxMediaLayer* const layer = [] {
    g_loaded = Load();
    return g_loaded;
  }();
  return layer;
}

const VxMediaLayer* LoadedMediaLibrary() { return g_loaded; }

}  // namespace vx
