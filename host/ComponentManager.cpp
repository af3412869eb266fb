#include "host/ComponentManager.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/Compression.h"
#include "host/DownloadManager.h"
#include "host/LibraryFileName.h"
#include "host/PackageVerifier.h"
#include "host/ProgressWindow.h"
#include "platform/Numbers.h"
#include "platform/Path.h"

namespace vx::host {
namespace {

constexpr std::string_view kComponentManagerName = VX_COMPONENT_MANAGER_NAME;
constexpr std::string_view kCoreLibraryPrefix = "Vantessel";

CComponentManager* gManager = nullptr;
// The table GetComponentSlot goes through: set by the first builder call,
// cleared when the manager goes.
const VxSlotFunction* gHostTable = nullptr;

// The host table's slots: plain functions that forward to the one manager.
VxSlotFunction HostGetSlotByHandle(ComponentHandle* handle, int32_t slot) {
  return gManager ? gManager->GetSlotByHandle(handle, slot) : nullptr;
}
VxSlotFunction HostGetSlotByName(const char* name, int32_t slot) {
  return gManager ? gManager->GetSlotByName(name, slot) : nullptr;
}
int32_t HostDefineComponent(ComponentRecord* record, const char* name, int32_t value) {
  return gManager ? gManager->DefineComponent(record, name, value) : 1;
}
int32_t HostSetSlotCount(ComponentRecord* record, int16_t count, int32_t extra, int16_t major, int16_t minor) {
  return gManager ? gManager->SetSlotCount(record, count, extra, major, minor) : 1;
}
int32_t HostSetSlot(ComponentRecord* record, int16_t index, VxSlotFunction fn) {
  return gManager ? gManager->SetSlot(record, index, fn) : 1;
}
ComponentHandle* HostAcquireHandle(const char* name) {
  return gManager ? gManager->AcquireHandle(name) : nullptr;
}
void HostReleaseHandle(ComponentHandle* handle) {
  if (gManager)
    gManager->ReleaseHandle(handle);
  else
    delete handle;  // its record went with the manager
}

template <typename Fn>
VxSlotFunction AsSlot(Fn fn) {
  return reinterpret_cast<VxSlotFunction>(fn);
}

int32_t BuildComponentManagerTable(CComponentManager& manager, ComponentRecord* record) {
  manager.DefineComponent(record, VX_COMPONENT_MANAGER_NAME, 0);
  manager.SetSlotCount(record, VxHostSlotCount, 0, 1, 0);
  manager.SetSlot(record, VxHostGetSlotByHandle, AsSlot(&HostGetSlotByHandle));
  manager.SetSlot(record, VxHostGetSlotByName, AsSlot(&HostGetSlotByName));
  manager.SetSlot(record, VxHostDefineComponent, AsSlot(&HostDefineComponent));
  manager.SetSlot(record, VxHostSetSlotCount, AsSlot(&HostSetSlotCount));
  manager.SetSlot(record, VxHostSetSlot, AsSlot(&HostSetSlot));
  manager.SetSlot(record, VxHostAcquireHandle, AsSlot(&HostAcquireHandle));
  return manager.SetSlot(record, VxHostReleaseHandle, AsSlot(&HostReleaseHandle));
}

int32_t BuildDownloadTable(CComponentManager& manager, ComponentRecord* record) {
  VxBuilderArgs args{manager.Table(), record};
  return BuildVxDownloadTable(&args);
}

VxSlotFunction SlotOf(const ComponentRecord* record, int32_t slot) {
  if (!record || slot < 0 || static_cast<size_t>(slot) >= record->slots.size()) return nullptr;
  return record->slots[static_cast<size_t>(slot)];
}

}  // namespace

uint32_t ComponentHash(std::string_view name) {
  uint32_t x = 0;
  for (size_t i = 0; i < 4 && i < name.size(); ++i) x |= static_cast<uint32_t>(static_cast<uint8_t>(name[i])) << (8 * i);
  return (x * 1919231u) % kHashRange + 1;
}

int BucketOf(std::string_view name) {
  return name == kComponentManagerName ? 0 : static_cast<int>(ComponentHash(name));
}

CComponentManager::CComponentManager(std::string componentsPath, HostKind kind, std::string installedPath)
    : componentsPath_(std::move(componentsPath)),
      installedPath_(std::move(installedPath)),
      kind_(kind),
      trustedKey_(BuiltInUpdateKey()) {}

CComponentManager::~CComponentManager() {
  for (int index = 0; index < kMaxLibraries && libraryCount_ > 0; ++index) UnloadLibrary(index);
  records_.clear();
  if (gHostTable == table_) gHostTable = nullptr;
}

int32_t CComponentManager::Init() {
  RegisterBuiltIns();
  ScanComponentsFolder();
  return CoreLoaded() ? kComponentOk : kCoreComponentMissing;
}

void CComponentManager::RegisterBuiltIns() {
  RegisterBuiltIn(&BuildComponentManagerTable);
  RegisterBuiltIn(&BuildCompressionTable);
  RegisterBuiltIn(&BuildDownloadTable);
}

void CComponentManager::RegisterBuiltIn(BuiltInBuilder builder) {
  ComponentRecord* record = NewRecord();
  record->builtInBuilder = builder;
  CallBuilder(record);
}

ComponentRecord* CComponentManager::NewRecord() {
  records_.push_back(std::make_unique<ComponentRecord>());
  return records_.back().get();
}

int32_t CComponentManager::CallBuilder(ComponentRecord* record) {
  // "ComponentManager" is built first, so its builder runs before the table
  // exists; every later builder, and so every library, gets the table.
  if (!table_ && !buckets_[0].empty()) table_ = buckets_[0].front()->slots.data();
  if (!gHostTable) gHostTable = table_;
  if (record->FromLibrary()) {
    VxBuilderArgs args{table_, record};
    return record->libraryBuilder(&args);
  }
  return record->builtInBuilder(*this, record);
}

VxSlotFunction CComponentManager::GetSlotByHandle(const ComponentHandle* handle, int32_t slot) const {
  return handle ? SlotOf(handle->record, slot) : nullptr;
}

VxSlotFunction CComponentManager::GetSlotByName(const char* name, int32_t slot) const {
  return name ? SlotOf(FindComponent(name), slot) : nullptr;
}

const ComponentRecord* CComponentManager::FindComponent(std::string_view name) const { return FindRecord(name); }

ComponentRecord* CComponentManager::FindRecord(std::string_view name) const {
  for (ComponentRecord* record : buckets_[static_cast<size_t>(BucketOf(name))])
    if (record->name == name) return record;
  return nullptr;
}

int32_t CComponentManager::DefineComponent(ComponentRecord* record, const char* name, int32_t value) {
  if (!record || !name || std::strlen(name) > kMaxNameLength) return 1;
  if (record->bucket >= 0) RemoveFromBucket(record);
  record->defineValue = value;
  record->name = name;
  record->bucket = BucketOf(record->name);
  // A later definition of the same name takes the earlier one's place; the
  // earlier record stays owned (by its library, or by the manager) but is no
  // longer found by name.
  auto& chain = buckets_[static_cast<size_t>(record->bucket)];
  auto same = std::find_if(chain.begin(), chain.end(), [&](const ComponentRecord* r) { return r->name == record->name; });
  if (same != chain.end()) {
    (*same)->bucket = -1;
    *same = record;
  } else {
    chain.push_back(record);
  }
  return 0;
}

int32_t CComponentManager::SetSlotCount(ComponentRecord* record, int16_t count, int32_t extra, int16_t major,
                                        int16_t minor) {
  if (!record || count < 0) return 1;
  record->slots.assign(static_cast<size_t>(count), nullptr);
  record->extra = extra;
  record->major = major;
  record->minor = minor;
  return 0;
}

int32_t CComponentManager::SetSlot(ComponentRecord* record, int16_t index, VxSlotFunction fn) {
  if (!record || index < 0 || static_cast<size_t>(index) >= record->slots.size()) return 1;
  record->slots[static_cast<size_t>(index)] = fn;
  return 0;
}

ComponentHandle* CComponentManager::AcquireHandle(const char* name) {
  ComponentRecord* record = name ? FindRecord(name) : nullptr;
  if (!record) return nullptr;
  ++record->handleCount;
  return new ComponentHandle{record};
}

void CComponentManager::ReleaseHandle(ComponentHandle* handle) {
  if (!handle) return;
  ComponentRecord* record = handle->record;
  delete handle;
  if (--record->handleCount == 0 && record->orphaned) DestroyRecord(record);
}

void CComponentManager::RemoveFromBucket(ComponentRecord* record) {
  auto& chain = buckets_[static_cast<size_t>(record->bucket)];
  chain.erase(std::remove(chain.begin(), chain.end(), record), chain.end());
  record->bucket = -1;
}

void CComponentManager::DestroyRecord(ComponentRecord* record) {
  if (record->bucket >= 0) RemoveFromBucket(record);
  std::erase_if(records_, [&](const std::unique_ptr<ComponentRecord>& r) { return r.get() == record; });
}

std::vector<std::string> CComponentManager::ListLibraryFiles(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    // Hidden files are packages being installed, never libraries to load.
    if (entry.is_regular_file(error) && !name.starts_with('.') && name.size() > kLibraryExtension.size() &&
        name.ends_with(kLibraryExtension))
      names.push_back(std::move(name));
  }
  // The listing order decides between equal versions; make it the same on
  // every file system.
  std::sort(names.begin(), names.end());
  if (names.size() > static_cast<size_t>(kMaxScanNames)) names.resize(kMaxScanNames);
  return names;
}

