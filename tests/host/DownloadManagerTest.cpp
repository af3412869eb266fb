#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/DownloadManager.h"
#include "host/HostConfig.h"
#include "platform/Faults.h"
#include "platform/Numbers.h"
#include "tests/host/DownloadFixture.h"

namespace vx::host {
namespace {

TEST_F(DownloadTest, ConfigIsWrittenOnFirstRunAndReadBack) {
  const std::string expected =
      "###############################################\n"
      "# Use this configuration file to set up       #\n"
      "# your proxy server (if you have one).        #\n"
      "# Just fill in the fields below. For example: #\n"
      "# proxyServer=myproxy                         #\n"
      "# proxyPort=8080                              #\n"
      "# If you ever need to switch back to no proxy #\n"
      "# server, just delete this file.              #\n"
      "###############################################\n"
      "version=1\nproxyServer=\nproxyPort=\ncacheSize=5\n"
      "home=http://" + server_.HostAndPort() + "/home.tsw\n"
      "date=129108500\n"
      "CompRegistry=ovreg_new/ComponentRegistry.txt\n"
      "ProductRegistry=ovreg_new/ProductRegistry.txt\n";
  EXPECT_EQ(ReadFile(Manager().ConfigPath()), expected);
  for (const char* folder : {"Cache", "Components", "Preferences"})
    EXPECT_TRUE(fs::is_directory(folder_ / "root/Orvanta/Vantessel Viewer" / folder));

  WriteFile(Manager().ConfigPath(),
            "# comment line=ignored\n\r\nproxyServer = my proxy \nstray words\nproxyPort=3128\n"
            "cacheSize=99999\nhome=http://h/w.tsw\ndate=5\nunknown=1\nversion=1\nproxyPort=bad\n");
  Restart();
  const HostConfig& config = Manager().Config();
  EXPECT_EQ(config.proxyServer, "myproxy");
  EXPECT_EQ(config.proxyPort, 3128);
  EXPECT_EQ(config.cacheLimit, 2147 * 1'000'000);  // the largest limit a byte count holds
  EXPECT_EQ(config.homeUrl, "http://h/w.tsw");
  EXPECT_EQ(config.date, 5u);

  VxDownloadSetCacheLimit(7'000'000);
  VxDownloadWriteConfig();
  const std::string rewritten = ReadFile(Manager().ConfigPath());
  EXPECT_NE(rewritten.find("proxyServer=myproxy\nproxyPort=3128\ncacheSize=7\nhome=http://h/w.tsw\ndate=" +
                           std::to_string(TodayPackedDate()) + "\n"),
            std::string::npos)
      << rewritten;

  // Without a version the file is rewritten with date 0, so the next start is due.
  WriteFile(Manager().ConfigPath(), "cacheSize=3\n");
  Restart();
  EXPECT_NE(ReadFile(Manager().ConfigPath()).find("version=1\nproxyServer=\nproxyPort=0\ncacheSize=3\n"),
            std::string::npos);
  EXPECT_NE(ReadFile(Manager().ConfigPath()).find("\ndate=0\n"), std::string::npos);
}

TEST(HostConfig, AValueEndsAtANulAsItWouldWhenWritten) {
  constexpr char kText[] = "proxyServer=my\0proxy\nhome=http://h/w.tsw\0junk\nproxyPort=8\0\n";
  HostConfig read;
  ParseConfigText(std::string_view(kText, sizeof kText - 1), read);
  EXPECT_EQ(read.proxyServer, "my");
  EXPECT_EQ(read.homeUrl, "http://h/w.tsw");
  EXPECT_EQ(read.proxyPort, 8);
  HostConfig readBack;
  ParseConfigText(ConfigFileText(read, read.date), readBack);
  EXPECT_EQ(readBack.proxyServer, read.proxyServer);
  EXPECT_EQ(readBack.homeUrl, read.homeUrl);
}

TEST_F(DownloadTest, DownloadsIntoTheCacheAndHitsItAcrossARestart) {
  const std::string bare = server_.HostAndPort() + "/a.txt";
  std::vector<char> callerText(bare.begin(), bare.end());
  callerText.push_back('\0');
  ASSERT_GE(VxDownloadStart(callerText.data(), &callback_, 0, nullptr), 0);
  ASSERT_TRUE(PumpUntil([&] { return !reports_.empty(); }));
  EXPECT_EQ(std::string(callerText.data()), bare) << "the caller's text is not rewritten";
  const Report first = reports_.back();
  EXPECT_EQ(first.state, DownloadDone);
  EXPECT_EQ(first.url, FullUrl("a.txt"));
  EXPECT_EQ(first.localPath, Manager().CacheFolder() + "vxlc0.txt");
  EXPECT_EQ(ReadFile(first.localPath), "alpha file");
  EXPECT_EQ(Manager().CacheTotal(), 10);
  EXPECT_EQ(ReadFile(Manager().CacheLogPath()), FullUrl("a.txt") + "\n" + first.localPath + "\n");

  Restart();
  EXPECT_EQ(Manager().CacheTotal(), 10);
  char cached[VX_DOWNLOAD_TEXT_SIZE] = {};
  const int32_t slot = Start("a.txt", 1, cached);
  ASSERT_GE(slot, 0);
  EXPECT_EQ(VxDownloadGetStatus(slot, nullptr, nullptr), DownloadDone);
  EXPECT_EQ(std::string(cached), first.localPath);
  VxDownloadPoll();
  ASSERT_EQ(reports_.size(), 2u);
  EXPECT_EQ(reports_.back().state, DownloadDone);
  EXPECT_EQ(VxDownloadGetSlotBuffer(slot), nullptr) << "a cache hit keeps no memory copy";

  // A listed file that is gone is fetched again under a new name.
  fs::remove(first.localPath);
  const Report again = Fetch("a.txt");
  EXPECT_EQ(again.state, DownloadDone);
  EXPECT_EQ(again.localPath, Manager().CacheFolder() + "vxlc1.txt");
}

// A requester that, told of its end, cancels its own slot and starts anew.
struct Chain {
  std::string nextUrl;
  DownloadCallback next;
  int32_t started = -2;
};

void CancelSelfAndStartNext(int32_t, DownloadRequest* request, void* userData) {
  auto* chain = static_cast<Chain*>(userData);
  VxDownloadCancel(request->slot);
  chain->started = VxDownloadStart(chain->nextUrl.c_str(), &chain->next, 0, nullptr);
}

TEST_F(DownloadTest, CacheHitsInOneTickEachGetTheirCallback) {
  Fetch("a.txt");
  Fetch("b.txt");
  reports_.clear();
  Chain chain{FullUrl("tight"), callback_};
  const DownloadCallback chained{&chain, &CancelSelfAndStartNext};
  const int32_t a = VxDownloadStart(FullUrl("a.txt").c_str(), &chained, 0, nullptr);
  const int32_t b = Start("b.txt");
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_NE(a, b);
  VxDownloadPoll();
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].url, FullUrl("b.txt"));
  EXPECT_EQ(chain.started, a) << "a reported slot is free again inside its callback";
  ASSERT_TRUE(PumpUntil([&] { return reports_.size() == 2; }));
  EXPECT_EQ(reports_[1].state, DownloadDone);
  EXPECT_EQ(Manager().ActiveCount(), 0);
}

