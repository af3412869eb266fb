// GIF media: versions, colour tables, interlace, frames drawn over each
// other, frame delays on the world's clock (alone and in a world at many
// frame rates), the frame grid, and hostile files under the sanitizers.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/FrameSetTexture.h"
#include "engine/media/MediaFactories.h"
#include "engine/media/MediaFormats.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/IndexedPixels.h"
#include "engine/media/formats/gif/GifLzw.h"
#include "engine/media/formats/gif/GifMedia.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/render/DibImage.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "tests/media/ImageMagickReference.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/media/LocalPictureTest.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::GifFrame;
using test::MakeGif;
using test::SolidFrame;
using test::TestTable;
using test::Xrgb32At;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kFill = test::kFillBlue;

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t state = seed;
  for (uint8_t& v : out) {
    state = state * 1103515245u + 12345u;
    v = static_cast<uint8_t>((state >> 16) % 7 == 0 ? (state >> 8) : (state >> 24) % 4);
  }
  return out;
}

TEST(GifLzw, DecodesWhatTheEncoderPackedAtEveryCodeSizeAcrossTableResets) {
  for (const int32_t codeSize : {2, 4, 8}) {
    const uint8_t mask = static_cast<uint8_t>((1 << codeSize) - 1);
    for (std::vector<uint8_t> indices : {Pattern(70000, 7), std::vector<uint8_t>(20000, 3), Pattern(5, 1)}) {
      for (uint8_t& v : indices) v &= mask;
      SCOPED_TRACE(testing::Message() << "code size " << codeSize << ", " << indices.size() << " pixels");
      const std::vector<uint8_t> data = test::EncodeLzw(indices, codeSize);
      CGifLzw lzw(codeSize, data);
      size_t wrong = 0;
      for (const uint8_t expected : indices) wrong += lzw.ReadIndex() != expected;
      EXPECT_EQ(wrong, 0u);
      EXPECT_EQ(lzw.ReadIndex(), 0) << "past the end code every index is 0";
      EXPECT_TRUE(lzw.Ended());
    }
  }
}

TEST(GifLzw, AnEndCodeRightAfterTheClearGivesIndexZeroAndRandomDataNeverRunsAway) {
  test::BitWriter writer;
  writer.Put(4, 3);
  writer.Put(5, 3);
  const std::vector<uint8_t> ended = writer.Finish();
  CGifLzw lzw(2, ended);
  EXPECT_EQ(lzw.ReadIndex(), 0);

  // Codes far past the table, chains through stale entries: bounded output.
  for (uint32_t seed = 1; seed < 40; ++seed) {
    std::vector<uint8_t> noise = Pattern(600, seed);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(noise[i] * 37 + i);
    CGifLzw hostile(static_cast<int32_t>(2 + seed % 10), noise);
    for (int i = 0; i < 200000 && !hostile.Ended(); ++i) static_cast<void>(hostile.ReadIndex());
    EXPECT_TRUE(hostile.Ended()) << "seed " << seed;
  }
}

using GifMedia = test::LocalPictureTest;

TEST_F(GifMedia, BothVersionsLoadAndOnlyTheFifthSignatureByteIsLookedAt) {
  const std::vector<GifFrame> frame = {SolidFrame(0, 0, 4, 3, 1)};
  for (const char* signature : {"GIF87a", "GIF89a", "XXX89a"}) {
    CGifMedia media;
    EXPECT_EQ(Load(media, MakeGif(4, 3, frame, TestTable(4), signature)), MediaComplete) << signature;
    EXPECT_EQ(Xrgb32At(Image(media), 3, 2), kRed) << signature;
  }
  CGifMedia wrong;
  EXPECT_EQ(Load(wrong, MakeGif(4, 3, frame, TestTable(4), "GIF88a")), MediaUnusable);
  EXPECT_EQ(wrong.HasImage(), 0);
}

