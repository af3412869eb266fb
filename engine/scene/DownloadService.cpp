#include "engine/scene/DownloadService.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include <vantessel/Download.h>

#include "engine/world/HostTable.h"
#include "platform/Path.h"

namespace vx {
namespace {

IDownloadService*& InstalledService() {
  static IDownloadService* service = nullptr;
  return service;
}

}  // namespace

void SetDownloadService(IDownloadService* service) { InstalledService() = service; }

IDownloadService* GetDownloadService() { return InstalledService(); }

std::string DownloadCacheDirectory() {
  if (IDownloadService* service = GetDownloadService()) return service->GetCacheDirectory();
  if (auto slot = reinterpret_cast<VxDownloadGetTextFn>(GetComponentSlot("Vx_Download", VxDownloadGetCacheDirSlot))) {
    char folder[VX_DOWNLOAD_TEXT_SIZE] = {};
    if (slot(folder) > 1) return std::string(folder, strnlen(folder, sizeof folder - 1));
  }
  std::string folder = path::CacheFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

}  // namespace vx