TEST_F(DownloadTest, TwelveRunAtOnceAndCancelFreesASlot) {
  std::vector<int32_t> slots;
  for (int i = 0; i < VX_DOWNLOAD_SLOTS; ++i) slots.push_back(Start("stall/4096/" + std::to_string(i) + ".bin"));
  for (int32_t slot : slots) EXPECT_GE(slot, 0);
  EXPECT_EQ(Start("a.txt"), -1) << "a thirteenth download";
  VxDownloadCancel(slots[3]);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].state, DownloadCancelled);
  EXPECT_FALSE(fs::exists(reports_[0].localPath));
  EXPECT_EQ(Start("stall/4096/5.bin"), -1) << "the same URL twice";
  EXPECT_GE(Start("a.txt"), 0);

  // While they run, the in-use list names their files.
  const std::string inUse = ReadFile(Manager().InUsePath());
  EXPECT_NE(inUse.find(Manager().CacheFolder() + "vxlc0.bin\n"), std::string::npos);
  EXPECT_EQ(std::count(inUse.begin(), inUse.end(), '\n'), VX_DOWNLOAD_SLOTS);
}

TEST_F(DownloadTest, FailedTransfersAreReportedAndLeaveNoFile) {
  Manager().SetTransferLimits({.stallMs = 1000});
  for (const char* path : {"missing.txt", "short", "stall/2000"}) {
    const Report report = Fetch(path);
    EXPECT_EQ(report.state, DownloadFailed) << path;
    EXPECT_FALSE(fs::exists(report.localPath)) << path;
  }
  EXPECT_EQ(Manager().CacheTotal(), 0);

  const Report tight = Fetch("tight");
  EXPECT_EQ(tight.state, DownloadDone);
  EXPECT_EQ(ReadFile(tight.localPath), "\n\n" + std::string(121, 't'));
  const Report lineFeeds = Fetch("line-feeds");
  EXPECT_EQ(lineFeeds.state, DownloadDone);
  EXPECT_EQ(ReadFile(lineFeeds.localPath), "\n\nbody");
}