TEST_F(GifMedia, WithoutAnyTableIndicesAreGreysAndLocalTablesWinOverTheGlobalOne) {
  GifFrame greys{0, 0, 4, 1, {0, 64, 128, 255}};
  CGifMedia plain;
  ASSERT_EQ(Load(plain, MakeGif(4, 1, {greys})), MediaComplete);
  // i / 256 of full brightness, cut to a byte.
  const std::vector<uint32_t> expected = {0, 0x3F3F3F, 0x7F7F7F, 0xFEFEFE};
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Xrgb32At(Image(plain), x, 0), expected[static_cast<size_t>(x)]) << x;

  GifFrame local = SolidFrame(0, 0, 2, 1, 1);
  local.localTable = {0, 0, 0, 0, 255, 0};  // entry 1 green here, red globally
  CGifMedia both;
  ASSERT_EQ(Load(both, MakeGif(2, 1, {local}, TestTable(4))), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(both), 0, 0), kGreen);
}

TEST_F(GifMedia, EachPixelDepthGetsItsOwnPixelForm) {
  const std::string file = MakeGif(2, 2, {SolidFrame(0, 0, 2, 2, 1)}, TestTable(4));
  CGifMedia sixteen;
  ASSERT_EQ(Load(sixteen, file, 16), MediaComplete);
  EXPECT_EQ(test::Pixel555At(Image(sixteen), 1, 1), 0x7C00);
  const PaletteTable palette = BuiltInPaletteTable();
  CGifMedia eight;
  eight.SetPalette(&palette);
  ASSERT_EQ(Load(eight, file, 8), MediaComplete);
  EXPECT_EQ(Image(eight).Row(1)[1], PixelValueOf(FloatColor{1, 0, 0}, 1, GetSharedInverseMap(palette)));
}

TEST_F(GifMedia, InterlacedRowsComeInTheirFourPasses) {
  GifFrame frame{0, 0, 3, 10};
  frame.interlaced = true;
  // Data row k has index k; entry k of the table is (k, 0, 0).
  std::vector<uint8_t> table(30, 0);
  for (uint8_t k = 0; k < 10; ++k) {
    frame.indices.insert(frame.indices.end(), 3, k);
    table[k * 3u] = k;
  }
  table.resize(16 * 3, 0);
  CGifMedia media;
  ASSERT_EQ(Load(media, MakeGif(3, 10, {frame}, table)), MediaComplete);
  std::vector<uint32_t> dataRowOfImageRow;
  for (int y = 0; y < 10; ++y) dataRowOfImageRow.push_back(Xrgb32At(Image(media), 2, y) >> 16);
  // Image rows 0, 8, 4, 2, 6, 1, 3, 5, 7, 9 take data rows 0 .. 9.
  EXPECT_EQ(dataRowOfImageRow, (std::vector<uint32_t>{0, 5, 3, 6, 2, 7, 4, 8, 1, 9}));
}

