#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include <vantessel/Download.h>

#include "engine/hostlink/DownloadService.h"
#include "engine/hostlink/HostTable.h"
#include "tests/host/HostDownloads.h"
#include "tests/scene/ScriptedDownloads.h"

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

struct Outcome {
  int32_t state = -1;
  std::string localPath;
  int calls = 0;
};

CDownload::DoneHandler Recorder(Outcome& outcome) {
  return [&outcome](int32_t state, const std::string& localPath) {
    outcome.state = state;
    outcome.localPath = localPath;
    ++outcome.calls;
  };
}

TEST(Download, ReportsTheEndOnceWithTheFileThatHoldsTheBody) {
  ScriptedDownloads service;
  Outcome outcome;
  CDownload download;
  ASSERT_TRUE(download.Start("http://example/a.wrl", Recorder(outcome)));
  EXPECT_TRUE(download.IsRunning());
  EXPECT_EQ(download.State(), DownloadRunning);
  EXPECT_FALSE(download.Start("http://example/b.wrl", Recorder(outcome))) << "one download at a time";

  service.End(download.Slot(), DownloadDone, "/cache/vxlc1.wrl");
  EXPECT_EQ(outcome.calls, 1);
  EXPECT_EQ(outcome.state, DownloadDone);
  EXPECT_EQ(outcome.localPath, "/cache/vxlc1.wrl");
  EXPECT_FALSE(download.IsRunning());
  EXPECT_EQ(download.Slot(), -1);
  EXPECT_EQ(download.State(), DownloadFree);
}

TEST(Download, AFailureCarriesNoFileAndARefusalNeverStarts) {
  ScriptedDownloads service;
  Outcome outcome;
  CDownload download;
  ASSERT_TRUE(download.Start("http://example/missing.wrl", Recorder(outcome)));
  service.End(download.Slot(), DownloadFailed, "/cache/partial.wrl");
  EXPECT_EQ(outcome.state, DownloadFailed);
  EXPECT_EQ(outcome.localPath, "");

  service.refuse = true;
  EXPECT_FALSE(download.Start("http://example/again.wrl", Recorder(outcome)));
  EXPECT_FALSE(download.IsRunning());
  EXPECT_EQ(outcome.calls, 1);
}

TEST(Download, CancellingOrDestroyingStopsTheDownloadWithoutCallingBack) {
  ScriptedDownloads service;
  Outcome outcome;
  {
    CDownload download;
    ASSERT_TRUE(download.Start("http://example/a.wrl", Recorder(outcome)));
    download.Cancel();
    EXPECT_FALSE(download.IsRunning());
    ASSERT_TRUE(download.Start("http://example/b.wrl", Recorder(outcome))) << "a cancelled download can start again";
  }
  EXPECT_EQ(service.cancelled, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(outcome.calls, 0);
  EXPECT_TRUE(service.requests.empty());
}

TEST(Download, TheHandlerMayDestroyItsDownload) {
  ScriptedDownloads service;
  auto download = std::make_unique<CDownload>();
  int calls = 0;
  ASSERT_TRUE(download->Start("http://example/a.wrl", [&](int32_t, const std::string&) {
    download.reset();
    ++calls;
  }));
  service.End(0, DownloadDone, "/cache/a.wrl");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(download, nullptr);
}

TEST(Download, AReportForAnotherSlotIsIgnored) {
  ScriptedDownloads service;
  Outcome outcome;
  CDownload download;
  ASSERT_TRUE(download.Start("http://example/a.wrl", Recorder(outcome)));
  DownloadRequest stray = {};
  stray.slot = download.Slot() + 5;
  stray.state = DownloadDone;
  service.requests[download.Slot()].callback(VX_DOWNLOAD_EVENT, &stray, &download);
  EXPECT_EQ(outcome.calls, 0);
  EXPECT_TRUE(download.IsRunning());
}

// Through the host's own download manager, from a loopback server.
class HostDownload : public ::testing::Test {
 protected:
  HostDownload() : site_(MakeSite()), server_(site_.string()) {}
  ~HostDownload() override { std::filesystem::remove_all(site_); }

  static std::filesystem::path MakeSite() {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "vxdlsiteXXXXXX";
    std::string name = folder.string();
    if (!::mkdtemp(name.data())) std::abort();
    std::ofstream(std::filesystem::path(name) / "world.wrl") << "#VRML V2.0 utf8\n";
    return name;
  }
  std::string Url(const std::string& file) const { return "http://" + server_.HostAndPort() + "/" + file; }

  std::filesystem::path site_;
  test::HttpTestServer server_;
  test::ScopedHostDownloads downloads_;
};

TEST_F(HostDownload, AFileArrivesAndAMissingOneFails) {
  ASSERT_NE(server_.Port(), 0);
  Outcome found;
  Outcome missing;
  CDownload first;
  CDownload second;
  ASSERT_TRUE(first.Start(Url("world.wrl"), Recorder(found)));
  ASSERT_TRUE(second.Start(Url("nothing.wrl"), Recorder(missing)));
  ASSERT_TRUE(test::ScopedHostDownloads::PumpUntil([&] { return found.calls && missing.calls; }));
  EXPECT_EQ(found.state, DownloadDone);
  std::ifstream body(found.localPath);
  std::string header;
  std::getline(body, header);
  EXPECT_EQ(header, "#VRML V2.0 utf8");
  EXPECT_EQ(missing.state, DownloadFailed);
}

TEST_F(HostDownload, ADownloadDestroyedWhileRunningNeverCallsBack) {
  Outcome outcome;
  {
    CDownload download;
    ASSERT_TRUE(download.Start(Url("stall/100"), Recorder(outcome)));
    test::ScopedHostDownloads::PumpUntil([] { return false; }, 50);
  }
  test::ScopedHostDownloads::PumpUntil([] { return false; }, 50);
  EXPECT_EQ(outcome.calls, 0);
}

}  // namespace
}  // namespace vx