// A moved file is followed wherever its Location points, for five hops;
// the requester learns where the body came from, and the cache files it
// there.
TEST_F(DownloadTest, RedirectsAreFollowedForFiveHops) {
  fs::create_directories(site_ / "dir");
  WriteFile(site_ / "dir" / "b.txt", "in a folder");
  const std::string a = FullUrl("a.txt");
  const struct {
    std::string path;
    std::string from;
  } followed[] = {
      {"m?code=301&to=" + a, a},
      {"m?code=302&to=" + a, a},
      {"m?code=303&to=" + a, a},
      {"m?code=307&to=" + a, a},
      {"m?code=308&to=" + a, a},
      {"dir/m?to=b.txt", FullUrl("dir/b.txt")},
      {"dir/m?to=/a.txt", a},
      {"m?to=//" + server_.HostAndPort() + "/dir/b.txt", FullUrl("dir/b.txt")},
      {"hops/5/a.txt", FullUrl("hops/0/a.txt")},
  };
  std::string firstInFolder;
  for (const auto& entry : followed) {
    const Report report = Fetch(entry.path);
    const bool inFolder = entry.from.ends_with("b.txt");
    if (firstInFolder.empty() && inFolder) firstInFolder = report.localPath;
    EXPECT_EQ(report.state, DownloadDone) << entry.path;
    EXPECT_EQ(report.url, entry.from) << entry.path;
    EXPECT_EQ(ReadFile(report.localPath), inFolder ? "in a folder" : "alpha file") << entry.path;
  }
  EXPECT_EQ(Fetch("dir/b.txt").localPath, firstInFolder) << "a cache hit";

  for (const char* path : {"loop", "hops/6/a.txt"}) {
    const Report report = Fetch(path);
    EXPECT_EQ(report.state, DownloadFailed) << path;
    EXPECT_EQ(Manager().FailureTextOf(report.slot), kTooManyRedirects) << path;
    EXPECT_FALSE(fs::exists(report.localPath)) << path;
  }
  EXPECT_EQ(Manager().FailureTextOf(Fetch("missing.txt").slot), "") << "a 404 says why by its status";
  const Report host = Fetch("host");
  EXPECT_EQ(ReadFile(host.localPath), server_.HostAndPort()) << "the Host line names the port";
}

// Bytes of every value, with blank lines in them, as no header parser must
// take them for its own.
std::string BinaryBody(size_t size) {
  std::string body;
  uint32_t state = 17;
  while (body.size() < size) {
    state = state * 1103515245u + 12345u;
    body += static_cast<char>(state >> 24);
    if (body.size() % 1000 == 0) body += "\r\n\r\n";
  }
  return body;
}

TEST_F(DownloadTest, ABodyWithoutALengthEndsWithTheServersCloseAndOneCutShortFails) {
  const std::string body = BinaryBody(100000);
  WriteFile(site_ / "body.bin", body);

  const Report undeclared = Fetch("undeclared/body.bin");
  ASSERT_EQ(undeclared.state, DownloadDone);
  EXPECT_EQ(ReadFile(undeclared.localPath), body) << "every byte, in many blocks";
  EXPECT_EQ(Manager().CacheTotal(), static_cast<int32_t>(body.size()));
  const Report small = Fetch("nolength");
  ASSERT_EQ(small.state, DownloadDone);
  EXPECT_EQ(ReadFile(small.localPath), "no length here");

  for (const char* path : {"undeclared-reset/body.bin", "short"}) {
    const Report cut = Fetch(path);
    EXPECT_EQ(cut.state, DownloadFailed) << path << ": a reset is no end, nor a close inside a declared length";
    EXPECT_FALSE(fs::exists(cut.localPath)) << path;
  }

  // A receive that fails is a broken connection, not the end of the body.
  WriteFile(site_ / "again.bin", body);
  const ScopedFault brokenReceive(FaultKind::kRead, 3);
  EXPECT_EQ(Fetch("undeclared/again.bin").state, DownloadFailed);
}