TEST_F(GifMedia, EachFrameStaysForItsOwnDelayOnTheWorldsClockAndIsDrawnOverTheLast) {
  std::vector<GifFrame> frames = {SolidFrame(0, 0, 100, 100, 0), SolidFrame(10, 5, 20, 10, 1),
                                  SolidFrame(30, 30, 5, 5, 2)};
  // No delay given, a quarter of a second, and a delay of one hundredth.
  frames[1].delayHundredths = 25;
  frames[2].delayHundredths = 1;
  CGifMedia media;
  ASSERT_EQ(Load(media, MakeGif(100, 100, frames, TestTable(4))), MediaComplete);
  EXPECT_EQ(media.GetDuration(), 3.0f);
  auto updateAt = [&media](double seconds) {
    media.SetWorldTime(seconds);
    media.Update();
  };
  media.SetWorldTime(2.0);
  media.Play();
  EXPECT_EQ(media.IsPlaying(), 1.0f);
  EXPECT_EQ(media.GetPosition(), 1) << "the first frame shows in the step that starts the run";
  updateAt(2.0);
  EXPECT_EQ(media.GetPosition(), 1);
  updateAt(2.099);
  EXPECT_EQ(media.GetPosition(), 1) << "a frame without a delay stays a tenth of a second";
  EXPECT_EQ(Xrgb32At(Image(media), 10, 5), kWhite);
  updateAt(2.1);
  EXPECT_EQ(media.GetPosition(), 2);
  EXPECT_EQ(Xrgb32At(Image(media), 10, 5), kRed) << "the frame's first pixel sits at row 5, column 10";
  EXPECT_EQ(Xrgb32At(Image(media), 29, 14), kRed);
  EXPECT_EQ(Xrgb32At(Image(media), 9, 5), kWhite) << "pixels around the frame keep the earlier frame";
  EXPECT_EQ(Xrgb32At(Image(media), 10, 4), kWhite);
  EXPECT_EQ(Xrgb32At(Image(media), 30, 15), kWhite);
  updateAt(2.349);
  EXPECT_EQ(media.GetPosition(), 2);
  updateAt(2.35);
  EXPECT_EQ(Xrgb32At(Image(media), 30, 30), kGreen);
  EXPECT_EQ(Xrgb32At(Image(media), 10, 5), kRed);
  EXPECT_EQ(media.GetPosition(), 3);
  updateAt(2.449);
  EXPECT_EQ(media.IsPlaying(), 1.0f) << "a delay of one hundredth counts as ten";
  updateAt(2.45);
  EXPECT_EQ(media.IsPlaying(), 0.0f);
  EXPECT_EQ(media.GetPosition(), 3) << "the index stays at the end until Rewind";
  media.Rewind();
  EXPECT_EQ(media.GetPosition(), 0);

  // A late step draws every frame that came due, in order.
  CGifMedia late;
  ASSERT_EQ(Load(late, MakeGif(100, 100, frames, TestTable(4))), MediaComplete);
  late.SetWorldTime(0.0);
  late.Play();
  EXPECT_EQ(late.GetPosition(), 1);
  late.SetWorldTime(0.4);
  late.Update();
  EXPECT_EQ(late.GetPosition(), 3);
  EXPECT_EQ(Xrgb32At(Image(late), 10, 5), kRed);
  EXPECT_EQ(Xrgb32At(Image(late), 30, 30), kGreen);
  EXPECT_EQ(late.IsPlaying(), 1.0f);
}

// Pixels of a frame's transparent index keep what an earlier frame drew,
// and show their palette colour where none did; the screen is transparent
// until a frame draws an opaque pixel there.
TEST_F(GifMedia, TransparentIndicesKeepWhatWasThereAndOpacityFollowsWhatWasDrawn) {
  GifFrame first = SolidFrame(0, 0, 4, 2, 1);
  first.indices[1] = 2;
  first.transparentIndex = 2;
  GifFrame second = SolidFrame(0, 0, 6, 2, 0);
  second.indices[4] = 2;
  second.transparentIndex = 0;
  second.delayHundredths = 10;
  CGifMedia media;
  ASSERT_EQ(Load(media, MakeGif(6, 2, {first, second}, TestTable(4))), MediaComplete);
  const AlphaPlane* alpha = media.GetAlpha();
  ASSERT_NE(alpha, nullptr);
  ASSERT_EQ(alpha->width, 6);
  ASSERT_EQ(alpha->height, 2);
  const uint8_t afterFirst[] = {255, 0, 255, 255, 0, 0};
  for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(alpha->At(x, 0), afterFirst[x]) << x;
  EXPECT_EQ(Xrgb32At(Image(media), 0, 0), kRed);
  EXPECT_EQ(Xrgb32At(Image(media), 1, 0), kGreen) << "keyed where nothing was drawn: the palette colour";
  media.SetWorldTime(1.0);
  media.Play();
  media.SetWorldTime(1.2);
  media.Update();
  EXPECT_EQ(media.GetPosition(), 2);
  EXPECT_EQ(Xrgb32At(Image(media), 0, 0), kRed) << "index 0 is the second frame's transparent one";
  EXPECT_EQ(Xrgb32At(Image(media), 3, 0), kRed);
  EXPECT_EQ(Xrgb32At(Image(media), 4, 0), kGreen);
  EXPECT_EQ(Xrgb32At(Image(media), 1, 0), kWhite) << "keyed in both frames: the second frame's palette colour";
  const uint8_t afterSecond[] = {255, 0, 255, 255, 255, 0};
  for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(alpha->At(x, 0), afterSecond[x]) << x;

  CGifMedia opaque;
  ASSERT_EQ(Load(opaque, MakeGif(6, 2, {SolidFrame(0, 0, 6, 2, 1)}, TestTable(4))), MediaComplete);
  EXPECT_EQ(opaque.GetAlpha(), nullptr) << "a file without a transparent index keeps no opacity";
}