void CComponentManager::ScanComponentsFolder() {
  const std::vector<std::string> own = ListLibraryFiles(componentsPath_);
  std::vector<std::string> listing = ListLibraryFiles(installedPath_);
  listing.insert(listing.end(), own.begin(), own.end());
  std::vector<std::string> chosen = SelectLibrariesToLoad(listing, kProductMajor);
  auto isOwn = [&](const std::string& name) { return std::find(own.begin(), own.end(), name) != own.end(); };
  // The Components folder is looked at first.
  std::stable_partition(chosen.begin(), chosen.end(), isOwn);
  for (const std::string& name : chosen)
    static_cast<void>(LoadComponentLibrary((isOwn(name) ? componentsPath_ : installedPath_) + name));
}

bool CComponentManager::CoreLoaded() const {
  return std::any_of(libraries_.begin(), libraries_.end(), [](const LoadedLibrary& loaded) {
    return loaded.library && loaded.fileName.starts_with(kCoreLibraryPrefix);
  });
}

int CComponentManager::FreeLibraryIndex() const {
  for (int index = 0; index < kMaxLibraries; ++index)
    if (!libraries_[static_cast<size_t>(index)].library) return index;
  return -1;
}

int32_t CComponentManager::LoadComponentLibrary(const std::string& path) {
  std::string fileName = path::FileNameOf(path);
  if (LibraryIndexOf(fileName) >= 0) return kComponentOk;
  int index = FreeLibraryIndex();
  std::unique_ptr<DynamicLibrary> library = index >= 0 ? DynamicLibrary::Open(path) : nullptr;
  if (!library) {
    CProgressWindow::Notify(FormatString("The component <%s> could not be found.", fileName.c_str()));
    return kLibraryNotLoaded;
  }
  LoadedLibrary& slot = libraries_[static_cast<size_t>(index)];
  slot.folder = path.substr(0, path.size() - fileName.size());
  slot.fileName = std::move(fileName);
  slot.library = std::move(library);
  ++libraryCount_;
  for (int n = 1;; ++n) {
    void* builder = slot.library->NumberedExport(n);
    if (!builder) break;
    ComponentRecord* record = NewRecord();
    record->libraryBuilder = reinterpret_cast<VxComponentBuilder>(builder);
    record->libraryIndex = index;
    CallBuilder(record);
  }
  return kComponentOk;
}