TEST_F(DownloadTest, CacheLimitAndClearingKeepNamesUnique) {
  EXPECT_EQ(VxDownloadGetCacheLimit(), 5'000'000);
  VxDownloadSetCacheLimit(5);
  const Report a = Fetch("a.txt");
  ASSERT_EQ(a.state, DownloadDone);
  // Over the limit: the next miss empties the cache first.
  const int32_t running = Start("stall/4096/x.txt");
  ASSERT_GE(running, 0);
  EXPECT_EQ(ReadFile(Manager().CacheLogPath()).find(FullUrl("a.txt")), std::string::npos);
  EXPECT_NE(ReadFile(a.localPath), "alpha file");
  EXPECT_EQ(Manager().CacheTotal(), 0);

  VxDownloadClearCache();
  const Report b = Fetch("b.txt");
  EXPECT_EQ(b.state, DownloadDone);
  EXPECT_NE(b.localPath, Manager().CacheFolder() + "vxlc0.txt") << "still written by the running transfer";
  EXPECT_NE(ReadFile(Manager().CacheLogPath()).find(FullUrl("stall/4096/x.txt")), std::string::npos);
}

TEST_F(DownloadTest, UrlsOfAnyLengthOrShapeKeepTheCacheInStep) {
  // A URL of the longest length its buffer holds, longer than a log line.
  const std::string longName = std::string(VX_DOWNLOAD_TEXT_SIZE - 1 - FullUrl("").size() - 4, 'n') + ".txt";
  ASSERT_EQ(FullUrl(longName).size(), VX_DOWNLOAD_TEXT_SIZE - 1u);
  WriteFile(site_ / longName, "long");
  EXPECT_EQ(Fetch(longName).state, DownloadDone);
  EXPECT_EQ(Fetch("a.txt").state, DownloadDone);
  EXPECT_EQ(Start(std::string(300, 'x')), -1) << "a URL longer than its buffer";
  const Report folder = Fetch("");
  EXPECT_EQ(folder.state, DownloadDone);
  EXPECT_EQ(fs::path(folder.localPath).parent_path().string() + "/", Manager().CacheFolder())
      << "a URL that ends in '/' still names a file in the Cache folder";
  Restart();
  reports_.clear();
  EXPECT_EQ(VxDownloadGetStatus(Start(longName), nullptr, nullptr), DownloadDone);
  EXPECT_EQ(VxDownloadGetStatus(Start("a.txt"), nullptr, nullptr), DownloadDone);
}

TEST_F(DownloadTest, LeftoversOfAnInterruptedRunAreDeleted) {
  const std::string leftover = Manager().CacheFolder() + "vxlc7.bin";
  ReleaseDownloadManager();
  WriteFile(leftover, "half");
  std::string inUse = leftover + "\n";
  for (int i = 1; i < VX_DOWNLOAD_SLOTS; ++i) inUse += "0\n";
  WriteFile(fs::path(leftover).parent_path() / "inuse", inUse);
  AcquireDownloadManager();
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(ReadFile(Manager().InUsePath()), "");
}

TEST_F(DownloadTest, AfterARefreshEachUrlIsFetchedAfreshOnceThenServedFromTheCache) {
  static_cast<void>(Fetch("a.txt"));
  WriteFile(site_ / "a.txt", "alpha, edited");
  EXPECT_EQ(ReadFile(Fetch("a.txt").localPath), "alpha file") << "the cache serves what it holds";

  Manager().RefreshFromServer();
  const Report fresh = Fetch("a.txt");
  EXPECT_EQ(ReadFile(fresh.localPath), "alpha, edited");
  EXPECT_EQ(ReadFile(Manager().CacheLogPath()), FullUrl("a.txt") + "\n" + fresh.localPath + "\n")
      << "in place of the old";
  WriteFile(site_ / "a.txt", "alpha, edited twice");
  EXPECT_EQ(ReadFile(Fetch("a.txt").localPath), "alpha, edited") << "once fetched afresh, cached again";
}

