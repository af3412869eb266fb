// The component manager: the one place where a host and its component
// libraries find each other.
//
// Every service is a component, a named table of function slots with a
// version. The manager registers the host's built-in components, loads the
// libraries of the Components folder and of the installation's own
// components folder (each numbered export builds one component), and
// answers lookups of slot n of the component with a given name. It owns
// every record and every loaded library until it is destroyed.
//
// The installation's folder is read-only to the manager: what an update
// brings goes to the Components folder, and there a library wins over the
// installation's of the same version.
//
// One manager exists per process (CreateComponentManager); the host table it
// hands to libraries forwards to it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/ComponentRecord.h"
#include "host/HostKind.h"
#include "host/HostLimits.h"
#include "host/Registry.h"
#include "platform/DynamicLibrary.h"
#include "vantessel/Component.h"

namespace vx::host {

// Results of CreateComponentManager, Init and LoadComponentLibrary.
inline constexpr int32_t kComponentOk = 0;
inline constexpr int32_t kCoreComponentMissing = 2;
inline constexpr int32_t kLibraryNotLoaded = 6;

// The bucket hash: the first four bytes of the name as a little-endian
// number (bytes past the name's end count as 0), times 1919231 modulo 2^32,
// modulo 241, plus 1. Always in 1..241.
uint32_t ComponentHash(std::string_view name);

// The bucket a name lives in: 0 for "ComponentManager", else its hash.
int BucketOf(std::string_view name);

// One registry entry that an update acts on: a loaded library to replace
// (libraryIndex >= 0) or a missing component to install (-1).
struct PlannedUpdate {
  RegistryRecord entry;
  int libraryIndex;
};

// The name of entry's package, "<name><major>_<minor>.so.gz", when its URL
// ends in exactly that name; nothing otherwise.
std::optional<std::string> PackageFileName(const RegistryRecord& entry);

// The registry entries a host of this product major acts on: that major
// only, and of entries with one name the highest minor (equal minors stay).
std::vector<RegistryRecord> SelectRegistryEntries(std::vector<RegistryRecord> entries, int16_t productMajor);

class CComponentManager {
 public:
  // Both folders end in '/'; installedPath may be empty (no installation).
  CComponentManager(std::string componentsPath, HostKind kind, std::string installedPath = {});
  ~CComponentManager();
  CComponentManager(const CComponentManager&) = delete;
  CComponentManager& operator=(const CComponentManager&) = delete;

  // Registers the built-ins, then loads the Components folder; 0, or
  // kCoreComponentMissing when no engine library could be loaded.
  int32_t Init();

  // True while a library of the core component (the engine, "Vantessel...")
  // is loaded.
  bool CoreLoaded() const;
  const std::string& ComponentsPath() const { return componentsPath_; }

  // The operations of the host table.
  VxSlotFunction GetSlotByHandle(const ComponentHandle* handle, int32_t slot) const;
  VxSlotFunction GetSlotByName(const char* name, int32_t slot) const;
  int32_t DefineComponent(ComponentRecord* record, const char* name, int32_t value);
  int32_t SetSlotCount(ComponentRecord* record, int16_t count, int32_t extra, int16_t major, int16_t minor);
  int32_t SetSlot(ComponentRecord* record, int16_t index, VxSlotFunction fn);
  ComponentHandle* AcquireHandle(const char* name);
  void ReleaseHandle(ComponentHandle* handle);

  // The component defined last under this exact name; null when none is.
  const ComponentRecord* FindComponent(std::string_view name) const;

  // The slot table handed to every library builder.
  const VxSlotFunction* Table() const { return table_; }

  // Loads the libraries of the Components folder and of the installation's
  // by the file name rules, as if they were one folder, with the Components
  // folder listed after the installation's.
  void ScanComponentsFolder();

  // Loads one library and runs its builders: 0, or kLibraryNotLoaded (with
  // a Notify box) when it does not load or 32 libraries are loaded. A library whose file name is loaded already
  // is not loaded twice.
  [[nodiscard]] int32_t LoadComponentLibrary(const std::string& path);