bool CComponentManager::UnloadLibrary(int index) {
  if (index < 0 || index >= kMaxLibraries || !libraries_[static_cast<size_t>(index)].library) return false;
  std::vector<ComponentRecord*> defined;
  for (const auto& record : records_)
    if (record->libraryIndex == index) defined.push_back(record.get());
  for (ComponentRecord* record : defined) {
    if (record->handleCount > 0) {
      // Someone still holds a handle: keep the record, empty, until it is
      // released, so the handle never reaches unloaded code.
      if (record->bucket >= 0) RemoveFromBucket(record);
      record->slots.clear();
      record->libraryIndex = -1;
      record->orphaned = true;
    } else {
      DestroyRecord(record);
    }
  }
  libraries_[static_cast<size_t>(index)] = LoadedLibrary{};
  --libraryCount_;
  return true;
}

int CComponentManager::LibraryIndexOf(std::string_view fileName) const {
  for (int index = 0; index < kMaxLibraries; ++index) {
    const LoadedLibrary& loaded = libraries_[static_cast<size_t>(index)];
    if (loaded.library && loaded.fileName == fileName) return index;
  }
  return -1;
}

const std::string& CComponentManager::LoadedFileName(int index) const {
  static const std::string kNone;
  if (index < 0 || index >= kMaxLibraries) return kNone;
  return libraries_[static_cast<size_t>(index)].fileName;
}

const std::string& CComponentManager::LoadedFolder(int index) const {
  static const std::string kNone;
  if (index < 0 || index >= kMaxLibraries) return kNone;
  return libraries_[static_cast<size_t>(index)].folder;
}

int32_t CreateComponentManager(HostKind kind, std::string installedPath) {
  if (gManager) return kComponentOk;
  gManager = new CComponentManager(path::ComponentsFolder(), kind, std::move(installedPath));
  return gManager->Init();
}

void DestroyComponentManager() {
  delete gManager;
  gManager = nullptr;
}

CComponentManager* ComponentManager() { return gManager; }

VxSlotFunction GetComponentSlot(const char* name, int32_t n) {
  if (!gHostTable) return nullptr;
  auto getSlotByName = reinterpret_cast<VxGetSlotByNameFn>(gHostTable[VxHostGetSlotByName]);
  return getSlotByName(name, n);
}

}  // namespace vx::host
