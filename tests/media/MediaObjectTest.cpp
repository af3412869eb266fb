#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/MediaObject.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/render/DibImage.h"
#include "platform/Random.h"
#include "tests/platform/TestEnvironment.h"
#include "tests/media/RawTestMedia.h"

namespace vx {
namespace {

class MediaObject : public ::testing::Test {
 protected:
  MediaObject() { ResetSharedInverseMap(); }

  std::string Write(const std::string& name, const std::string& content) const { return folder_.Write(name, content); }

  test::TemporaryFolder folder_{"vxmedia"};
};

TEST_F(MediaObject, ALocalNameIsReadyAtOnceAndRunsThroughTheLoaderToComplete) {
  test::CRawTestMedia media;
  media.SetPixelDepth(32);
  const std::string path = Write("pic.raw", test::RawPicture(3, 2));
  EXPECT_EQ(media.SetUrl(path.c_str()), 0u);
  EXPECT_TRUE(media.IsReady());

  std::vector<int32_t> states;
  for (int i = 0; i < 5; ++i) states.push_back(media.Process());
  EXPECT_EQ(states, (std::vector<int32_t>{MediaFileReady, MediaDecoding, MediaComplete, MediaComplete, MediaComplete}));
  EXPECT_EQ(media.loads, 1);
  EXPECT_EQ(media.loadedPath, path);
  EXPECT_EQ(media.HasImage(), 1);

  MediaImageInfo info;
  ASSERT_EQ(media.GetImageInfo(&info), 0);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);
  EXPECT_EQ(info.Row(1)[0], test::kRawPixelByte);
}

TEST_F(MediaObject, NamesAreTakenAsUrlsOnlyWithTheHttpPrefixInAnyCase) {
  test::CRawTestMedia upper;
  EXPECT_NE(upper.SetUrl("HTTP://host/a.raw"), 0u);
  EXPECT_FALSE(upper.IsReady());
  char path[kMediaNameBufferSize] = "stale";
  EXPECT_EQ(upper.GetLocalPath(path), 1u);
  EXPECT_STREQ(path, "");

  test::CRawTestMedia local;
  EXPECT_EQ(local.SetUrl("http:/host/a.raw"), 0u);
  EXPECT_TRUE(local.IsReady());
  char url[kMediaNameBufferSize] = {};
  EXPECT_EQ(local.GetUrl(url), 17u);
  EXPECT_STREQ(url, "http:/host/a.raw");
}

TEST_F(MediaObject, AnEmptyNameStaysIdleAndATooLongNameFailsWithoutLoading) {
  test::CRawTestMedia empty;
  static_cast<void>(empty.SetUrl(""));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(empty.Process(), MediaIdle);
  EXPECT_EQ(empty.loads, 0);

  test::CRawTestMedia longName;
  const std::string name = "/" + std::string(kMaxMediaNameLength, 'a');
  EXPECT_EQ(longName.SetUrl(name.c_str()), 0u);
  EXPECT_EQ(longName.Process(), MediaFailedNoFile);
  EXPECT_EQ(longName.Process(), MediaFailedNoFile);
  EXPECT_EQ(longName.loads, 0);

  test::CRawTestMedia atLimit;
  const std::string longest = "/" + std::string(kMaxMediaNameLength - 1, 'a');
  static_cast<void>(atLimit.SetUrl(longest.c_str()));
  EXPECT_EQ(atLimit.Process(), MediaFileReady);
  EXPECT_EQ(atLimit.Process(), MediaUnusable) << "the longest name is taken; the file is missing";
  EXPECT_EQ(atLimit.loadedPath, longest);
}

TEST_F(MediaObject, ALoaderFailureOnALocalFileIsFinal) {
  test::CRawTestMedia media;
  media.SetPixelDepth(32);
  static_cast<void>(media.SetUrl(Write("bad.raw", "JPG??").c_str()));
  EXPECT_EQ(media.Process(), MediaFileReady);
  EXPECT_EQ(media.Process(), MediaUnusable);
  EXPECT_EQ(media.Process(), MediaUnusable);
  EXPECT_EQ(media.loads, 1);

  test::CRawTestMedia empty;
  empty.SetPixelDepth(32);
  static_cast<void>(empty.SetUrl(Write("empty.raw", test::RawPicture(0, 9)).c_str()));
  empty.Process();
  EXPECT_EQ(empty.Process(), MediaUnusable) << "a picture without pixels is refused before any image is made";
  EXPECT_EQ(empty.HasImage(), 0);
}

TEST_F(MediaObject, AnEmptyOrShortFileIsUnusableAndLeavesNoImage) {
  for (const std::string& content : {std::string(), std::string("RAW\x02")}) {
    test::CRawTestMedia media;
    media.SetPixelDepth(32);
    static_cast<void>(media.SetUrl(Write("short.raw", content).c_str()));
    media.Process();
    EXPECT_EQ(media.Process(), MediaUnusable) << content.size();
    EXPECT_EQ(media.HasImage(), 0);
  }
}

TEST_F(MediaObject, OnlyAReportOfADoneDownloadWithItsFileLeadsToLoading) {
  DownloadRequest request = {};
  request.state = DownloadFailed;
  test::CRawTestMedia failed;
  static_cast<void>(failed.SetUrl("http://host/a.raw"));
  failed.OnDownloadDone(VX_DOWNLOAD_EVENT, &request);
  EXPECT_EQ(failed.GetLoadState(), MediaFailedNoFile) << "even when the report comes before the first step";
  EXPECT_FALSE(failed.IsReady());

  request.state = DownloadDone;
  test::CRawTestMedia nameless;
  static_cast<void>(nameless.SetUrl("http://host/a.raw"));
  nameless.OnDownloadDone(VX_DOWNLOAD_EVENT, &request);
  EXPECT_EQ(nameless.GetLoadState(), MediaFailedNoFile);
  EXPECT_EQ(nameless.Process(), MediaFailedNoFile);
  EXPECT_EQ(nameless.loads, 0);

  const std::string path = Write("a.raw", test::RawPicture(1, 1));
  std::snprintf(request.localPath, sizeof request.localPath, "%s", path.c_str());
  test::CRawTestMedia delivered;
  delivered.SetPixelDepth(32);
  static_cast<void>(delivered.SetUrl("http://host/a.raw"));
  delivered.OnDownloadDone(VX_DOWNLOAD_EVENT, &request);
  EXPECT_EQ(delivered.GetLoadState(), MediaFileReady);
  EXPECT_EQ(delivered.Process(), MediaDecoding);
  EXPECT_EQ(delivered.loadedPath, path);
}

TEST_F(MediaObject, ImageInfoBeforeAnyImageAnswersNineAndANullPointer) {
  test::CRawTestMedia media;
  MediaImageInfo info;
  uint8_t byte = 0;
  info.bits = &byte;
  info.width = 7;
  EXPECT_EQ(media.GetImageInfo(&info), kMediaNoAnswer);
  EXPECT_EQ(info.bits, nullptr);
}

struct FrameCalls {
  std::vector<CDibImage*> images;
  static void Record(int32_t message, void* data, void* context) {
    EXPECT_EQ(message, kMediaMessage);
    static_cast<FrameCalls*>(context)->images.push_back(static_cast<CDibImage*>(data));
  }
};

TEST_F(MediaObject, AFrameCallbackTakesTheNewImageInsteadOfTheFill) {
  test::CRawTestMedia media;
  media.SetPixelDepth(32);
  media.SetFillColor({1.0f, 0.0f, 0.0f});
  FrameCalls calls;
  media.SetFrameCallback({&calls, &FrameCalls::Record});
  static_cast<void>(media.SetUrl(Write("pic.raw", test::RawPicture(2, 2)).c_str()));
  media.Process();
  media.Process();
  ASSERT_EQ(calls.images.size(), 1u);
  const PixelMap pixels = calls.images[0]->GetPixelMap();
  EXPECT_EQ(reinterpret_cast<uint32_t*>(pixels.bits)[0], 0u) << "not filled";

  test::CRawTestMedia filled;
  filled.SetPixelDepth(32);
  filled.SetFillColor({1.0f, 0.0f, 0.0f});
  static_cast<void>(filled.SetUrl(Write("pic2.raw", test::RawPicture(2, 2)).c_str()));
  filled.Process();
  filled.Process();
  MediaImageInfo info;
  ASSERT_EQ(filled.GetImageInfo(&info), 0);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(info.bits)[3], 0x00FF0000u);
}

