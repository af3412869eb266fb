// The host's download service as the scene reader uses it.
//
// The host's "Vx_Download" component is reached through the component table
// handed to the engine's builder; the engine installs an adapter over it
// here when it starts. Tests install a double. Without a service the
// product's own cache folder is used.
#pragma once

#include <string>

namespace vx {

class IDownloadService {
 public:
  virtual ~IDownloadService() = default;
  // The download cache folder, ending in a path separator.
  virtual std::string GetCacheDirectory() = 0;
};

// Installs the service (not owned); null removes it.
void SetDownloadService(IDownloadService* service);
IDownloadService* GetDownloadService();

// The cache folder of the installed service, or the product's cache folder
// (created when missing).
std::string DownloadCacheDirectory();

}  // namespace vx
