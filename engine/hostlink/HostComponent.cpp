#include "engine/hostlink/HostComponent.h"

#include <vantessel/Download.h>

#include "engine/hostlink/HostTable.h"

namespace vx {
namespace {

// A component name is kept with at most this many characters.
constexpr size_t kMaxComponentNameLength = 255;

template <typename Fn>
Fn HostSlot(int32_t slot) {
  const VxSlotFunction* table = GetHostTable();
  return table ? reinterpret_cast<Fn>(table[slot]) : nullptr;
}

}  // namespace

CHostComponent::CHostComponent(const char* name) : name_(std::string(name).substr(0, kMaxComponentNameLength)) {
  if (auto acquire = HostSlot<VxAcquireHandleFn>(VxHostAcquireHandle)) handle_ = acquire(name_.c_str());
}

CHostComponent::~CHostComponent() {
  if (!handle_) return;
  if (auto release = HostSlot<VxReleaseHandleFn>(VxHostReleaseHandle)) release(handle_);
}

VxSlotFunction CHostComponent::SlotFunction(int32_t slot) const {
  if (!handle_) return nullptr;
  auto lookup = HostSlot<VxGetSlotByHandleFn>(VxHostGetSlotByHandle);
  return lookup ? lookup(handle_, slot) : nullptr;
}

namespace {

// Slots 0 and 1 of "Vx_Download" keep the host's download manager alive for
// as long as the engine uses it.
void CallDownloadLifetimeSlot(int32_t slot) {
  if (auto fn = reinterpret_cast<VxDownloadAcquireFn>(GetComponentSlot("Vx_Download", slot))) fn();
}

std::weak_ptr<CHostComponent>& SharedDownloadComponent() {
  static std::weak_ptr<CHostComponent> shared;
  return shared;
}

}  // namespace

std::shared_ptr<CHostComponent> GetDownloadComponent() { return SharedDownloadComponent().lock(); }

std::string DownloadProgressText() {
  const std::shared_ptr<CHostComponent> service = GetDownloadComponent();
  auto text = service ? service->Slot<VxDownloadGetProgressTextFn>(VxDownloadGetProgressTextSlot) : nullptr;
  if (!text) return {};
  char buffer[VX_DOWNLOAD_TEXT_SIZE] = {};
  text(buffer);
  buffer[VX_DOWNLOAD_TEXT_SIZE - 1] = '\0';
  return buffer;
}

std::shared_ptr<CHostComponent> AcquireDownloadComponent() {
  std::weak_ptr<CHostComponent>& shared = SharedDownloadComponent();
  if (auto existing = shared.lock()) return existing;
  CallDownloadLifetimeSlot(VxDownloadAcquireSlot);
  std::shared_ptr<CHostComponent> component(new CHostComponent("Vx_Download"), [](CHostComponent* held) {
    delete held;
    CallDownloadLifetimeSlot(VxDownloadReleaseSlot);
  });
  shared = component;
  return component;
}

}  // namespace vx
