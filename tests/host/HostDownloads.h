// The real "Vx_Download" for engine-side tests: a fresh product root, the
// host's download manager, and a host table through which the engine finds
// the component by name or through its handle, all undone when the object
// goes.
#pragma once

#include <cstring>
#include <functional>

#include <vantessel/Component.h>
#include <vantessel/Download.h>

#include "engine/hostlink/HostTable.h"
#include "host/DownloadManager.h"
#include "tests/host/HostTestEnvironment.h"
#include "tests/host/TestPeers.h"

namespace vx::test {

class ScopedHostDownloads {
 public:
  ScopedHostDownloads() {
    host::AcquireDownloadManager();
    table_[VxHostGetSlotByName] = reinterpret_cast<VxSlotFunction>(&SlotByName);
    table_[VxHostGetSlotByHandle] = reinterpret_cast<VxSlotFunction>(&SlotByHandle);
    table_[VxHostAcquireHandle] = reinterpret_cast<VxSlotFunction>(&AcquireHandle);
    table_[VxHostReleaseHandle] = reinterpret_cast<VxSlotFunction>(&ReleaseHandle);
    SetHostTable(table_);
  }
  ~ScopedHostDownloads() {
    SetHostTable(nullptr);
    host::ReleaseDownloadManager();
  }
  ScopedHostDownloads(const ScopedHostDownloads&) = delete;
  ScopedHostDownloads& operator=(const ScopedHostDownloads&) = delete;

  // Polls the downloads and pumps messages until done() holds; false when
  // the time ran out.
  static bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    return test::PumpUntil(
        [&] {
          host::VxDownloadPoll();
          return done();
        },
        timeoutMs);
  }

 private:
  static VxSlotFunction SlotByName(const char* name, int32_t slot) {
    if (!name || std::strcmp(name, "Vx_Download") != 0 || slot < 0 || slot >= VxDownloadSlotCount) return nullptr;
    return host::VxDownloadSlotTable()[slot];
  }
  // "Vx_Download" is the one component, so its handle only has to be non-null.
  static ComponentHandle* DownloadHandle() {
    static char tag;
    return reinterpret_cast<ComponentHandle*>(&tag);
  }
  static ComponentHandle* AcquireHandle(const char* name) {
    return name && std::strcmp(name, "Vx_Download") == 0 ? DownloadHandle() : nullptr;
  }
  static void ReleaseHandle(ComponentHandle*) {}
  static VxSlotFunction SlotByHandle(ComponentHandle* handle, int32_t slot) {
    return handle == DownloadHandle() ? SlotByName("Vx_Download", slot) : nullptr;
  }

  HostTestRoot root_;
  VxSlotFunction table_[VxHostSlotCount] = {};
};

}  // namespace vx::test
