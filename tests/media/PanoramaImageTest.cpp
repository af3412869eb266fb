#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "TileTestPictures.h"
#include "engine/media/MediaFactories.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/media/panorama/PanoramaImage.h"
#include "engine/render/DibImage.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::IndexPixel;
using test::ReadThroughRows;

class FrameAt final : public FrameRef {
 public:
  explicit FrameAt(const FramePosition& at) : position(at) {}
  const FramePosition position;
};

// A frame source of 4 x 8 frames of 4 x 2 pixels: its picture is an
// index-painted `pictureWidth` x `pictureHeight`, its frames paint
// themselves index-painted; it can take a few decode steps to complete.
class CTileTestMedia final : public CMediaObject {
 public:
  CTileTestMedia(uint16_t order, int32_t decodeSteps) : decodeStepsLeft_(decodeSteps) {
    grid_.order = order;
    grid_.framesDown = 4;
    grid_.framesAcross = 8;
    grid_.frameWidth = 4;
    grid_.frameHeight = 2;
  }

  MediaType GetTypeCode() const override { return MediaType::Codebook; }
  int32_t Load() override {
    int32_t failure = 0;
    if (!RequestImage(kPictureWidth, kPictureHeight, &failure)) return failure;
    const PictureWindow window = WindowForPlacement(ImageInfo(), GetPlacement(), {kPictureWidth, kPictureHeight});
    for (int32_t y = 0; y < window.target.height; ++y)
      for (int32_t x = 0; x < window.target.width; ++x) {
        const uint32_t value = IndexPixel(window.firstRow + y, window.firstColumn + x);
        std::memcpy(window.target.Row(y) + 4 * x, &value, 4);
      }
    return decodeStepsLeft_ > 0 ? MediaDecoding : MediaComplete;
  }
  int32_t DecodeStep() override { return --decodeStepsLeft_ > 0 ? MediaDecoding : MediaComplete; }
  int16_t GetFrameGrid(FrameGrid* out) override {
    *out = grid_;
    return 1;
  }
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override {
    asked.push_back({position.row, position.column});
    return std::make_unique<FrameAt>(position);
  }
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override {
    if (!destination) return 2;
    const FramePosition& at = static_cast<FrameAt*>(frame)->position;
    test::PaintIndexTile(*destination, {at.row, at.column});
    drawn.push_back({at.row, at.column});
    return 0;
  }

  static constexpr int32_t kPictureWidth = 8;
  static constexpr int32_t kPictureHeight = 4;
  std::vector<TilePosition> asked;
  std::vector<TilePosition> drawn;

 private:
  FrameGrid grid_;
  int32_t decodeStepsLeft_;
};

struct Panorama {
  explicit Panorama(bool gridded, int32_t decodeSteps = 0, uint16_t order = kFrameOrderAlongRows) {
    auto owned = std::make_unique<CTileTestMedia>(order, decodeSteps);
    media = owned.get();
    image = std::make_unique<CPanoramaImage>(std::move(owned), gridded);
    static_cast<void>(image->SetUrl("/pictures/pano.ric"));
    image->SetPixelDepth(32);
  }
  int32_t ProcessTimes(int times) {
    int32_t state = MediaIdle;
    for (int i = 0; i < times; ++i) state = image->Process();
    return state;
  }
  CTileTestMedia* media;
  std::unique_ptr<CPanoramaImage> image;
};

struct Painting {
  int calls = 0;
  int32_t imageHeight = 0;
  uint32_t pixelBefore = 1;
};

void PaintFirst(int32_t message, void* data, void* context) {
  auto* painting = static_cast<Painting*>(context);
  auto* image = static_cast<CDibImage*>(data);
  EXPECT_EQ(message, kMediaMessage);
  ++painting->calls;
  painting->imageHeight = image->GetHeight();
  std::memcpy(&painting->pixelBefore, image->GetBits() + image->GetRowBytes() * kPictureGuardRows, 4);
  image->Fill({1.0f, 0.0f, 0.0f}, nullptr);
}

