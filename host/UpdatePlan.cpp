// What a component update acts on: which registry entries count, which
// package names are acceptable, and which loaded libraries they replace.
#include <algorithm>

#include "host/ComponentManager.h"
#include "host/LibraryFileName.h"
#include "platform/Path.h"

namespace vx::host {
namespace {

constexpr std::string_view kCorePackageName = "Vantessel";

}  // namespace

std::optional<std::string> PackageFileName(const RegistryRecord& entry) {
  if (entry.name.empty() || entry.major < 0 || entry.minor < 0) return std::nullopt;
  std::string expected = LibraryFileNameFor(entry.name, entry.major, entry.minor, kPackageExtension);
  if (path::FileNameOf(entry.url) != expected || entry.url.find('\\') != std::string::npos) return std::nullopt;
  return expected;
}

std::vector<RegistryRecord> SelectRegistryEntries(std::vector<RegistryRecord> entries, int16_t productMajor) {
  std::erase_if(entries, [&](const RegistryRecord& e) { return e.major != productMajor; });
  std::vector<RegistryRecord> kept;
  for (const RegistryRecord& entry : entries) {
    bool newerExists = std::any_of(entries.begin(), entries.end(), [&](const RegistryRecord& other) {
      return other.name == entry.name && other.minor > entry.minor;
    });
    if (!newerExists) kept.push_back(entry);
  }
  return kept;
}

void CComponentManager::SetTrustedUpdateKey(std::string publicKeyPem) { trustedKey_ = std::move(publicKeyPem); }

int CComponentManager::LibraryOfComponent(std::string_view component) const {
  for (int index = 0; index < kMaxLibraries; ++index) {
    std::optional<LibraryFileName> parsed = ParseLibraryFileName(LoadedFileName(index));
    if (parsed && parsed->component == component && parsed->major == kProductMajor) return index;
  }
  return -1;
}

std::vector<PlannedUpdate> CComponentManager::PlanUpdates(const std::vector<RegistryRecord>& entries, bool all) const {
  std::vector<PlannedUpdate> plan;
  for (const RegistryRecord& entry : entries) {
    const ComponentRecord* builtIn = FindComponent(entry.name);
    if (builtIn && !builtIn->FromLibrary()) continue;  // part of the host, updated with it
    int index = LibraryOfComponent(entry.name);
    if (index >= 0) {
      std::optional<LibraryFileName> loaded = ParseLibraryFileName(LoadedFileName(index));
      if (IsOlderVersion(static_cast<int16_t>(loaded->major), static_cast<int16_t>(loaded->minor), entry.major,
                         entry.minor))
        plan.push_back({entry, index});
    } else if (all || entry.name == kCorePackageName) {
      plan.push_back({entry, -1});
    }
  }
  return plan;
}

}  // namespace vx::host
