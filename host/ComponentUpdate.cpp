// The component update: fetch the signed component registry from the maker's
// server, compare it with the loaded libraries, and install or replace
// libraries whose packages match their listed digests.
#include <cstdio>

#include "host/BlockingDownload.h"
#include "host/ComponentManager.h"
#include "host/Compression.h"
#include "host/DownloadManager.h"
#include "host/LibraryFileName.h"
#include "host/MakerServer.h"
#include "host/PackageVerifier.h"
#include "host/ProgressWindow.h"
#include "platform/Numbers.h"
#include "platform/Path.h"
#include "vantessel/Download.h"

namespace vx::host {
namespace {

constexpr std::string_view kSignatureSuffix = ".sig";
constexpr std::string_view kBackupSuffix = ".OLD";

constexpr const char* kAskDownloadText =
    "The Vantessel Component <%s> is out of date or missing.  Would you like to download the most recent version?";
constexpr const char* kProgressText = "Downloading the Vantessel Component Package: %s";
constexpr const char* kUpToDateText = "All Components are up to date.";
constexpr const char* kAskCoreText =
    "A required component package is not present in your Components folder. Do you wish to make an internet "
    "connection to download the latest copy?";
// Names the configuration file where it lies, with the two settings that
// take a proxy.
constexpr const char* kCoreMissingText =
    "A necessary component is not present and could not be downloaded. If you're behind a firewall, you'll need "
    "to add your proxy server to the file %s (the settings proxyServer and proxyPort).";
constexpr const char* kNoKeyText =
    "Newer Vantessel Components are available, but this installation has no key to verify component packages "
    "with, so none was downloaded. Please install the current version of the program.";
constexpr const char* kRegistryRefusedText =
    "The component registry from the server could not be verified. No component was downloaded.";
constexpr const char* kPackageRefusedText =
    "The Vantessel Component Package <%s> does not match the component registry and was not installed.";

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

std::string CoreMissingText() {
  return FormatString(kCoreMissingText, (path::PreferencesFolder() + kConfigFileName).c_str());
}

// Downloads url into the file and returns its bytes; the file is removed.
std::optional<std::string> FetchText(const std::string& url, const std::string& localPath) {
  if (DownloadBlocking(url, localPath) != DownloadOutcome::Done) return std::nullopt;
  std::optional<std::string> text = ReadWholeFile(localPath);
  RemoveFile(localPath);
  return text;
}

}  // namespace

std::optional<std::vector<RegistryRecord>> CComponentManager::FetchComponentRegistry() {
  const CDownloadManager* downloads = GetDownloadManager();
  if (!downloads) return std::nullopt;
  std::string url = MakerServerUrl() + downloads->Config().compRegistryPath;
  std::string localPath = componentsPath_ + path::FileNameOf(url);
  std::optional<std::string> text = FetchText(url, localPath);
  if (!text) return std::nullopt;
  if (!trustedKey_.empty()) {
    std::optional<std::string> signature =
        FetchText(url + std::string(kSignatureSuffix), localPath + std::string(kSignatureSuffix));
    if (!signature || !VerifySignature(trustedKey_, *text, *signature)) {
      CProgressWindow::Notify(kRegistryRefusedText);
      return std::nullopt;
    }
  }
  std::optional<RegistryFile> registry = ParseRegistryText(*text, kComponentRegistryFormat);
  if (!registry) return std::nullopt;
  return SelectRegistryEntries(std::move(registry->records), kProductMajor);
}

int16_t CComponentManager::UpdateComponents(int16_t all) {
  std::optional<std::vector<RegistryRecord>> entries = FetchComponentRegistry();
  if (!entries) return 0;
  VxDownloadWriteConfig();  // today's date: the update check is done for the day
  std::vector<PlannedUpdate> plan = PlanUpdates(*entries, all != 0);
  if (plan.empty()) {
    if (kind_ == HostKind::Viewer) CProgressWindow::Notify(kUpToDateText);
    return 1;
  }
  if (trustedKey_.empty()) {
    CProgressWindow::Notify(kNoKeyText);
    return 0;
  }
  for (const PlannedUpdate& update : plan) {
    if (update.libraryIndex >= 0)
      static_cast<void>(ReplaceComponentLibrary(update.libraryIndex, update.entry));
    else if (!InstallComponentPackage(update.entry))
      return 0;
  }
  return 1;
}

std::optional<std::string> CComponentManager::StagePackage(const RegistryRecord& entry) {
  std::optional<std::string> packageName = PackageFileName(entry);
  if (!packageName || entry.sha256.empty()) {
    CProgressWindow::Notify(FormatString(kPackageRefusedText, path::FileNameOf(entry.url).c_str()));
    return std::nullopt;
  }
  std::string libraryName = packageName->substr(0, packageName->size() - 3);
  if (kind_ == HostKind::Viewer &&
      CProgressWindow::Query(FormatString(kAskDownloadText, libraryName.c_str())) != kQueryYes)
    return std::nullopt;

  // Hidden names: the folder scan never picks up a package half way through.
  std::string stagedPackage = componentsPath_ + "." + *packageName;
  std::string stagedLibrary = componentsPath_ + "." + libraryName;
  CProgressWindow progress;
  progress.Create(FormatString(kProgressText, packageName->c_str()), kind_);
  if (DownloadBlocking(entry.url, stagedPackage, &progress) != DownloadOutcome::Done) return std::nullopt;

  if (Sha256OfFile(stagedPackage) != entry.sha256) {
    RemoveFile(stagedPackage);
    CProgressWindow::Notify(FormatString(kPackageRefusedText, packageName->c_str()));
    return std::nullopt;
  }
  RemoveFile(stagedLibrary);
  if (DecompressFile(stagedPackage.c_str()) != 0) {
    RemoveFile(stagedPackage);
    return std::nullopt;
  }
  return stagedLibrary;
}

bool CComponentManager::InstallComponentPackage(const RegistryRecord& entry) {
  std::optional<std::string> staged = StagePackage(entry);
  if (!staged) return false;
  std::string target = componentsPath_ + LibraryFileNameFor(entry.name, entry.major, entry.minor, kLibraryExtension);
  if (std::rename(staged->c_str(), target.c_str()) != 0) {
    RemoveFile(*staged);
    return false;
  }
  if (LoadComponentLibrary(target) == kComponentOk) return true;
  RemoveFile(target);
  return false;
}

int16_t CComponentManager::ReplaceComponentLibrary(int index, const RegistryRecord& entry) {
  if (LoadedFileName(index).empty()) return 0;
  // The new package is fetched and checked before the old library is touched.
  std::optional<std::string> staged = StagePackage(entry);
  if (!staged) return 0;
  std::string oldPath = LoadedFolder(index) + LoadedFileName(index);
  // A library of the installation is never moved: the new one goes to the
  // Components folder, and the old one stays behind it.
  const bool ownFile = LoadedFolder(index) == componentsPath_;
  std::string backup = oldPath + std::string(kBackupSuffix);
  std::string newPath = componentsPath_ + LibraryFileNameFor(entry.name, entry.major, entry.minor, kLibraryExtension);

  UnloadLibrary(index);
  if (ownFile) std::rename(oldPath.c_str(), backup.c_str());
  bool placed = std::rename(staged->c_str(), newPath.c_str()) == 0;
  if (placed && LoadComponentLibrary(newPath) == kComponentOk) {
    if (ownFile) RemoveFile(backup);
    return 1;
  }
  RemoveFile(placed ? newPath : *staged);
  if (ownFile) std::rename(backup.c_str(), oldPath.c_str());
  static_cast<void>(LoadComponentLibrary(oldPath));
  return 0;
}

int32_t CComponentManager::EnsureCoreComponent() {
  if (kind_ == HostKind::Plugin) return EnsureCoreComponentQuietly();
  if (CoreLoaded()) return kComponentOk;
  if (CProgressWindow::Query(kAskCoreText) == kQueryYes && UpdateComponents(1) && CoreLoaded()) return kComponentOk;
  CProgressWindow::Notify(CoreMissingText());
  return kCoreComponentMissing;
}

int32_t CComponentManager::EnsureCoreComponentQuietly() {
  const bool due = IsCheckDueToday();
  if (CoreLoaded() && !due) return kComponentOk;
  // Whether it succeeds or not, only a loaded engine counts.
  static_cast<void>(UpdateComponents(1));
  if (CoreLoaded()) return kComponentOk;
  if (due) CProgressWindow::Notify(CoreMissingText());
  return kCoreComponentMissing;
}

}  // namespace vx::host
