// Slots of the engine instance and of the host's download service.
#include <new>

#include <vantessel/Download.h>

#include "engine/media/SharedInverseMap.h"
#include "engine/interface/EngineSlotSupport.h"
#include "engine/interface/RemoteCommands.h"

namespace vx {
namespace {

// The instance's download service when it has one; null otherwise.
CHostComponent* DownloadOf(::EngineInstance* handle) {
  vx::EngineInstance* instance = FromHandle(handle);
  if (!instance || !instance->download || !instance->download->IsAvailable()) return nullptr;
  return instance->download.get();
}

template <typename Fn>
Fn DownloadSlot(::EngineInstance* handle, int32_t slot) {
  CHostComponent* download = DownloadOf(handle);
  return download ? download->Slot<Fn>(slot) : nullptr;
}

::EngineInstance* CreateEngineInstance() {
  auto* instance = new (std::nothrow) vx::EngineInstance();
  if (!instance) return nullptr;
  instance->download = AcquireDownloadComponent();
  ResetSharedInverseMap();
  return ToHandle(instance);
}

EngineResult GetEngineVersion(uint16_t* major, uint16_t* minor) {
  if (major) *major = VX_ENGINE_INTERFACE_MAJOR;
  if (minor) *minor = VX_ENGINE_INTERFACE_MINOR;
  return EngineOk;
}

EngineResult DestroyEngineInstance(::EngineInstance* handle) {
  vx::EngineInstance* instance = FromHandle(handle);
  if (!instance) return EngineNullArgument;
  if (!instance->scenes.empty()) return EngineInstanceHasScenes;
  if (instance->RequestDestroy()) delete instance;
  return EngineOk;
}

// A command may reach a host function that destroys the instance: it goes
// once the commands have been answered.
void RunRemoteCommands(::EngineInstance* handle) {
  vx::EngineInstance* instance = FromHandle(handle);
  if (!instance) return;
  HostCallScope call(*instance);
  AnswerRemoteCommands(*instance);
}

EngineResult GetDownloadStatusText(::EngineInstance* handle, char* text) {
  auto fn = DownloadSlot<VxDownloadGetProgressTextFn>(handle, VxDownloadGetProgressTextSlot);
  if (!fn || !text) return EngineNullArgument;
  char hostText[VX_DOWNLOAD_TEXT_SIZE] = {};
  fn(hostText);
  CopyToCaller(BoundedText(hostText), text);
  return EngineOk;
}

EngineResult ClearDownloadCache(::EngineInstance* handle) {
  auto fn = DownloadSlot<VxDownloadClearCacheFn>(handle, VxDownloadClearCacheSlot);
  if (!fn) return EngineNullArgument;
  fn();
  return EngineOk;
}

EngineResult GetCacheSizeLimit(::EngineInstance* handle, uint32_t* out) {
  auto fn = DownloadSlot<VxDownloadGetCacheLimitFn>(handle, VxDownloadGetCacheLimitSlot);
  if (!fn) return EngineNullArgument;
  int32_t limit = fn();
  if (out) *out = static_cast<uint32_t>(limit);
  return EngineOk;
}

EngineResult SetCacheSizeLimit(::EngineInstance* handle, uint32_t limit) {
  auto set = DownloadSlot<VxDownloadSetCacheLimitFn>(handle, VxDownloadSetCacheLimitSlot);
  auto write = DownloadSlot<VxDownloadWriteConfigFn>(handle, VxDownloadWriteConfigSlot);
  if (!set || !write) return EngineNullArgument;
  set(static_cast<int32_t>(limit));
  write();
  return EngineOk;
}

EngineResult ReservedSlot() { return EngineOk; }

EngineResult StartEngineDownload(::EngineInstance* handle, const char* url, DownloadCallback* callback,
                                 int32_t* outRequest) {
  auto fn = DownloadSlot<VxDownloadStartFn>(handle, VxDownloadStartSlot);
  if (!fn || !url) return EngineNullArgument;
  int32_t request = fn(url, callback, 0, nullptr);
  if (outRequest) *outRequest = request;
  FromHandle(handle)->networkEnabled = true;
  return EngineOk;
}

EngineResult StartEngineDownloadToFile(::EngineInstance* handle, const char* url, const char* localPath,
                                       DownloadCallback* callback, int32_t* outRequest) {
  auto fn = DownloadSlot<VxDownloadStartToFn>(handle, VxDownloadStartToSlot);
  if (!fn || !url || !localPath) return EngineNullArgument;
  int32_t request = fn(url, localPath, callback, 0);
  if (outRequest) *outRequest = request;
  FromHandle(handle)->networkEnabled = true;
  return EngineOk;
}

EngineResult PollDownloads(::EngineInstance* handle) {
  if (!handle) return EngineNullArgument;
  if (auto fn = DownloadSlot<VxDownloadPollFn>(handle, VxDownloadPollSlot)) fn();
  return EngineOk;
}

EngineResult SetNetworkEnabled(::EngineInstance* handle, uint16_t on) {
  if (!DownloadOf(handle)) return EngineNullArgument;
  FromHandle(handle)->networkEnabled = on != 0;
  return EngineOk;
}

}  // namespace

void AddInstanceSlots(EngineSlotTable& table) {
  SetEngineSlot<VxEngineCreateEngineInstance>(table, &CreateEngineInstance);
  SetEngineSlot<VxEngineGetEngineVersion>(table, &GetEngineVersion);
  SetEngineSlot<VxEngineDestroyEngineInstance>(table, &DestroyEngineInstance);
  SetEngineSlot<VxEngineRunRemoteCommands>(table, &RunRemoteCommands);
  SetEngineSlot<VxEngineGetDownloadStatusText>(table, &GetDownloadStatusText);
  SetEngineSlot<VxEngineClearDownloadCache>(table, &ClearDownloadCache);
  SetEngineSlot<VxEngineGetCacheSizeLimit>(table, &GetCacheSizeLimit);
  SetEngineSlot<VxEngineSetCacheSizeLimit>(table, &SetCacheSizeLimit);
  SetEngineSlot<VxEngineReservedSlot9>(table, &ReservedSlot);
  SetEngineSlot<VxEngineReservedSlot10>(table, &ReservedSlot);
  SetEngineSlot<VxEngineStartEngineDownload>(table, &StartEngineDownload);
  SetEngineSlot<VxEngineStartEngineDownloadToFile>(table, &StartEngineDownloadToFile);
  SetEngineSlot<VxEnginePollDownloads>(table, &PollDownloads);
  SetEngineSlot<VxEngineSetNetworkEnabled>(table, &SetNetworkEnabled);
}

}  // namespace vx
