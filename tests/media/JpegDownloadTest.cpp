// JPEG pictures decoded while the host's download manager fetches them in
// pieces from a loopback HTTP server, and the manager's memory copy of each
// body given back however the load ends.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/hostlink/HostComponent.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/jpeg/JpegMedia.h"
#include "tests/host/HostDownloads.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::JpegKind;

using test::IsFinal;
using test::kFillBlue;
using test::kTolerance;

// Tall enough to arrive in many pieces.
test::TestPicture SitePicture() { return test::Gradient(160, 480); }

class JpegDownload : public ::testing::Test {
 protected:
  JpegDownload() : server_(MakeSite(site_)), service_(AcquireDownloadComponent()) { ResetSharedInverseMap(); }

  static std::string MakeSite(const test::TemporaryFolder& site) {
    const test::TestPicture picture = SitePicture();
    site.Write("base.jpg", test::CompressJpeg(picture, JpegKind::Baseline, 100));
    site.Write("prog.jpg", test::CompressJpeg(picture, JpegKind::Progressive, 100));
    site.Write("grey.jpg", test::CompressJpeg(picture, JpegKind::Grey, 100));
    site.Write("ink.jpg", test::CompressJpeg(picture, JpegKind::Ink, 100));
    site.Write("arith.jpg", test::CompressJpeg(picture, JpegKind::Baseline, 100, {true, 0}));
    site.Write("arith-prog.jpg", test::CompressJpeg(picture, JpegKind::Progressive, 100, {true, 0}));
    site.Write("unended.jpg", test::WithoutEndMarker(test::CompressJpeg(picture, JpegKind::Baseline, 100)));
    // Its frame header gives the picture no width.
    std::string broken = test::CompressJpeg(picture, JpegKind::Baseline, 100);
    for (size_t i = 2; i + 9 < broken.size(); ++i)
      if (static_cast<uint8_t>(broken[i]) == 0xFF && static_cast<uint8_t>(broken[i + 1]) == 0xC0) {
        broken[i + 7] = broken[i + 8] = 0;
        break;
      }
    site.Write("broken.jpg", broken);
    return site.Path();
  }
  std::string Url(const std::string& file) const { return "http://" + server_.HostAndPort() + "/" + file; }

  static std::unique_ptr<CJpegMedia> NewMedia(const std::string& url) {
    auto media = std::make_unique<CJpegMedia>();
    media->SetPixelDepth(32);
    media->SetFillColor(FloatColor{0.0f, 0.0f, 1.0f});
    EXPECT_NE(media->SetUrl(url.c_str()), 0u);
    return media;
  }

  // Steps the object, polling the downloads in between, until check() holds
  // or the object settles; the request it had while downloading.
  static int32_t Run(CJpegMedia& media, const std::function<bool(int32_t state)>& check = nullptr) {
    int32_t request = -1;
    const bool settled = test::ScopedHostDownloads::PumpUntil([&] {
      const int32_t state = media.Process();
      if (state == MediaDownloading && request < 0) request = media.RequestId();
      return (check && check(state)) || IsFinal(state);
    });
    EXPECT_TRUE(settled) << "the load did not settle in time";
    return request;
  }

  static PixelMap Image(const CMediaObject& media) {
    MediaImageInfo info;
    EXPECT_EQ(media.GetImageInfo(&info), 0);
    return info;
  }

  static int Misses(const PixelMap& image, JpegKind kind) {
    const test::TestPicture picture = SitePicture();
    int misses = 0;
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x) {
        uint32_t expected = picture.At(x, y);
        if (kind == JpegKind::Grey) expected = test::GreyOf(expected) * 0x010101;
        misses += !test::NearXrgb(test::Xrgb32At(image, x, y), expected, kTolerance);
      }
    return misses;
  }

  static host::CDownloadManager& Manager() { return *host::GetDownloadManager(); }

  test::TemporaryFolder site_{"vxmedia"};
  test::HttpTestServer server_;
  test::ScopedHostDownloads downloads_;
  std::shared_ptr<CHostComponent> service_;
};

