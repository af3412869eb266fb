// Media objects fetching their files through the host's own download
// manager from a loopback HTTP server.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/media/MediaHandle.h"
#include "engine/hostlink/HostComponent.h"
#include "tests/host/HostDownloads.h"
#include "tests/platform/TestEnvironment.h"
#include "tests/media/RawTestMedia.h"

namespace vx {
namespace {

bool IsFinal(int32_t state) {
  return state == MediaCancelled || state == MediaFailedNoFile || state == MediaUnusable || state == MediaComplete;
}

class MediaDownload : public ::testing::Test {
 protected:
  MediaDownload() : server_(MakeSite(site_)), service_(AcquireDownloadComponent()) {}

  static std::string MakeSite(const test::TemporaryFolder& site) {
    site.Write("pic.raw", test::RawPicture(3, 2));
    return site.Path();
  }
  std::string Url(const std::string& file) const { return "http://" + server_.HostAndPort() + "/" + file; }

  static std::unique_ptr<test::CRawTestMedia> NewMedia(const std::string& url) {
    auto media = std::make_unique<test::CRawTestMedia>();
    media->SetPixelDepth(32);
    EXPECT_NE(media->SetUrl(url.c_str()), 0u);
    return media;
  }

  // Steps the object (polling the downloads in between) until it settles;
  // the states it passed, each once, whether a step or a report set them.
  static std::vector<int32_t> RunToEnd(CMediaObject& media) {
    std::vector<int32_t> states;
    auto note = [&](int32_t state) {
      if (states.empty() || states.back() != state) states.push_back(state);
    };
    const bool settled = test::ScopedHostDownloads::PumpUntil([&] {
      note(media.GetLoadState());
      note(media.Process());
      return IsFinal(media.GetLoadState());
    });
    EXPECT_TRUE(settled) << "the load did not settle in time";
    return states;
  }

  static host::CDownloadManager& Manager() { return *host::GetDownloadManager(); }

  test::TemporaryFolder site_{"vxmedia"};
  test::HttpTestServer server_;
  test::ScopedHostDownloads downloads_;
  std::shared_ptr<CHostComponent> service_;
};

TEST_F(MediaDownload, AUrlIsFetchedIntoTheCacheAndThenLoaded) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("pic.raw"));
  EXPECT_EQ(RunToEnd(*media),
            (std::vector<int32_t>{MediaIdle, MediaDownloading, MediaFileReady, MediaDecoding, MediaComplete}));
  EXPECT_EQ(media->loads, 1);
  EXPECT_EQ(media->loadedPath.rfind(Manager().CacheFolder(), 0), 0u) << media->loadedPath;
  EXPECT_EQ(media->RequestId(), -1);
  MediaImageInfo info;
  ASSERT_EQ(media->GetImageInfo(&info), 0);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(Manager().ActiveCount(), 0);
}

TEST_F(MediaDownload, ACachedUrlGoesStraightToItsFileAndGivesTheRequestBack) {
  ASSERT_NE(server_.Port(), 0);
  auto first = NewMedia(Url("pic.raw"));
  RunToEnd(*first);
  ASSERT_EQ(first->GetLoadState(), MediaComplete);

  auto again = NewMedia(Url("pic.raw"));
  EXPECT_EQ(again->Process(), MediaFileReady);
  EXPECT_EQ(again->RequestId(), -1);
  EXPECT_EQ(Manager().ActiveCount(), 0);
  EXPECT_EQ(again->Process(), MediaDecoding);
  EXPECT_EQ(again->loadedPath, first->loadedPath);
}

TEST_F(MediaDownload, AMissingFileFailsWithoutEverLoading) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("absent.raw"));
  EXPECT_EQ(RunToEnd(*media), (std::vector<int32_t>{MediaIdle, MediaDownloading, MediaFailedNoFile}));
  EXPECT_EQ(media->loads, 0);
  EXPECT_EQ(media->Process(), MediaFailedNoFile);
}

TEST_F(MediaDownload, ARefusedRequestIsTriedAgainAndDestroyingAnObjectCancelsItsDownload) {
  ASSERT_NE(server_.Port(), 0);
  const std::string slow = Url("stall/1000");
  auto running = NewMedia(slow);
  ASSERT_EQ(running->Process(), MediaDownloading);

  CMediaHandle waiting(NewMedia(slow));
  EXPECT_EQ(waiting.Process(), MediaIdle) << "the same URL is already being fetched";
  EXPECT_EQ(waiting.Process(), MediaIdle);
  EXPECT_EQ(Manager().ActiveCount(), 1);
  char progress[kMediaNameBufferSize] = {};
  waiting.GetProgressText(progress);
  EXPECT_EQ(std::string(progress).rfind("Downloading 1 file(s)", 0), 0u) << progress;

  running.reset();
  EXPECT_EQ(Manager().ActiveCount(), 0);
  EXPECT_EQ(waiting.Process(), MediaDownloading) << "tried again once the slot was free";
}

TEST_F(MediaDownload, AnObjectWaitsForTheFilesNameWhenTheServiceReportsDoneFirst) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("pic.raw"));
  ASSERT_EQ(media->Process(), MediaDownloading);
  const int32_t request = media->RequestId();
  // The manager ends a transfer in one poll and reports it in the next.
  ASSERT_TRUE(test::PumpUntil([&] {
    host::VxDownloadPoll();
    return host::VxDownloadGetStatus(request, nullptr, nullptr) == DownloadDone;
  }));
  ASSERT_TRUE(media->LocalPath().empty());
  EXPECT_EQ(media->Process(), MediaDownloading);
  EXPECT_EQ(media->Process(), MediaDownloading);
  EXPECT_EQ(media->loads, 0);

  EXPECT_EQ(RunToEnd(*media).back(), MediaComplete);
  EXPECT_EQ(media->loads, 1);
  EXPECT_FALSE(media->loadedPath.empty());
}

}  // namespace
}  // namespace vx