// A keyed picture as ImageMagick writes it: opacity and colours are the ones
// ImageMagick reads.
TEST_F(GifMedia, AKeyedPictureWrittenByImageMagickGivesItsOpacity) {
  constexpr int32_t kWidth = 19;
  constexpr int32_t kHeight = 13;
  const std::string path = folder_.Path() + "/keyed.gif";
  if (!test::RunImageMagick("-size 19x13 gradient:red-blue -alpha set -channel A -fx '(i+j)%3?1:0' +channel '" + path +
                            "'"))
    GTEST_SKIP() << "ImageMagick is not installed";
  const std::vector<uint8_t> reference = test::ReadRgbaWithImageMagick("gif", path, kWidth * kHeight);
  ASSERT_FALSE(reference.empty());
  std::ifstream stream(path, std::ios::binary);
  CGifMedia media;
  ASSERT_EQ(Load(media, std::string{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()}),
            MediaComplete);
  const AlphaPlane* alpha = media.GetAlpha();
  ASSERT_NE(alpha, nullptr);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t* theirs = &reference[static_cast<size_t>(y * kWidth + x) * 4];
      ASSERT_EQ(alpha->At(x, y), theirs[3]) << x << "," << y;
      if (theirs[3] == 0) continue;
      ASSERT_EQ(Xrgb32At(Image(media), x, y), uint32_t{theirs[0]} << 16 | uint32_t{theirs[1]} << 8 | theirs[2]);
    }
}

TEST_F(GifMedia, TheFramesFormAOneColumnGridThatFrameSetsDrawFrom) {
  const std::string path = folder_.Write("anim.gif", MakeGif(8, 8,
                                                             {SolidFrame(0, 0, 8, 8, 0), SolidFrame(0, 0, 8, 8, 1),
                                                              SolidFrame(0, 0, 8, 8, 2)},
                                                             TestTable(4)));
  std::unique_ptr<CFrameSetTexture> frames = CreateFrameSetTexture(path.c_str());
  ASSERT_NE(frames, nullptr);
  frames->SetPixelDepth(32);
  for (int i = 0; i < 4; ++i) frames->Process();
  FrameGrid grid;
  ASSERT_EQ(frames->GetFrameGrid(&grid), 1);
  EXPECT_EQ(grid.order, kFrameOrderDownColumns);
  EXPECT_EQ(grid.framesDown, 3);
  EXPECT_EQ(grid.framesAcross, 1);
  EXPECT_EQ(grid.spare, 1);
  EXPECT_EQ(grid.frameWidth, 8);
  EXPECT_EQ(grid.frameHeight, 8);

  std::unique_ptr<CDibImage> target = CDibImage::Create(8, 8, 32, nullptr, false, false);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(frames->DrawFrameAt({5, 0, 0}, target.get()), 0);
  EXPECT_EQ(Xrgb32At(target->GetPixelMap(), 7, 7), kGreen) << "row 5 of three frames is frame 2";
  EXPECT_EQ(frames->DrawFrameAt({1, 0, 0}, target.get()), 0);
  EXPECT_EQ(Xrgb32At(target->GetPixelMap(), 0, 0), kRed);

  auto* media = static_cast<CGifMedia*>(frames->Media());
  FrameRef* frame = frames->GetFrame({0, 0, 0});
  EXPECT_EQ(media->DrawFrame(frame, nullptr), 2) << "no frame target once it was cleared";
  target.reset();
  media->Play();
  media->Update();
  EXPECT_EQ(Xrgb32At(Image(*media), 0, 0), kWhite) << "steps draw into the object's own image";
}