TEST(PanoramaImage, TheFrameCallbackPaintsTheFreshPictureBeforeItIsDecoded) {
  Panorama panorama(false);
  Painting painting;
  panorama.image->SetFrameCallback({&painting, &PaintFirst});
  EXPECT_EQ(panorama.image->GetWidth(), 65535);
  EXPECT_EQ(panorama.ProcessTimes(2), MediaComplete);
  EXPECT_EQ(painting.calls, 1);
  EXPECT_EQ(painting.pixelBefore, 0u) << "painted before the picture came";
  EXPECT_EQ(painting.imageHeight, CTileTestMedia::kPictureHeight + 2 * kPictureGuardRows);

  MediaImageInfo info;
  ASSERT_EQ(panorama.image->GetImageInfo(&info), 0);
  EXPECT_EQ(info.width, CTileTestMedia::kPictureWidth);
  EXPECT_EQ(info.height, CTileTestMedia::kPictureHeight);
  EXPECT_EQ(info.rows, nullptr);
  EXPECT_EQ(panorama.image->GetWidth(), CTileTestMedia::kPictureWidth);
  EXPECT_EQ(panorama.image->GetHeight(), CTileTestMedia::kPictureHeight);
  auto pixel = [&](int32_t y, int32_t x) {
    uint32_t value = 0;
    std::memcpy(&value, info.Row(y) + 4 * x, 4);
    return value;
  };
  EXPECT_EQ(pixel(0, 0), IndexPixel(0, 0));
  EXPECT_EQ(pixel(3, 7), IndexPixel(3, 7));
  for (int32_t k = 1; k <= kPictureGuardRows; ++k) {
    EXPECT_EQ(pixel(-k, 5), IndexPixel(0, 5)) << "guard rows repeat the edge rows";
    EXPECT_EQ(pixel(3 + k, 5), IndexPixel(3, 5));
  }
  EXPECT_EQ(panorama.image->UpdateView({0, 0, 3, 7}), 0) << "a whole picture needs no tiles";
}

TEST(PanoramaImage, AJpegPictureIsDecodedBetweenItsGuardRows) {
  test::TemporaryFolder folder("vxpano");
  const test::TestPicture picture = test::Gradient(40, 24);
  const auto panorama =
      CreatePanoramaImage(folder.Write("room.jpg", test::CompressJpeg(picture, test::JpegKind::Baseline)).c_str());
  ASSERT_NE(panorama, nullptr);
  panorama->SetPixelDepth(32);
  for (int step = 0; step < 1000 && panorama->Process() != MediaComplete; ++step) {
  }
  MediaImageInfo info;
  ASSERT_EQ(panorama->GetImageInfo(&info), 0);
  EXPECT_EQ(panorama->GetWidth(), 40);
  EXPECT_EQ(panorama->GetHeight(), 24);
  EXPECT_TRUE(test::NearXrgb(test::Xrgb32At(info, 0, 0), picture.At(0, 0), test::kTolerance));
  EXPECT_TRUE(test::NearXrgb(test::Xrgb32At(info, 39, 23), picture.At(39, 23), test::kTolerance));
  EXPECT_EQ(test::Xrgb32At(info, 39, -kPictureGuardRows), test::Xrgb32At(info, 39, 0));
  EXPECT_EQ(test::Xrgb32At(info, 0, 23 + kPictureGuardRows), test::Xrgb32At(info, 0, 23));
}

TEST(PanoramaImage, AGriddedPictureMakesItsTileBufferOnceTheViewTileCountsAreSet) {
  Panorama panorama(true);
  panorama.ProcessTimes(4);
  EXPECT_EQ(panorama.image->TileGrid(), nullptr) << "no view tile counts yet";
  EXPECT_EQ(panorama.image->GetWidth(), 65535);
  EXPECT_EQ(panorama.image->UpdateView({0, 0, 1, 1}), kMediaNoAnswer);
  MediaImageInfo info;
  EXPECT_EQ(panorama.image->GetImageInfo(&info), kMediaNoAnswer);

  panorama.image->SetViewTiles(2, 3);
  EXPECT_EQ(panorama.image->Process(), MediaComplete);
  ASSERT_NE(panorama.image->TileGrid(), nullptr);
  EXPECT_EQ(panorama.image->GetWidth(), 32);
  EXPECT_EQ(panorama.image->GetHeight(), 8);
  EXPECT_EQ(panorama.image->TileGrid()->Margin(), 16);
}