PaletteTable TwoColours(uint32_t first, uint32_t second) {
  PaletteTable palette;
  palette.count = 2;
  palette.entries[0] = first;
  palette.entries[1] = second;
  return palette;
}

// Fills an 8-bit picture with blue; the pixel is the palette index the shared
// map gives.
uint8_t BlueIndexFilledWith(const PaletteTable& palette, const std::string& path, bool withFrameCallback) {
  test::CRawTestMedia media;
  media.SetPixelDepth(8);
  media.SetPalette(&palette);
  media.SetFillColor({0.0f, 0.0f, 1.0f});
  FrameCalls calls;
  if (withFrameCallback) media.SetFrameCallback({&calls, &FrameCalls::Record});
  static_cast<void>(media.SetUrl(path.c_str()));
  media.Process();
  media.Process();
  MediaImageInfo info;
  EXPECT_EQ(media.GetImageInfo(&info), 0);
  return info.bits ? info.bits[0] : 0xEE;
}

TEST_F(MediaObject, TheSharedInverseMapIsBuiltOnceFromTheFirstPaletteThatFills) {
  const std::string path = Write("pic.raw", test::RawPicture(1, 1));
  const PaletteTable blueFirst = TwoColours(0x0000FF, 0xFF0000);
  const PaletteTable blueSecond = TwoColours(0xFF0000, 0x0000FF);

  BlueIndexFilledWith(blueSecond, path, true);  // a frame callback fills nothing and builds nothing
  EXPECT_EQ(BlueIndexFilledWith(blueFirst, path, false), 0);
  EXPECT_EQ(BlueIndexFilledWith(blueSecond, path, false), 0) << "the map of the first palette stays";

  ResetSharedInverseMap();
  EXPECT_EQ(BlueIndexFilledWith(blueSecond, path, false), 1) << "a new engine instance builds it anew";
}