  // Unloads library `index` and drops the components it defined. False when
  // no library has that index (built-ins are never unloaded).
  bool UnloadLibrary(int index);

  // The index of the loaded library with this file name; -1 when none.
  int LibraryIndexOf(std::string_view fileName) const;
  // The file name of loaded library `index`; empty when none.
  const std::string& LoadedFileName(int index) const;
  // The folder it was loaded from; empty when none.
  const std::string& LoadedFolder(int index) const;
  int LibraryCount() const { return libraryCount_; }

  // Component update. Code is downloaded only from a component registry
  // signed by the trusted key, and loaded only when its package matches the
  // digest listed for it; without a key nothing is downloaded.
  //
  // 0 when the engine library is loaded, or was installed now; else
  // kCoreComponentMissing. The viewer asks before it connects and tells the
  // user when the engine stays missing. The plug-in asks nothing and goes to
  // the maker's server only once a day while its engine is loaded; it tells
  // the user only when that daily check failed.
  int32_t EnsureCoreComponent();
  // 1 done, 0 failed. With all 0 only a missing core package is installed;
  // with 1 every listed package that is missing or newer.
  int16_t UpdateComponents(int16_t all);
  // What an update would do with these (selected) registry entries.
  std::vector<PlannedUpdate> PlanUpdates(const std::vector<RegistryRecord>& entries, bool all) const;
  // Replaces loaded library `index` by entry's package; on any failure the
  // old library stays in place and loaded. 1 replaced, 0 not.
  int16_t ReplaceComponentLibrary(int index, const RegistryRecord& entry);
  [[nodiscard]] bool InstallComponentPackage(const RegistryRecord& entry);
  // The Ed25519 public key (PEM) registries must be signed with; the build's
  // key at first, empty when it has none.
  void SetTrustedUpdateKey(std::string publicKeyPem);

 private:
  struct LoadedLibrary {
    std::string folder;
    std::string fileName;
    std::unique_ptr<DynamicLibrary> library;
  };

  int32_t EnsureCoreComponentQuietly();
  void RegisterBuiltIns();
  void RegisterBuiltIn(BuiltInBuilder builder);
  ComponentRecord* NewRecord();
  ComponentRecord* FindRecord(std::string_view name) const;
  int32_t CallBuilder(ComponentRecord* record);
  void RemoveFromBucket(ComponentRecord* record);
  void DestroyRecord(ComponentRecord* record);
  int FreeLibraryIndex() const;
  static std::vector<std::string> ListLibraryFiles(const std::string& folder);
  int LibraryOfComponent(std::string_view component) const;
  std::optional<std::vector<RegistryRecord>> FetchComponentRegistry();
  std::optional<std::string> StagePackage(const RegistryRecord& entry);

  std::string componentsPath_;
  std::string installedPath_;
  HostKind kind_;
  std::string trustedKey_;
  // Each bucket keeps the records whose names share its hash, one per name.
  std::array<std::vector<ComponentRecord*>, kBucketCount> buckets_;
  std::vector<std::unique_ptr<ComponentRecord>> records_;
  std::array<LoadedLibrary, kMaxLibraries> libraries_;
  int libraryCount_ = 0;
  const VxSlotFunction* table_ = nullptr;
};

// Creates the process's manager and runs Init: 0, or kCoreComponentMissing.
// When the manager exists already, returns 0 at once. installedPath is the
// installation's own components folder, if the host has one.
int32_t CreateComponentManager(HostKind kind = HostKind::Viewer, std::string installedPath = {});
void DestroyComponentManager();

// The process's manager; null before CreateComponentManager.
CComponentManager* ComponentManager();

// Slot n of the component with this name, through the host table; null when
// the component or the slot does not exist. Hosts call it at every use.
VxSlotFunction GetComponentSlot(const char* name, int32_t n);

}  // namespace vx::host