TEST(PanoramaImage, TheViewMapShowsTheTilesOfTheWindowAcrossTheSeam) {
  Panorama panorama(true);
  panorama.image->SetViewTiles(2, 3);
  panorama.ProcessTimes(3);
  ASSERT_EQ(panorama.image->UpdateView({1, 29, 2, 5}), 0);
  EXPECT_EQ(panorama.media->drawn, (std::vector<TilePosition>{{0, 7}, {1, 7}, {0, 0}, {1, 0}, {0, 1}, {1, 1}}))
      << "order 21 walks the tiles column by column";
  MediaImageInfo info;
  ASSERT_EQ(panorama.image->GetImageInfo(&info), 0);
  EXPECT_EQ(info.bits, nullptr);
  ASSERT_NE(info.rows, nullptr);
  for (int32_t y = 1; y <= 2; ++y)
    for (int32_t x = 29; x < 32 + 6; ++x) EXPECT_EQ(ReadThroughRows(info, y, x), IndexPixel(y, x % 32));

  panorama.media->drawn.clear();
  ASSERT_EQ(panorama.image->UpdateView({1, 29, 2, 5}), 0);
  EXPECT_TRUE(panorama.media->drawn.empty()) << "the tiles are kept";
}

TEST(PanoramaImage, TilesAreDrawnOnceTheFramesHaveArrived) {
  Panorama panorama(true, 3);
  panorama.image->SetViewTiles(2, 3);
  EXPECT_EQ(panorama.ProcessTimes(3), MediaDecoding);
  ASSERT_NE(panorama.image->TileGrid(), nullptr);
  EXPECT_EQ(panorama.image->UpdateView({0, 0, 1, 7}), 0);
  EXPECT_TRUE(panorama.media->drawn.empty()) << "no frames while the grid decodes";

  while (panorama.image->Process() != MediaComplete) {
  }
  EXPECT_EQ(panorama.image->UpdateView({0, 0, 1, 7}), 0);
  EXPECT_EQ(panorama.media->drawn.size(), 2u) << "the tiles missed before are fetched now";
  MediaImageInfo info;
  ASSERT_EQ(panorama.image->GetImageInfo(&info), 0);
  EXPECT_EQ(ReadThroughRows(info, 1, 6), IndexPixel(1, 6));
}

TEST(PanoramaImage, AWindowTooLargeForTheBufferDrawsNothingButStillPrefetches) {
  Panorama panorama(true);
  panorama.image->SetViewTiles(1, 2);
  panorama.ProcessTimes(3);
  ASSERT_EQ(panorama.image->UpdateView({0, 0, 1, 15}), 0);  // four tiles across
  EXPECT_TRUE(panorama.media->drawn.empty());
  EXPECT_EQ(panorama.media->asked, (std::vector<TilePosition>{{0, 0}}));

  Panorama refused(true);
  refused.image->SetViewTiles(4, 200);  // more than 512 tiles
  refused.ProcessTimes(3);
  ASSERT_NE(refused.image->TileGrid(), nullptr);
  EXPECT_EQ(refused.image->UpdateView({0, 0, 1, 3}), 0);
  EXPECT_TRUE(refused.media->drawn.empty());
  MediaImageInfo info;
  EXPECT_EQ(refused.image->GetImageInfo(&info), kMediaNoAnswer) << "a buffer that was refused has no view map";
  EXPECT_EQ(info.rows, nullptr);
}

