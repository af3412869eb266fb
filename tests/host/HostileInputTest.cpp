// The download manager against a hostile server, hostile worlds and a forged
// cache log: every case ends in a reported failure or a bounded success, and
// nothing outside the cache is read as a cache hit or deleted.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "host/DownloadManager.h"
#include "tests/host/DownloadFixture.h"

namespace vx::host {
namespace {

// Short enough that the slow cases end well within a test's patience.
constexpr TransferLimits kShortLimits{.stallMs = 1000, .rateGraceMs = 500, .rateWindowMs = 500,
                                      .minBytesPerSecond = 1024};
constexpr uintmax_t kBigBody = 10 * 1024 * 1024;

// Every file under root outside the cache, with its size and time of change.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> FilesOutsideTheCache(const fs::path& root,
                                                                                    const std::string& cache) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string path = entry.path().string();
    if (entry.is_regular_file() && !path.starts_with(cache))
      files[path] = {entry.file_size(), entry.last_write_time()};
  }
  return files;
}

class HostileInputTest : public DownloadTest {
 protected:
  void SetUp() override {
    DownloadTest::SetUp();
    WriteFile(victim_, "the user's own file");
  }

  std::string victim_ = (folder_ / "root" / "victim.txt").string();
};

TEST_F(HostileInputTest, HostileResponsesFailOrSucceedWithinBounds) {
  Manager().SetTransferLimits(kShortLimits);
  const auto before = FilesOutsideTheCache(folder_, Manager().CacheFolder());
  for (const char* path :
       {"bad-status", "negative-length", "huge-length", "endless-headers", "short", "drip/1000", "missing.txt"}) {
    const Report report = Fetch(path);
    EXPECT_EQ(report.state, DownloadFailed) << path;
    EXPECT_FALSE(fs::exists(report.localPath)) << path;
  }
  EXPECT_EQ(ReadFile(Manager().CacheLogPath()), "") << "a failed transfer leaves no pair in the log";

  const Report big = Fetch("big", 1, 60000);
  ASSERT_EQ(big.state, DownloadDone);
  EXPECT_EQ(fs::file_size(big.localPath), kBigBody);
  int32_t held = 0;
  VxDownloadGetStatus(big.slot, nullptr, &held);
  EXPECT_EQ(static_cast<uintmax_t>(held), kBigBody);
  const auto* body = static_cast<const uint8_t*>(VxDownloadGetSlotBuffer(big.slot));
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(body[kBigBody - 1], 255);
  VxDownloadFreeSlotBuffer(big.slot);

  EXPECT_EQ(FilesOutsideTheCache(folder_, Manager().CacheFolder()), before);
}

TEST_F(HostileInputTest, DrippingServersLoseTheirSlots) {
  Manager().SetTransferLimits(kShortLimits);
  for (int i = 0; i < VX_DOWNLOAD_SLOTS; ++i) EXPECT_GE(Start("drip/1000/" + std::to_string(i)), 0);
  EXPECT_EQ(Start("a.txt"), -1) << "every slot is held";
  ASSERT_TRUE(PumpUntil([&] { return reports_.size() == VX_DOWNLOAD_SLOTS; }));
  for (const Report& report : reports_) EXPECT_EQ(report.state, DownloadFailed);
  EXPECT_EQ(Fetch("a.txt").state, DownloadDone);
}

TEST_F(HostileInputTest, ControlBytesInUrlsAndPathsAreRefused) {
  const std::string target = (folder_ / "target.txt").string();
  const std::string forging = FullUrl("a.txt\n" + FullUrl("b.txt") + "\n" + victim_);
  for (const std::string& url : {forging, FullUrl("a.txt\r"), FullUrl("a.txt") + "\n", FullUrl("a\tb.txt"),
                                 FullUrl("a\x7f.txt"), FullUrl("a.txt\r\nX-Injected: 1")}) {
    EXPECT_EQ(VxDownloadStart(url.c_str(), &callback_, 0, nullptr), -1);
    EXPECT_EQ(VxDownloadStartTo(url.c_str(), target.c_str(), &callback_, 0), -1);
  }
  const std::string badTarget = target + "\n" + victim_;
  EXPECT_EQ(VxDownloadStartTo(FullUrl("a.txt").c_str(), badTarget.c_str(), &callback_, 0), -1);
  EXPECT_EQ(Manager().ActiveCount(), 0);
  EXPECT_EQ(ReadFile(Manager().CacheLogPath()), "");

  const Report b = Fetch("b.txt");
  EXPECT_EQ(ReadFile(b.localPath), "bravo file, a little longer") << "no forged pair makes a cache hit";
  VxDownloadClearCache();
  EXPECT_EQ(ReadFile(victim_), "the user's own file");

  WriteFile(site_ / "my texture.txt", "named with a blank");
  EXPECT_EQ(ReadFile(Fetch("my texture.txt").localPath), "named with a blank");
}

TEST_F(HostileInputTest, TheCacheServesAndDeletesOnlyItsOwnFiles) {
  const std::string cache = Manager().CacheFolder();
  const std::string link = cache + "vxlc5.txt";
  fs::create_symlink(victim_, link);
  WriteFile(cache + "vxlc1.txt", "cached");
  fs::create_directory(cache + "vxlc0");
  const std::string escaping = cache + "vxlc0/../../../../victim.txt";
  ASSERT_EQ(ReadFile(escaping), "the user's own file");
  WriteFile(Manager().CacheLogPath(), FullUrl("a.txt") + "\n" + victim_ + "\n" +   // outside the cache
                                          FullUrl("b.txt") + "\n" + link + "\n" +  // a link out of it
                                          FullUrl("tight") + "\n" + escaping + "\n" +
                                          "a torn line\n" + FullUrl("line-feeds") + "\n" + cache + "vxlc1.txt\n");

  char local[VX_DOWNLOAD_TEXT_SIZE] = {};
  const int32_t a = Start("a.txt", 0, local);
  EXPECT_EQ(VxDownloadGetStatus(a, nullptr, nullptr), DownloadRunning) << local;
  EXPECT_EQ(VxDownloadGetStatus(Start("b.txt"), nullptr, nullptr), DownloadRunning);
  EXPECT_EQ(VxDownloadGetStatus(Start("tight"), nullptr, nullptr), DownloadRunning);
  EXPECT_EQ(VxDownloadGetStatus(Start("line-feeds", 0, local), nullptr, nullptr), DownloadDone)
      << "the pairs after a torn line stay in step";
  EXPECT_EQ(std::string(local), cache + "vxlc1.txt");
  ASSERT_TRUE(PumpUntil([&] { return reports_.size() == 4; }));
  for (const Report& report : reports_) EXPECT_EQ(report.state, DownloadDone) << report.url;
  for (const Report& report : reports_) {
    if (report.url == FullUrl("a.txt")) {
      EXPECT_EQ(ReadFile(report.localPath), "alpha file");
    }
  }

  VxDownloadClearCache();
  EXPECT_EQ(ReadFile(victim_), "the user's own file");
  EXPECT_TRUE(fs::is_symlink(link));

  // Nor does the in-use list of an interrupted run reach outside the cache.
  ReleaseDownloadManager();
  std::string inUse = victim_ + "\n" + link + "\n" + escaping + "\n";
  for (int i = 3; i < VX_DOWNLOAD_SLOTS; ++i) inUse += "0\n";
  WriteFile(cache + "inuse", inUse);
  AcquireDownloadManager();
  EXPECT_EQ(ReadFile(victim_), "the user's own file");
}

}  // namespace
}  // namespace vx::host
