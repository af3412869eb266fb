// The host's download service as the scene reader uses it.
//
// The host's "Vx_Download" component is reached by slot through the component
// table kept from the engine's builder call (HostTable.h). Tests install a
// double in its place. Without either, the product's own cache folder is
// used.
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

// The cache folder of the installed double, else of the host's "Vx_Download",
// else the product's cache folder (created when missing).
std::string DownloadCacheDirectory();

}  // namespace vx