// Hands out a small image of its own and moves the picture partly off it.
struct SmallImageNotify {
  std::unique_ptr<CDibImage> image = CDibImage::Create(4, 3, 8, nullptr, false, false);
  Placement move{1, -2, 0, 0};
  bool supply = true;
  Placement seen;
  std::string url;

  static void Answer(int32_t message, void* data, void* context) {
    EXPECT_EQ(message, kMediaMessage);
    auto* self = static_cast<SmallImageNotify*>(context);
    auto* request = static_cast<ImageRequest*>(data);
    self->seen = *request->placement;
    self->url = request->url;
    request->placement->rowOffset = self->move.rowOffset;
    request->placement->columnOffset = self->move.columnOffset;
    if (self->supply) *request->image = self->image.get();
  }
};

TEST_F(MediaObject, ALoaderWritesOnlyInsideTheImageTheNotifyCallbackSupplied) {
  SmallImageNotify notify;
  test::CRawTestMedia media;
  media.SetPixelDepth(8);
  media.SetNotify({&notify, &SmallImageNotify::Answer});
  const std::string path = Write("big.raw", test::RawPicture(6, 5));
  static_cast<void>(media.SetUrl(path.c_str()));
  media.Process();
  EXPECT_EQ(media.Process(), MediaDecoding);
  EXPECT_EQ(notify.seen.height, 5);
  EXPECT_EQ(notify.seen.width, 6);
  EXPECT_EQ(notify.url, path);
  EXPECT_EQ(media.Process(), MediaComplete);

  // The 6 x 5 picture at row 1, column -2 covers rows 1-2 and columns 0-3.
  const PixelMap pixels = notify.image->GetPixelMap();
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column)
      EXPECT_EQ(pixels.Row(row)[column], row == 0 ? 0 : test::kRawPixelByte) << row << "," << column;
}

TEST_F(MediaObject, ANotifyCallbackWithoutAnImageFailsTheLoad) {
  SmallImageNotify notify;
  notify.supply = false;
  test::CRawTestMedia media;
  media.SetNotify({&notify, &SmallImageNotify::Answer});
  static_cast<void>(media.SetUrl(Write("pic.raw", test::RawPicture(2, 2)).c_str()));
  media.Process();
  EXPECT_EQ(media.Process(), MediaUnusable);
  EXPECT_EQ(media.HasImage(), 0);
}