TEST(PanoramaImage, PrefetchGoesAlongTheRowForOrder12AndDownTheColumnOtherwise) {
  Panorama down(true, 0, kFrameOrderAlongRows);
  down.image->SetViewTiles(2, 3);
  down.ProcessTimes(3);
  static_cast<void>(down.image->UpdateView({0, 0, 1, 3}));  // one tile: (0, 0)
  static_cast<void>(down.image->UpdateView({0, 0, 1, 3}));
  static_cast<void>(down.image->UpdateView({0, 0, 1, 3}));
  EXPECT_EQ(down.media->asked, (std::vector<TilePosition>{{0, 0}, {1, 0}, {2, 0}}));

  Panorama along(true, 0, kFrameOrderDownColumns);
  along.image->SetViewTiles(2, 3);
  along.ProcessTimes(3);
  for (int i = 0; i < 9; ++i) static_cast<void>(along.image->UpdateView({0, 0, 1, 3}));
  ASSERT_EQ(along.media->asked.size(), 9u);
  EXPECT_EQ(along.media->asked[1], (TilePosition{0, 1}));
  EXPECT_EQ(along.media->asked[8], (TilePosition{1, 0})) << "after the last column the next row";
}

TEST(PanoramaImage, TheMakersTakeStillAndGriddedFormatsAndFpxForMultiResolution) {
  const auto still = CreatePanoramaImage("/pictures/room.JPG");
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(still->GetKind(), HandleKind::Panorama);
  EXPECT_FALSE(still->IsGridded());
  EXPECT_EQ(CreatePanoramaImage("/pictures/tiles.txt"), nullptr);
  EXPECT_EQ(CreatePanoramaImage("/pictures/room.fpx"), nullptr);

  const auto pyramid = CreateMultiResImage("/pictures/room.fpx");
  ASSERT_NE(pyramid, nullptr);
  EXPECT_EQ(pyramid->GetKind(), HandleKind::Media);
  EXPECT_EQ(CreateMultiResImage("/pictures/room.jpg"), nullptr);
}

TEST(TilesForFieldOfView, TheBufferCoversTheShareOfAReferenceViewPlusOneTile) {
  constexpr float kThirdPi = 1.0471975f;
  uint16_t down = 0;
  uint16_t across = 0;
  TilesForFieldOfView(32, 2 * kThirdPi, 1.0f, 40, 16, &down, &across);
  EXPECT_EQ(down, 40) << "factor 1: every row, and one more, limited to the grid";
  EXPECT_EQ(across, 16);
  TilesForFieldOfView(32, 3.0f, 6.2831850f, 20, 16, &down, &across);
  EXPECT_EQ(down, 15) << "ceiling(20 x 0.698) + 1";
  EXPECT_EQ(across, 9) << "a third of 16 is less than half the columns plus one";
  TilesForFieldOfView(32, 100.0f, 6.2831850f, 20, 16, &down, &across);
  EXPECT_EQ(down, 11) << "the factor stays at 0.5";
  TilesForFieldOfView(32, 3.1415927f, 6.2831850f, 20, 16, &down, &across);
  EXPECT_EQ(across, 16) << "a picture from pole to pole keeps every column";
  TilesForFieldOfView(kTileWholeGridMode, 3.0f, 6.2831850f, 20, 16, &down, &across);
  EXPECT_EQ(down, 20);
  EXPECT_EQ(across, 16);
}

TEST(TilesForFieldOfView, DegenerateExtentsAndCountsGiveAtLeastOneTileAndNoMore) {
  uint16_t down = 0;
  uint16_t across = 0;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float extent : {0.0f, -1.0f, nan, std::numeric_limits<float>::infinity()}) {
    TilesForFieldOfView(32, extent, extent, 6, 10, &down, &across);
    EXPECT_GE(down, 1);
    EXPECT_LE(down, 6);
    EXPECT_GE(across, 1);
    EXPECT_LE(across, 10);
  }
  TilesForFieldOfView(32, 1.0f, 1.0f, 0, -3, &down, &across);
  EXPECT_EQ(down, 1);
  EXPECT_EQ(across, 1);
}

}  // namespace
}  // namespace vx
