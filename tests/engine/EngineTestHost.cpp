#include "tests/engine/EngineTestHost.h"

#include <cstring>
#include <stdexcept>

#include <vantessel/Download.h>

namespace vx::test {
namespace {

EngineTestHost* gHost = nullptr;
ComponentHandle* const kDownloadHandle = reinterpret_cast<ComponentHandle*>(0x1000);

void Acquire() { ++gHost->Download().acquired; }
void Release() { ++gHost->Download().released; }
void Poll() { ++gHost->Download().polls; }
void ClearCache() { ++gHost->Download().cacheCleared; }
void WriteConfig() { ++gHost->Download().configWritten; }
int32_t GetCacheLimit() { return gHost->Download().cacheLimit; }
int32_t SetCacheLimit(int32_t bytes) { return gHost->Download().cacheLimit = bytes; }
void GetProgressText(char* out) {
  std::strncpy(out, gHost->Download().progressText.c_str(), VX_DOWNLOAD_TEXT_SIZE - 1);
  out[VX_DOWNLOAD_TEXT_SIZE - 1] = '\0';
}
int32_t Start(const char* url, const DownloadCallback*, int32_t, char*) {
  gHost->Download().lastUrl = url;
  return gHost->Download().nextRequest;
}
int32_t StartTo(const char* url, const char* localPath, const DownloadCallback*, int32_t) {
  gHost->Download().lastUrl = url;
  gHost->Download().lastLocalPath = localPath;
  return gHost->Download().nextRequest;
}
int32_t Decompress(const char* path) {
  gHost->decompressed.emplace_back(path);
  return gHost->decompressResult;
}

template <typename Fn>
VxSlotFunction AsSlot(Fn fn) {
  return reinterpret_cast<VxSlotFunction>(fn);
}

VxSlotFunction DownloadSlot(int32_t slot) {
  switch (slot) {
    case VxDownloadAcquireSlot: return AsSlot(&Acquire);
    case VxDownloadReleaseSlot: return AsSlot(&Release);
    case VxDownloadStartSlot: return AsSlot(&Start);
    case VxDownloadStartToSlot: return AsSlot(&StartTo);
    case VxDownloadPollSlot: return AsSlot(&Poll);
    case VxDownloadClearCacheSlot: return AsSlot(&ClearCache);
    case VxDownloadGetCacheLimitSlot: return AsSlot(&GetCacheLimit);
    case VxDownloadSetCacheLimitSlot: return AsSlot(&SetCacheLimit);
    case VxDownloadWriteConfigSlot: return AsSlot(&WriteConfig);
    case VxDownloadGetProgressTextSlot: return AsSlot(&GetProgressText);
    default: return nullptr;
  }
}

}  // namespace

// The host table's seven slots.
struct HostTableCalls {
  static VxSlotFunction GetSlotByHandle(ComponentHandle* handle, int32_t slot) {
    return handle == kDownloadHandle ? DownloadSlot(slot) : nullptr;
  }
  static VxSlotFunction GetSlotByName(const char* name, int32_t slot) {
    if (std::strcmp(name, "Vx_Download") == 0) return DownloadSlot(slot);
    if (std::strcmp(name, VX_COMPRESSION_NAME) == 0 && slot == VxCompressionDecompressFile)
      return AsSlot(&Decompress);
    return nullptr;
  }
  static int32_t DefineComponent(ComponentRecord*, const char* name, int32_t value) {
    gHost->definedName_ = name;
    gHost->definedValue_ = value;
    return 0;
  }
  static int32_t SetSlotCount(ComponentRecord*, int16_t count, int32_t extra, int16_t major, int16_t minor) {
    gHost->slotCountCall_ = {count, extra, major, minor};
    return 0;
  }
  static int32_t SetSlot(ComponentRecord*, int16_t index, VxSlotFunction fn) {
    gHost->setOrder_.push_back(index);
    gHost->slots_.at(index) = fn;
    return 0;
  }
  static ComponentHandle* AcquireHandle(const char* name) {
    return std::strcmp(name, "Vx_Download") == 0 ? kDownloadHandle : nullptr;
  }
  static void ReleaseHandle(ComponentHandle*) {}
};

EngineTestHost& EngineTestHost::Get() {
  static EngineTestHost host;
  return host;
}

EngineTestHost::EngineTestHost() {
  gHost = this;
  table_[VxHostGetSlotByHandle] = AsSlot(&HostTableCalls::GetSlotByHandle);
  table_[VxHostGetSlotByName] = AsSlot(&HostTableCalls::GetSlotByName);
  table_[VxHostDefineComponent] = AsSlot(&HostTableCalls::DefineComponent);
  table_[VxHostSetSlotCount] = AsSlot(&HostTableCalls::SetSlotCount);
  table_[VxHostSetSlot] = AsSlot(&HostTableCalls::SetSlot);
  table_[VxHostAcquireHandle] = AsSlot(&HostTableCalls::AcquireHandle);
  table_[VxHostReleaseHandle] = AsSlot(&HostTableCalls::ReleaseHandle);

  std::string error;
  library_ = DynamicLibrary::Open(VX_ENGINE_MODULE, &error);
  if (!library_) throw std::runtime_error("engine module not loaded: " + error);
  auto builder = reinterpret_cast<VxComponentBuilder>(library_->NumberedExport(1));
  if (!builder) throw std::runtime_error("engine module has no builder");
  VxBuilderArgs args{table_.data(), nullptr};
  builderResult_ = builder(&args);
}

}  // namespace vx::test
