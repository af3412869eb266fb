// The product registry: the local "Products Registry.txt" (which products
// are installed, at which version) and the shell version check against the
// product registry on the maker's server.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/HostKind.h"
#include "host/Registry.h"

namespace vx::host {

class CProductRegistry {
 public:
  // Reads the local registry, records the own product at its version and
  // writes the file back.
  explicit CProductRegistry(HostKind kind);

  // Fetches the server's product registry and, when it lists a newer version
  // of the own product, tells the user where to get it. 1 when the registry
  // was fetched and read, 0 otherwise. The plug-in checks only when the
  // daily check is due, and answers 0 at once on other days.
  int16_t CheckShellVersion();

  const std::vector<RegistryRecord>& LocalEntries() const { return localEntries_; }
  const std::string& SiteUrl() const { return siteUrl_; }
  const std::string& OwnName() const { return ownName_; }
  int16_t OwnMajor() const { return ownMajor_; }

 private:
  void WriteLocalRegistry() const;

  HostKind kind_;
  std::vector<RegistryRecord> localEntries_;
  std::string ownName_;
  int16_t ownMajor_;
  int16_t ownMinor_;
  std::string localRegistryPath_;
  std::string siteUrl_;
};

// One registry per process, counted: the first Acquire creates it, the last
// Release destroys it. The kind is taken from the first Acquire.
CProductRegistry* AcquireProductRegistry(HostKind kind = HostKind::Viewer);
void ReleaseProductRegistry();

}  // namespace vx::host
