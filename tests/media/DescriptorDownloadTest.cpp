// Tile descriptors fetched from a loopback HTTP server through the host's
// download manager: the order of the tile requests, the nearest tile drawn
// for one that failed, and a descriptor destroyed while a tile is on its way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/hostlink/HostComponent.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/descriptor/ImageDescriptorMedia.h"
#include "engine/render/DibImage.h"
#include "tests/host/HostDownloads.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using Piece = std::pair<int32_t, TilePiece>;

using test::SolidBmp;

class DescriptorDownload : public ::testing::Test {
 protected:
  DescriptorDownload() : server_(MakeSite(site_)), service_(AcquireDownloadComponent()) { ResetSharedInverseMap(); }

  static std::string MakeSite(const test::TemporaryFolder& site) {
    site.Write("a.bmp", SolidBmp(0, 0, 255));
    site.Write("b.bmp", SolidBmp(0, 255, 0));
    site.Write("c.bmp", SolidBmp(255, 0, 0));
    site.Write("m.bmp", SolidBmp(0, 0, 0));
    site.Write("order.txt", "width 4 height 4 quantization 2,1 "
                            "File { filename slow/a.bmp order 1 mask slow/am.bmp } "
                            "File { filename slow/b.bmp order 0 mask slow/bm.bmp }");
    site.Write("am.bmp", SolidBmp(0, 0, 0));
    site.Write("bm.bmp", SolidBmp(0, 0, 0));
    site.Write("gaps.txt", "width 4 height 4 quantization 2,2 "
                           "File { filename none.bmp mask m.bmp } File { filename b.bmp } "
                           "File { filename c.bmp } File { filename gone.bmp }");
    site.Write("pending.txt", "width 4 height 4 File { filename half/a.bmp mask m.bmp order 0 }");
    return site.Path();
  }
  std::string Url(const std::string& file) const { return "http://" + server_.HostAndPort() + "/" + file; }

  std::unique_ptr<CImageDescriptorMedia> NewMedia(const std::string& file) const {
    auto media = std::make_unique<CImageDescriptorMedia>();
    media->SetPixelDepth(32);
    EXPECT_NE(media->SetUrl(Url(file).c_str()), 0u);
    return media;
  }

  static bool AllSettled(const CImageDescriptorMedia& media) {
    if (media.GetLoadState() != MediaComplete) return false;
    for (int32_t i = 0; i < media.TileCount(); ++i)
      if (media.Tile(i).imageState <= MediaDownloading || media.Tile(i).maskState <= MediaDownloading) return false;
    return true;
  }

  // Steps the descriptor until every piece has settled; the pieces it asked
  // for, in turn.
  static std::vector<Piece> RunToEnd(CImageDescriptorMedia& media) {
    std::vector<Piece> pieces;
    const bool settled = test::ScopedHostDownloads::PumpUntil([&] {
      media.Process();
      const int32_t tile = media.DownloadingTile();
      if (tile >= 0) {
        const Piece piece{tile, media.Tile(tile).pending};
        if (pieces.empty() || pieces.back() != piece) pieces.push_back(piece);
      }
      return AllSettled(media);
    });
    EXPECT_TRUE(settled) << "the tiles did not settle in time";
    return pieces;
  }

  static host::CDownloadManager& Manager() { return *host::GetDownloadManager(); }

  test::TemporaryFolder site_{"vxtilesite"};
  test::HttpTestServer server_;
  test::ScopedHostDownloads downloads_;
  std::shared_ptr<CHostComponent> service_;
};

