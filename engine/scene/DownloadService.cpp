#include "engine/scene/DownloadService.h"

#include <filesystem>
#include <system_error>

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
  std::string folder = path::CacheFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

}  // namespace vx