TEST_F(JpegDownload, APictureFillsInFromTheTopWhileItsPiecesArriveAndItsFileStaysInTheCache) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("slow/base.jpg"));
  const int bottom = SitePicture().height - 1;
  bool seenHalfDrawn = false;
  const int32_t request = Run(*media, [&](int32_t state) {
    if (state != MediaDownloading || !media->HasImage()) return false;
    const PixelMap image = Image(*media);
    seenHalfDrawn |= test::Xrgb32At(image, 3, 0) != kFillBlue && test::Xrgb32At(image, 3, bottom) == kFillBlue;
    return false;
  });
  EXPECT_TRUE(seenHalfDrawn) << "rows appeared while the rest of the file was on its way";
  ASSERT_EQ(media->GetLoadState(), MediaComplete);
  EXPECT_EQ(Misses(Image(*media), JpegKind::Baseline), 0);
  ASSERT_GE(request, 0);
  EXPECT_EQ(host::VxDownloadGetSlotBuffer(request), nullptr);
  EXPECT_EQ(media->RequestId(), -1);
  EXPECT_EQ(Manager().ActiveCount(), 0);
  EXPECT_EQ(media->LocalPath().rfind(Manager().CacheFolder(), 0), 0u) << media->LocalPath();

  auto cached = NewMedia(Url("slow/base.jpg"));
  EXPECT_EQ(cached->Process(), MediaFileReady) << "the second request finds the file in the cache";
  EXPECT_EQ(cached->RequestId(), -1);
  EXPECT_EQ(cached->Process(), MediaDecoding);
  Run(*cached);
  EXPECT_EQ(cached->GetLoadState(), MediaComplete);
  EXPECT_EQ(Misses(Image(*cached), JpegKind::Baseline), 0);
}

TEST_F(JpegDownload, EveryKindOfPictureCompletesWhenDownloadedInPieces) {
  ASSERT_NE(server_.Port(), 0);
  // Arithmetic-coded pictures wait for the whole file; one without its end
  // marker is whole once the file is; a body whose length the server does
  // not say is decoded once the server has closed the connection.
  for (const auto& [path, kind] :
       {std::pair{"slow/prog.jpg", JpegKind::Progressive}, std::pair{"slow/grey.jpg", JpegKind::Grey},
        std::pair{"slow/ink.jpg", JpegKind::Ink}, std::pair{"slow/arith.jpg", JpegKind::Baseline},
        std::pair{"slow/arith-prog.jpg", JpegKind::Progressive}, std::pair{"slow/unended.jpg", JpegKind::Baseline},
        std::pair{"undeclared/base.jpg", JpegKind::Baseline}}) {
    SCOPED_TRACE(path);
    auto media = NewMedia(Url(path));
    const int32_t request = Run(*media);
    ASSERT_EQ(media->GetLoadState(), MediaComplete);
    EXPECT_EQ(Misses(Image(*media), kind), 0);
    ASSERT_GE(request, 0);
    EXPECT_EQ(host::VxDownloadGetSlotBuffer(request), nullptr);
  }
  EXPECT_EQ(Manager().ActiveCount(), 0);
}

TEST_F(JpegDownload, ABrokenPictureFailsWhileDownloadingAndGivesItsRequestAndBodyBack) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("slow/broken.jpg"));
  const int32_t request = Run(*media);
  EXPECT_EQ(media->GetLoadState(), MediaFailedNoFile);
  ASSERT_GE(request, 0);
  EXPECT_EQ(host::VxDownloadGetSlotBuffer(request), nullptr);
  EXPECT_EQ(media->RequestId(), -1);
  EXPECT_EQ(Manager().ActiveCount(), 0) << "the rest of the file is not fetched";
}

TEST_F(JpegDownload, DestroyingAPictureMidwayGivesItsBodyBack) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("half/base.jpg"));
  const int32_t request = Run(*media, [&](int32_t state) { return state == MediaDownloading && media->HasImage(); });
  ASSERT_GE(request, 0);
  ASSERT_NE(host::VxDownloadGetSlotBuffer(request), nullptr);
  media.reset();
  EXPECT_EQ(host::VxDownloadGetSlotBuffer(request), nullptr);
  EXPECT_EQ(Manager().ActiveCount(), 0);
}

TEST_F(JpegDownload, DestroyingAPictureWhoseDownloadEndedButWasNotYetReportedGivesItsBodyBack) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia(Url("base.jpg"));
  ASSERT_EQ(media->Process(), MediaDownloading);
  const int32_t request = media->RequestId();
  // The manager ends a transfer in one poll and reports it in the next.
  ASSERT_TRUE(test::PumpUntil([&] {
    host::VxDownloadPoll();
    return host::VxDownloadGetStatus(request, nullptr, nullptr) == DownloadDone;
  }));
  ASSERT_NE(host::VxDownloadGetSlotBuffer(request), nullptr);
  media.reset();
  EXPECT_EQ(host::VxDownloadGetSlotBuffer(request), nullptr);
  EXPECT_EQ(Manager().ActiveCount(), 0);
}

}  // namespace
}  // namespace vx