// Another process that starts, clears the cache or ends while this one
// downloads leaves this one's files alone; one that ended without cleaning
// up has its half-written files deleted.
TEST_F(DownloadTest, ProcessesSharingTheCacheKeepEachOthersFiles) {
  const int32_t running = Start("stall/4096");
  ASSERT_GE(running, 0);
  const std::string listed = ReadFile(Manager().InUsePath());
  const std::string writing = listed.substr(0, listed.find('\n'));
  ASSERT_TRUE(fs::exists(writing)) << listed;
  const Report kept = Fetch("a.txt");

  // A manager of its own in a child process, as another program's; the
  // child ends without running what it took over from this process.
  auto inOtherProcess = [](void (*work)(CDownloadManager&)) {
    const pid_t child = fork();
    if (child == 0) {
      {
        CDownloadManager other;
        work(other);
      }
      _exit(0);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  ASSERT_TRUE(inOtherProcess([](CDownloadManager&) {}));
  ASSERT_TRUE(inOtherProcess([](CDownloadManager& other) { other.ClearCache(); }));
  EXPECT_TRUE(fs::exists(writing)) << "a file this process writes";
  EXPECT_FALSE(fs::exists(kept.localPath)) << "a finished copy is the cache's to clear";

  // A process that ended without cleaning up left a list no one holds.
  const std::string leftover = Manager().CacheFolder() + "vxlc9.bin";
  const std::string stale = Manager().CacheFolder() + "inuse.999999999";
  WriteFile(leftover, "half");
  WriteFile(stale, leftover + "\n");
  ASSERT_TRUE(inOtherProcess([](CDownloadManager&) {}));
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists(leftover)) << "the interrupted run's file";
  EXPECT_TRUE(fs::exists(writing));
  VxDownloadCancel(running);
}

TEST_F(DownloadTest, ProgressTextFollowsTheTransfers) {
  char text[VX_DOWNLOAD_TEXT_SIZE] = "unchanged";
  VxDownloadGetProgressText(text);
  EXPECT_STREQ(text, "");
  const int32_t slot = Start("stall/2048");
  int32_t total = 0, received = 0;
  ASSERT_TRUE(PumpUntil([&] {
    return VxDownloadGetStatus(slot, &total, &received) == DownloadRunning && received == 1024;
  }));
  EXPECT_EQ(total, 2048);
  VxDownloadGetProgressText(text);
  EXPECT_STREQ(text, "Downloading 1 file(s), 50% done (of 2.0K).");
  const int32_t undeclared = Start("undeclared-stall/4096");
  ASSERT_TRUE(PumpUntil([&] {
    return VxDownloadGetStatus(undeclared, &total, &received) == DownloadRunning && received == 4096;
  }));
  EXPECT_EQ(total, -1);
  VxDownloadGetProgressText(text);
  EXPECT_STREQ(text, "Downloading 2 file(s), 50% done (of 2.0K).") << "a body of no known length counts nothing";
  VxDownloadCancel(undeclared);
  VxDownloadCancel(slot);
  VxDownloadGetProgressText(text);
  EXPECT_STREQ(text, "Welcome To Vantessel");
  VxDownloadGetProgressText(text);
  EXPECT_STREQ(text, "");
}

TEST_F(DownloadTest, MemoryCopyAndDownloadsToAGivenFile) {
  const Report kept = Fetch("b.txt", 1);
  ASSERT_EQ(kept.state, DownloadDone);
  const auto* body = static_cast<const char*>(VxDownloadGetSlotBuffer(kept.slot));
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(std::string(body, 27), "bravo file, a little longer");
  int32_t received = 0;
  EXPECT_EQ(VxDownloadGetStatus(kept.slot, nullptr, &received), DownloadFree);
  EXPECT_EQ(received, 27);
  VxDownloadFreeSlotBuffer(kept.slot);
  EXPECT_EQ(VxDownloadGetSlotBuffer(kept.slot), nullptr);

  const std::string target = (folder_ / "given.txt").string();
  ASSERT_GE(VxDownloadStartTo(FullUrl("a.txt").c_str(), target.c_str(), &callback_, 0), 0);
  ASSERT_TRUE(PumpUntil([&] { return reports_.size() == 2; }));
  EXPECT_EQ(reports_.back().state, DownloadDone);
  EXPECT_EQ(ReadFile(target), "alpha file");
  EXPECT_EQ(Manager().CacheTotal(), 27) << "a download to a given file is not part of the cache";
}

TEST_F(DownloadTest, ArgumentsAreCheckedAndTextsBounded) {
  for (int32_t slot : {-1, VX_DOWNLOAD_SLOTS, 1000}) {
    EXPECT_EQ(VxDownloadGetStatus(slot, nullptr, nullptr), 0);
    EXPECT_EQ(VxDownloadGetSlotBuffer(slot), nullptr);
    VxDownloadCancel(slot);
    VxDownloadFreeSlotBuffer(slot);
  }
  int32_t total = -7;
  EXPECT_EQ(VxDownloadGetStatus(0, &total, nullptr), DownloadFree);
  EXPECT_EQ(total, -7);
  EXPECT_EQ(VxDownloadStart(nullptr, &callback_, 0, nullptr), -1);
  EXPECT_EQ(VxDownloadStartTo(FullUrl("a.txt").c_str(), nullptr, &callback_, 0), -1);

  char out[VX_DOWNLOAD_TEXT_SIZE];
  EXPECT_EQ(VxDownloadGetCacheDir(out), static_cast<int32_t>(Manager().CacheFolder().size()) + 1);
  EXPECT_EQ(std::string(out), Manager().CacheFolder());
  const std::string registry = "http://" + server_.HostAndPort() + "/ovreg_new/ProductRegistry.txt";
  EXPECT_EQ(VxDownloadGetProductRegistryUrl(out), static_cast<int32_t>(registry.size()));
  EXPECT_EQ(std::string(out), registry);
  EXPECT_EQ(VxDownloadGetHomeUrl(nullptr), 0);
}

TEST_F(DownloadTest, FetchesThroughTheConfiguredProxy) {
  EXPECT_EQ(ReadFile(Fetch("via").localPath), "direct");
  test::TinyProxy proxy(folder_);
  ASSERT_NE(proxy.Port(), 0) << "tinyproxy did not start";
  WriteFile(Manager().ConfigPath(), "version=1\nproxyServer=127.0.0.1\nproxyPort=" +
                                        std::to_string(proxy.Port()) + "\n");
  Restart();
  VxDownloadClearCache();
  const Report report = Fetch("via");
  EXPECT_EQ(report.state, DownloadDone);
  EXPECT_EQ(ReadFile(report.localPath), "proxy");
}

// The table reaches a component manager only through the host table; the
// record stands in for the manager's, and collects what the builder did.
int32_t FakeDefine(ComponentRecord* record, const char* name, int32_t) {
  reinterpret_cast<std::vector<std::string>*>(record)->push_back(name);
  return 0;
}
int32_t FakeSetCount(ComponentRecord* record, int16_t count, int32_t, int16_t major, int16_t minor) {
  reinterpret_cast<std::vector<std::string>*>(record)->push_back(FormatString("%d %d.%d", count, major, minor));
  return 0;
}
int32_t FakeSetSlot(ComponentRecord* record, int16_t index, VxSlotFunction fn) {
  EXPECT_EQ(fn, VxDownloadSlotTable()[index]);
  reinterpret_cast<std::vector<std::string>*>(record)->push_back(std::to_string(index));
  return 0;
}

TEST(VxDownloadTable, BuildsEighteenSlotsThroughTheHostTable) {
  VxSlotFunction table[VxHostSlotCount] = {};
  table[VxHostDefineComponent] = reinterpret_cast<VxSlotFunction>(&FakeDefine);
  table[VxHostSetSlotCount] = reinterpret_cast<VxSlotFunction>(&FakeSetCount);
  table[VxHostSetSlot] = reinterpret_cast<VxSlotFunction>(&FakeSetSlot);
  std::vector<std::string> calls;
  VxBuilderArgs args{table, reinterpret_cast<ComponentRecord*>(&calls)};
  EXPECT_EQ(BuildVxDownloadTable(&args), 0);
  ASSERT_EQ(calls.size(), 20u);
  EXPECT_EQ(calls[0], "Vx_Download");
  EXPECT_EQ(calls[1], "18 1.0");
  EXPECT_EQ(VxDownloadSlotTable()[VxDownloadPollSlot], reinterpret_cast<VxSlotFunction>(&VxDownloadPoll));
}

}  // namespace
}  // namespace vx::host