TEST_F(MediaObject, TheDitherNoiseComesFromTheEnginesFifteenBitGenerator) {
  SeedRandom(7);
  test::CRawTestMedia media;
  Random15 expected(7);
  for (int32_t value : media.Noise()) {
    EXPECT_EQ(value, static_cast<int32_t>(expected.Next() * kNoiseScale));
    EXPECT_GE(value, 0);
    EXPECT_LE(value, 7);
  }
}

TEST(PictureChecks, SizesFromHeadersMustLieWithinTheMediaLimits) {
  EXPECT_EQ(CheckPictureSize(1, 1), DecodeStatus::Complete);
  EXPECT_EQ(CheckPictureSize(kMaxPictureSide, kMaxPicturePixels / kMaxPictureSide), DecodeStatus::Complete);
  EXPECT_EQ(CheckPictureSize(kMaxPictureSide + 1, 1), DecodeStatus::Corrupt);
  EXPECT_EQ(CheckPictureSize(1, kMaxPictureSide + 1), DecodeStatus::Corrupt);
  EXPECT_EQ(CheckPictureSize(kMaxPictureSide, kMaxPicturePixels / kMaxPictureSide + 1), DecodeStatus::Corrupt);
  EXPECT_EQ(CheckPictureSize(0, 5), DecodeStatus::Corrupt);
  EXPECT_EQ(CheckPictureSize(-1, 5), DecodeStatus::Corrupt);
}

TEST(PictureChecks, EachDecodeStatusLeadsToItsLoadState) {
  EXPECT_EQ(LoadStateAfterDecode(DecodeStatus::Complete, true), MediaComplete);
  EXPECT_EQ(LoadStateAfterDecode(DecodeStatus::Pending, false), MediaDownloading);
  for (DecodeStatus failure : {DecodeStatus::Missing, DecodeStatus::Corrupt, DecodeStatus::NotMyFormat}) {
    EXPECT_EQ(LoadStateAfterDecode(failure, true), MediaUnusable);
    EXPECT_EQ(LoadStateAfterDecode(failure, false), MediaFailedNoFile);
  }
}

TEST(PictureChecks, APictureWindowIsThePartOfThePlacementInsideTheImage) {
  std::vector<uint8_t> pixels(10 * 8 * 2);
  const PixelMap image{pixels.data(), 10, 8, 2, 20, 0};
  // Row offset, column offset, height, width of the placement -> window
  // origin in the image (row, column), window height, width, and the
  // picture's first row and column shown.
  auto window = [&](Placement placement, PictureSize picture = {10, 8}) {
    const PictureWindow w = WindowForPlacement(image, placement, picture);
    if (!w.target.bits) return std::vector<int>{-1, -1, w.target.height, w.target.width, w.firstRow, w.firstColumn};
    const auto offset = static_cast<int>(w.target.bits - pixels.data());
    return std::vector<int>{offset / 20, offset % 20 / 2, w.target.height, w.target.width, w.firstRow, w.firstColumn};
  };
  EXPECT_EQ(window({0, 0, 8, 10}), (std::vector<int>{0, 0, 8, 10, 0, 0}));
  EXPECT_EQ(window({-3, -4, 8, 10}), (std::vector<int>{0, 0, 5, 6, 3, 4}));
  EXPECT_EQ(window({6, 7, 8, 10}), (std::vector<int>{6, 7, 2, 3, 0, 0}));
  EXPECT_EQ(window({2, 3, 1, 1}), (std::vector<int>{2, 3, 1, 1, 0, 0}));
  EXPECT_EQ(window({9, 11, 2, 2}), (std::vector<int>{-1, -1, 0, 0, 0, 0}));
  EXPECT_EQ(window({-20, -20, 5, 5}), (std::vector<int>{-1, -1, 0, 0, 0, 0}));
  EXPECT_EQ(window({0, 0, 8, 10}, {4, 3}), (std::vector<int>{0, 0, 3, 4, 0, 0}))
      << "a placement the callback made larger than the picture covers the picture only";
  EXPECT_EQ(window({-2, 0, 8, 10}, {4, 2}), (std::vector<int>{-1, -1, 0, 0, 0, 0}));
  EXPECT_EQ(WindowForPlacement(PixelMap{}, {0, 0, 5, 5}, {5, 5}).target.bits, nullptr);
}

}  // namespace
}  // namespace vx
