// The download manager on a fresh product root, with a site served by the
// loopback test server; shared by the download tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/DownloadManager.h"
#include "tests/host/TestPeers.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::host {

namespace fs = std::filesystem;

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct Report {
  int32_t state;
  int32_t slot;
  std::string url;
  std::string localPath;
};

inline void Record(int32_t event, DownloadRequest* request, void* userData) {
  ASSERT_EQ(event, VX_DOWNLOAD_EVENT);
  static_cast<std::vector<Report>*>(userData)->push_back(
      {request->state, request->slot, request->url, request->localPath});
}

// A temporary root with a site served over loopback, and the manager on it.
class DownloadTest : public ::testing::Test {
 protected:
  DownloadTest()
      : temporary_("vx-download-"),
        folder_(temporary_.Path()),
        site_((fs::create_directories(folder_ / "site"), folder_ / "site")),
        server_(site_.string()),
        root_("VANTESSEL_ROOT", (folder_ / "root").c_str()),
        serverUrl_("VANTESSEL_SERVER_URL", ("http://" + server_.HostAndPort() + "/").c_str()) {}

  void SetUp() override {
    ASSERT_NE(server_.Port(), 0) << "the test server did not start";
    WriteFile(site_ / "a.txt", "alpha file");
    WriteFile(site_ / "b.txt", "bravo file, a little longer");
    AcquireDownloadManager();
  }
  void TearDown() override {
    while (GetDownloadManager()) ReleaseDownloadManager();
  }

  CDownloadManager& Manager() { return *GetDownloadManager(); }
  std::string FullUrl(const std::string& path) const { return "http://" + server_.HostAndPort() + "/" + path; }

  int32_t Start(const std::string& path, int32_t flags = 0, char* outLocalPath = nullptr) {
    return VxDownloadStart(FullUrl(path).c_str(), &callback_, flags, outLocalPath);
  }

  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
    return test::PumpUntil(
        [&] {
          VxDownloadPoll();
          return done();
        },
        timeoutMs);
  }

  // Fetches one path to its end; the report of its callback.
  Report Fetch(const std::string& path, int32_t flags = 0, int timeoutMs = 10000) {
    const size_t before = reports_.size();
    const int32_t slot = Start(path, flags);
    EXPECT_GE(slot, 0) << path;
    EXPECT_TRUE(PumpUntil([&] { return reports_.size() > before; }, timeoutMs)) << path;
    return reports_.size() > before ? reports_.back() : Report{-1, -1, "", ""};
  }

  void Restart() {
    ReleaseDownloadManager();
    AcquireDownloadManager();
  }

  test::TemporaryFolder temporary_;
  fs::path folder_;
  fs::path site_;
  test::HttpTestServer server_;
  test::ScopedEnvironment root_;
  test::ScopedEnvironment serverUrl_;
  std::vector<Report> reports_;
  DownloadCallback callback_{&reports_, &Record};
};

}  // namespace vx::host