TEST_F(GifMedia, HostileFilesAreRefusedOrClippedAndNeverReadOrWriteOutOfBounds) {
  const std::vector<uint8_t> table = TestTable(4);
  const std::string good = MakeGif(16, 16, {SolidFrame(0, 0, 16, 16, 1), SolidFrame(2, 2, 3, 3, 2)}, table);
  for (size_t length = 0; length < good.size(); ++length) {
    CGifMedia truncated;
    EXPECT_EQ(Load(truncated, good.substr(0, length)), MediaUnusable) << length << " bytes";
  }

  // An unknown extension whose data holds an image mark is skipped whole.
  std::string unknown = test::GifHeader("GIF89a", 4, 4, table);
  unknown += "\x21\x77\x03,,,\x02,,";
  unknown += '\0';
  unknown += test::GifImageBlock(SolidFrame(0, 0, 4, 4, 2)) + ";";
  CGifMedia skipped;
  ASSERT_EQ(Load(skipped, unknown), MediaComplete);
  EXPECT_EQ(skipped.FrameCount(), 1);
  EXPECT_EQ(Xrgb32At(Image(skipped), 3, 3), kGreen);

  CGifMedia noImage;
  EXPECT_EQ(Load(noImage, test::GifHeader("GIF89a", 4, 4, table) + ";"), MediaUnusable);
  CGifMedia huge;
  EXPECT_EQ(Load(huge, MakeGif(65535, 65535, {SolidFrame(0, 0, 1, 1, 1)}, table)), MediaUnusable);
  CGifMedia empty;
  EXPECT_EQ(Load(empty, MakeGif(0, 4, {SolidFrame(0, 0, 1, 1, 1)}, table)), MediaUnusable);

  // A frame past the screen's corner is cut at the image's edge.
  CGifMedia overhang;
  ASSERT_EQ(Load(overhang, MakeGif(8, 8, {SolidFrame(6, 6, 40, 40, 1)}, table)), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(overhang), 7, 7), kRed);
  EXPECT_EQ(Xrgb32At(Image(overhang), 5, 5), kFill);

  // A frame whose data ends early gets index 0 for the rest; a bad code
  // size leaves the frame undrawn.
  GifFrame badCodes = SolidFrame(0, 0, 4, 4, 1);
  std::string cut = test::GifHeader("GIF89a", 4, 4, table) + ",";
  for (int i = 0; i < 2; ++i) test::PutWord(cut, 0);
  for (int i = 0; i < 2; ++i) test::PutWord(cut, 4);
  cut += std::string("\0\x02\x01\x04\0;", 6);
  CGifMedia early;
  ASSERT_EQ(Load(early, cut), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(early), 3, 3), kWhite) << "entry 0";
  badCodes.minCodeSize = 12;
  CGifMedia undrawn;
  ASSERT_EQ(Load(undrawn, MakeGif(4, 4, {badCodes}, table)), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(undrawn), 0, 0), kFill);

  // A local table smaller than the indices used: entries past it are kWhite.
  GifFrame small = SolidFrame(0, 0, 2, 2, 200);
  small.localTable = {255, 255, 255, 255, 255, 255};
  CGifMedia beyond;
  ASSERT_EQ(Load(beyond, MakeGif(2, 2, {small})), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(beyond), 1, 1), 0u);
}

