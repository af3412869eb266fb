#include <gtest/gtest.h>

#include <cstring>
#include <vantessel/Download.h>

#include "engine/scene/DownloadService.h"
#include "engine/world/HostTable.h"

namespace vx {
namespace {

int32_t FakeCacheDir(char* out) {
  std::strcpy(out, "/host/cache/");
  return static_cast<int32_t>(std::strlen(out)) + 1;
}

VxSlotFunction FakeSlotByName(const char* name, int32_t slot) {
  if (std::strcmp(name, "Vx_Download") != 0 || slot != VxDownloadGetCacheDirSlot) return nullptr;
  return reinterpret_cast<VxSlotFunction>(&FakeCacheDir);
}

TEST(DownloadService, TheCacheFolderComesFromTheHostsDownloadComponent) {
  VxSlotFunction table[VxHostSlotCount] = {};
  table[VxHostGetSlotByName] = reinterpret_cast<VxSlotFunction>(&FakeSlotByName);
  SetHostTable(table);
  EXPECT_EQ(DownloadCacheDirectory(), "/host/cache/");
  SetHostTable(nullptr);
}

}  // namespace
}  // namespace vx
