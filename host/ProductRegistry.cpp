#include "host/ProductRegistry.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "host/BlockingDownload.h"
#include "host/DownloadManager.h"
#include "host/HostLimits.h"
#include "host/MakerServer.h"
#include "host/ProgressWindow.h"
#include "platform/Numbers.h"
#include "platform/Path.h"

namespace vx::host {
namespace {

CProductRegistry* gRegistry = nullptr;
int gRegistryUsers = 0;

}  // namespace

CProductRegistry::CProductRegistry(HostKind kind)
    : kind_(kind),
      ownName_(OwnProductName(kind)),
      ownMajor_(kProductMajor),
      ownMinor_(kProductMinor),
      localRegistryPath_(path::ProductsRegistryFile()),
      siteUrl_(MakerServerUrl()) {
  if (std::optional<RegistryFile> local = ParseRegistryFile(localRegistryPath_, kProductRegistryFormat))
    localEntries_ = std::move(local->records);
  auto own = std::find_if(localEntries_.begin(), localEntries_.end(),
                          [&](const RegistryRecord& entry) { return entry.name == ownName_; });
  if (own != localEntries_.end()) {
    own->major = ownMajor_;
    own->minor = ownMinor_;
  } else if (localEntries_.size() < static_cast<size_t>(kMaxProductEntries)) {
    localEntries_.push_back(RegistryRecord{ownName_, ownMajor_, ownMinor_, {}, {}});
  }
  WriteLocalRegistry();
}

void CProductRegistry::WriteLocalRegistry() const {
  std::ofstream(localRegistryPath_, std::ios::binary | std::ios::trunc) << LocalProductRegistryText(localEntries_);
}

int16_t CProductRegistry::CheckShellVersion() {
  const CDownloadManager* downloads = GetDownloadManager();
  if (!downloads || (kind_ == HostKind::Plugin && !IsCheckDueToday())) return 0;
  std::string url = MakerServerUrl() + downloads->Config().productRegistryPath;
  std::string localPath = downloads->PreferencesFolder() + path::FileNameOf(url);
  if (DownloadBlocking(url, localPath) != DownloadOutcome::Done) return 0;
  std::optional<RegistryFile> server = ParseRegistryFile(localPath, kProductRegistryFormat);
  std::remove(localPath.c_str());
  if (!server) return 0;
  if (server->siteUrl) siteUrl_ = *server->siteUrl;
  for (const RegistryRecord& entry : server->records) {
    if (entry.name == ownName_ && IsOlderVersion(ownMajor_, ownMinor_, entry.major, entry.minor)) {
      CProgressWindow::Notify(FormatString(
          "Your shell %s is out of date!  Please go to the following URL to download a more recent version: %s",
          ownName_.c_str(), siteUrl_.c_str()));
      break;
    }
  }
  return 1;
}

CProductRegistry* AcquireProductRegistry(HostKind kind) {
  if (!gRegistry) gRegistry = new CProductRegistry(kind);
  ++gRegistryUsers;
  return gRegistry;
}

void ReleaseProductRegistry() {
  if (gRegistryUsers == 0 || --gRegistryUsers > 0) return;
  delete gRegistry;
  gRegistry = nullptr;
}

}  // namespace vx::host