TEST_F(DescriptorDownload, TilesAreFetchedOneAtATimeLowestOrderFirstMaskBeforePicture) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia("order.txt");
  const std::vector<Piece> pieces = RunToEnd(*media);
  EXPECT_EQ(pieces, (std::vector<Piece>{{1, TilePiece::Mask}, {1, TilePiece::Image}, {0, TilePiece::Mask},
                                        {0, TilePiece::Image}}));
  for (int32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(media->Tile(i).imageState, MediaFileReady);
    EXPECT_EQ(media->Tile(i).maskState, MediaFileReady);
    EXPECT_EQ(media->Tile(i).imageLocalName.rfind(Manager().CacheFolder(), 0), 0u) << media->Tile(i).imageLocalName;
    EXPECT_EQ(media->Tile(i).requestId, -1);
  }
  EXPECT_EQ(media->GetLoadState(), MediaComplete) << "tile reports leave the descriptor's own state alone";
  EXPECT_EQ(media->LocalPath().rfind(Manager().CacheFolder(), 0), 0u);
  EXPECT_NE(media->LocalPath().find(".txt"), std::string::npos) << media->LocalPath();
  EXPECT_EQ(Manager().ActiveCount(), 0);

  std::unique_ptr<CDibImage> target = CDibImage::Create(4, 4, 32, nullptr, false, false);
  std::unique_ptr<FrameRef> frame = media->GetFrameRef({0, 0, 0});
  ASSERT_EQ(media->SetFrameTarget(target.get()), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(media->DrawFrame(frame.get(), nullptr), 0);
  EXPECT_EQ(test::Xrgb32At(target->GetPixelMap(), 2, 2), 0xFF0000u);
}

TEST_F(DescriptorDownload, ATileThatFailedIsDrawnFromTheArrivedTileNearestTheOrigin) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia("gaps.txt");
  RunToEnd(*media);
  EXPECT_EQ(media->Tile(0).imageState, MediaFailedNoFile);
  EXPECT_EQ(media->Tile(3).imageState, MediaFailedNoFile);
  EXPECT_EQ(media->Tile(2).imageState, MediaFileReady);

  std::unique_ptr<CDibImage> target = CDibImage::Create(4, 4, 32, nullptr, false, false);
  ASSERT_EQ(media->SetFrameTarget(target.get()), 0);
  // Tiles 1 (row 0, column 1) and 2 (row 1, column 0) lie one away from the
  // origin; the lower index wins.
  for (const FramePosition position : {FramePosition{1, 1, 0}, FramePosition{0, 0, 0}}) {
    std::unique_ptr<FrameRef> frame = media->GetFrameRef(position);
    ASSERT_NE(frame, nullptr);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(media->DrawFrame(frame.get(), nullptr), 0);
    EXPECT_EQ(media->OpenTile(), 1);
    EXPECT_EQ(test::Xrgb32At(target->GetPixelMap(), 1, 1), 0x00FF00u);
  }
  std::unique_ptr<FrameRef> own = media->GetFrameRef({1, 0, 0});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(media->DrawFrame(own.get(), nullptr), 0);
  EXPECT_EQ(media->OpenTile(), 2);
  EXPECT_EQ(test::Xrgb32At(target->GetPixelMap(), 1, 1), 0x0000FFu);
}

TEST_F(DescriptorDownload, ADescriptorDestroyedWhileATileIsOnItsWayCancelsItAndIsNeverCalledBack) {
  ASSERT_NE(server_.Port(), 0);
  auto media = NewMedia("pending.txt");
  ASSERT_TRUE(test::ScopedHostDownloads::PumpUntil([&] {
    media->Process();
    return media->DownloadingTile() == 0 && media->Tile(0).pending == TilePiece::Image;
  }));
  const int32_t request = media->Tile(0).requestId;
  ASSERT_GE(request, 0);
  EXPECT_EQ(media->Tile(0).maskState, MediaFileReady) << "the mask came first";
  media.reset();
  EXPECT_EQ(Manager().ActiveCount(), 0);
  // Nothing is left to report to the object that is gone.
  EXPECT_FALSE(test::ScopedHostDownloads::PumpUntil([] { return false; }, 200));
}

}  // namespace
}  // namespace vx