// Four frames of their own colours (table entries 1 to 4) with delays of
// 100, 250, 100 (none given) and 150 ms: 600 ms a run.
constexpr int32_t kRunMs = 600;
constexpr int32_t kFrameStartsMs[] = {0, 100, 350, 450};

std::string PacedGif() {
  std::vector<GifFrame> frames;
  for (const int32_t delay : {10, 25, 0, 15}) {
    frames.push_back(SolidFrame(0, 0, 4, 4, static_cast<uint8_t>(frames.size() + 1)));
    frames.back().delayHundredths = delay;
  }
  return MakeGif(4, 4, frames, TestTable(8));
}

// The colour of the frame that is on screen `into` ms after its run began.
uint32_t ColourAt(int64_t into) {
  const std::vector<uint8_t> table = TestTable(8);
  size_t frame = 0;
  while (frame + 1 < std::size(kFrameStartsMs) && kFrameStartsMs[frame + 1] <= into) ++frame;
  const size_t entry = (frame + 1) * 3;
  return uint32_t{table[entry]} << 16 | uint32_t{table[entry + 1]} << 8 | table[entry + 2];
}

TEST(GifInAWorld, AMovieTextureRunsItsGifAtTheGifsOwnPaceAtEveryFrameRate) {
  test::TemporaryFolder folder{"vxgifworld"};
  const std::string gif = folder.Write("paced.gif", PacedGif());
  for (const int32_t framesPerSecond : {1, 7, 10, 24, 60, 144}) {
    SCOPED_TRACE(testing::Message() << framesPerSecond << " frames a second");
    ManualClock clock(10000);
    auto world = std::make_unique<CBrowser>();
    auto stream = CSceneInputStream::FromText("#VRML V2.0 utf8\nDEF Movie MovieTexture { url \"" + gif +
                                              "\" loop TRUE }");
    CSceneReader reader(stream);
    ASSERT_TRUE(reader.ReadScene(&world->GetScene())) << reader.GetMessage();
    std::vector<uint32_t> pixels(16 * 16);
    PixelMap frame{reinterpret_cast<uint8_t*>(pixels.data()), 16, 16, 4, 16 * 4};
    CViewContext view{WindowHandle::None, 0};
    view.SetFrameBuffer(frame);
    world->ResetClock();
    world->RenderView(RenderPass::Activate, &view);
    auto& movie = static_cast<CMovieTextureNode&>(*world->FindNode("Movie"));

    int64_t playedFromMs = -1;
    int compared = 0;
    for (int32_t step = 1; step <= 4 * framesPerSecond; ++step) {
      const auto now = static_cast<int64_t>(step) * 1000 / framesPerSecond;
      clock.Set(10000 + static_cast<uint64_t>(now));
      world->RenderFrame(&view);
      if (playedFromMs < 0 && movie.IsPlaying()) playedFromMs = now;
      if (playedFromMs < 0) continue;
      // Runs follow one another without a gap: the step in which one ends
      // shows the next one's frame.
      const int64_t into = (now - playedFromMs) % kRunMs;
      PixelMap picture;
      movie.GetFrameInfo(&picture);
      ASSERT_EQ(picture.bytesPerPixel, 4);
      EXPECT_EQ(Xrgb32At(picture, 2, 2), ColourAt(into)) << now - playedFromMs << " ms after it started";
      ++compared;
    }
    EXPECT_GE(playedFromMs, 0) << "the movie started";
    EXPECT_GT(compared, framesPerSecond);
    world->RenderView(RenderPass::Deactivate, &view);
  }
}

TEST(GifFormats, GifNamesOpenGifMedia) {
  std::unique_ptr<CMediaObject> media = OpenMedia("a.gif", true);
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->GetTypeCode(), MediaType::Gif);
}

}  // namespace
}  // namespace vx
