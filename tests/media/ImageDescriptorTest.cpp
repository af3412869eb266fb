// The ".txt" tile descriptor: parsing with names and orders taken over from
// block to block, the refusals, and local tiles drawn with their masks.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/FrameSetTexture.h"
#include "engine/media/MediaFactories.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/descriptor/ImageDescriptor.h"
#include "engine/media/formats/IndexedPixels.h"
#include "engine/media/formats/descriptor/ImageDescriptorMedia.h"
#include "engine/render/DibImage.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::Xrgb32At;

struct TileText {
  std::string image;
  std::string mask;
  int16_t order;
};

std::vector<TileText> Tiles(const ImageDescriptor& descriptor) {
  std::vector<TileText> out;
  for (const DescriptorTile& tile : descriptor.tiles) out.push_back({tile.imageUrl, tile.maskUrl, tile.order});
  return out;
}

bool operator==(const TileText& a, const TileText& b) {
  return a.image == b.image && a.mask == b.mask && a.order == b.order;
}

void PrintTo(const TileText& tile, std::ostream* out) {
  *out << "{" << tile.image << ", " << tile.mask << ", " << tile.order << "}";
}

TEST(ImageDescriptorText, BlocksDefineTilesInTurnAndTakeOverWhatTheyLeaveOut) {
  ImageDescriptor d;
  ASSERT_TRUE(ParseImageDescriptor("width 64 height 32 quantization 2,1 "
                                   "File { filename a.jpg order 1 mask am.gif } "
                                   "File { filename b.jpg order 0 mask bm.gif }",
                                   "http://h/t/", &d));
  EXPECT_EQ(d.grid.order, kFrameOrderAlongRows);
  EXPECT_EQ(d.grid.framesDown, 2);
  EXPECT_EQ(d.grid.framesAcross, 1);
  EXPECT_EQ(d.grid.spare, 1);
  EXPECT_EQ(d.grid.frameWidth, 64);
  EXPECT_EQ(d.grid.frameHeight, 32);
  EXPECT_EQ(Tiles(d), (std::vector<TileText>{{"http://h/t/a.jpg", "http://h/t/am.gif", 1},
                                             {"http://h/t/b.jpg", "http://h/t/bm.gif", 0}}));

  ASSERT_TRUE(ParseImageDescriptor("quantization 1,2\nFile {\n filename a.bmp\n order 7 mask m.bmp }\n"
                                   "File { filename b.bmp }",
                                   "", &d));
  EXPECT_EQ(Tiles(d), (std::vector<TileText>{{"a.bmp", "m.bmp", 7}, {"b.bmp", "m.bmp", 7}}))
      << "the second block takes the first one's mask and order; the input ends inside it";

  ASSERT_TRUE(ParseImageDescriptor("height 513 File { filename x mask y junk words } quantization", "d\\", &d));
  EXPECT_EQ(Tiles(d), (std::vector<TileText>{{"d\\x", "d\\y", 513}})) << "order from the last number read";

  ASSERT_TRUE(ParseImageDescriptor("File { filename a mask b order 70000 }", "", &d));
  EXPECT_EQ(d.tiles[0].order, static_cast<int16_t>(70000 - 65536)) << "orders are cut to 16 bits";
}

TEST(ImageDescriptorText, UnusableDescriptorsAreRefused) {
  const std::string longName(250, 'n');
  for (const char* text : {
           "quantization 2,1 File { filename a mask b }",                       // one tile short
           "quantization 1,1 File filename a mask b }",                         // no "{"
           "width x File { filename a mask b }",                                // a number missing
           "quantization 2 1 File { filename a mask b }",                       // no comma
           "quantization 0,1 File { filename a mask b }",                       // no cells
           "quantization 100000,100000 File { filename a mask b }",             // far too many
           "quantization -1,-1 File { filename a mask b }",                     // negative cells
           "quantization 1,2 File { filename a mask b } quantization 2,1 File { }",  // grid changed
           "File { filename a }",                                               // no mask to take over
           "File { mask b }",                                                   // no picture name
           "File { filename \x01" "a mask b }",                                 // control byte
           "width 70000 File { filename a mask b }",                            // past 16 bits
           "File { filename a mask",                                            // a word missing
           "",
       }) {
    ImageDescriptor d;
    EXPECT_FALSE(ParseImageDescriptor(text, "http://h/", &d)) << text;
  }
  ImageDescriptor d;
  const std::string base = "http://host/" + std::string(230, 'p') + "/";
  EXPECT_TRUE(ParseImageDescriptor("File { filename a.jpg mask b.gif }", base, &d));
  EXPECT_FALSE(ParseImageDescriptor("File { filename " + std::string(20, 'a') + ".jpg mask b.gif }", base, &d))
      << "base and name past 255 characters";
  EXPECT_EQ(DescriptorBase("http://h/dir/t.txt"), "http://h/dir/");
  EXPECT_EQ(DescriptorBase("c:t.txt"), "c:");
  EXPECT_EQ(DescriptorBase("t.txt"), "");
}

// Local tiles: BMP pictures of one colour each, and masks whose left half
// is set.
class DescriptorMedia : public ::testing::Test {
 protected:
  DescriptorMedia() {
    ResetSharedInverseMap();
    folder_.Write("red.bmp", test::SolidBmp(0, 0, 255));
    folder_.Write("green.bmp", test::SolidBmp(0, 255, 0));
    folder_.Write("mask.bmp", test::Bmp4x4([](int x, int) {
      return std::array<uint8_t, 3>{static_cast<uint8_t>(x < 2 ? 255 : 0), 0, 0};
    }));
  }
  std::unique_ptr<CImageDescriptorMedia> Load(const std::string& text, int32_t depth = 32) {
    const std::string path = folder_.Write("tiles.txt", text);
    auto media = std::make_unique<CImageDescriptorMedia>();
    media->SetPalette(&palette_);
    media->SetPixelDepth(depth);
    media->SetMaskColor(FloatColor{1.0f, 1.0f, 1.0f});
    static_cast<void>(media->SetUrl(path.c_str()));
    for (int i = 0; i < 2; ++i) media->Process();
    return media;
  }
  // Draws the frame until the tile's files are decoded.
  static void Draw(CImageDescriptorMedia& media, FrameRef* frame, CDibImage* target) {
    ASSERT_EQ(media.SetFrameTarget(target), 0);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(media.DrawFrame(frame, nullptr), 0);
    ASSERT_EQ(media.ClearFrameTarget(), 0);
  }

  test::TemporaryFolder folder_{"vxtiles"};
  PaletteTable palette_ = BuiltInPaletteTable();
};

TEST_F(DescriptorMedia, LocalTilesLoadAtOnceAndDrawTheirPictureWithTheMaskColourPaintedThroughTheMask) {
  auto media = Load("width 4 height 4 quantization 1,2 File { filename red.bmp mask mask.bmp } "
                    "File { filename green.bmp }");
  ASSERT_EQ(media->GetLoadState(), MediaComplete);
  EXPECT_EQ(media->DownloadingTile(), -1) << "local tiles need no download";
  FrameGrid grid;
  ASSERT_EQ(media->GetFrameGrid(&grid), 1);
  EXPECT_EQ(grid.framesAcross, 2);
  EXPECT_EQ(media->Tile(1).maskLocalName, folder_.Path() + "/mask.bmp");
  EXPECT_EQ(media->Tile(1).imageState, MediaFileReady);

  std::unique_ptr<FrameRef> second = media->GetFrameRef({0, 1, 0});
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(media->GetFrameRef({0, 2, 0}), nullptr);
  EXPECT_EQ(media->GetFrameRef({1, 0, 0}), nullptr);
  EXPECT_EQ(media->DrawFrame(second.get(), nullptr), 2) << "no frame target yet";

  std::unique_ptr<CDibImage> target = CDibImage::Create(4, 4, 32, nullptr, false, false);
  Draw(*media, second.get(), target.get());
  EXPECT_EQ(media->OpenTile(), 1);
  EXPECT_EQ(Xrgb32At(target->GetPixelMap(), 0, 0), 0xFFFFFFu) << "mask set: the mask colour";
  EXPECT_EQ(Xrgb32At(target->GetPixelMap(), 3, 3), 0x00FF00u) << "mask clear: the tile's picture";

  grid.order = kFrameOrderDownColumns;
  media->SetFrameGrid(grid);
  std::unique_ptr<FrameRef> first = media->GetFrameRef({0, 0, 0});
  Draw(*media, first.get(), target.get());
  EXPECT_EQ(Xrgb32At(target->GetPixelMap(), 3, 0), 0xFF0000u);
}

TEST_F(DescriptorMedia, TheMaskColourLandsOnEveryMaskedColumnAndNoOtherAtEveryPixelSize) {
  for (const int32_t depth : {8, 16, 32}) {
    SCOPED_TRACE(testing::Message() << depth << " bits");
    ResetSharedInverseMap();
    auto media = Load("width 4 height 4 File { filename green.bmp mask mask.bmp }", depth);
    ASSERT_EQ(media->GetLoadState(), MediaComplete);
    std::unique_ptr<FrameRef> tile = media->GetFrameRef({0, 0, 0});
    std::unique_ptr<CDibImage> target = CDibImage::Create(4, 4, depth, &palette_, false, false);
    ASSERT_NE(target, nullptr);
    Draw(*media, tile.get(), target.get());
    const uint8_t* inverseMap = GetSharedInverseMap(palette_);
    const int32_t bytes = depth / 8;
    const uint32_t white = PixelValueOf(FloatColor{1, 1, 1}, bytes, inverseMap);
    const uint32_t green = PixelValueOf(FloatColor{0, 1, 0}, bytes, inverseMap);
    ASSERT_NE(white, green);
    const PixelMap pixels = target->GetPixelMap();
    std::string shown;  // W for the mask colour, G for the picture, ? for anything else
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        uint32_t value = 0;
        std::memcpy(&value, pixels.Row(y) + x * bytes, static_cast<size_t>(bytes));
        shown += value == white ? 'W' : value == green ? 'G' : '?';
      }
      shown += '/';
    }
    EXPECT_EQ(shown, "WWGG/WWGG/WWGG/WWGG/") << "the mask's left half is set";
  }
}

TEST_F(DescriptorMedia, FrameSetsDeleteTheReferencesTheyAreGivenWithoutTouchingTheTiles) {
  const std::string path = folder_.Write("set.txt", "width 4 height 4 quantization 1,2 "
                                                    "File { filename red.bmp mask mask.bmp } File { }");
  std::unique_ptr<CFrameSetTexture> frames = CreateFrameSetTexture(path.c_str());
  ASSERT_NE(frames, nullptr);
  frames->SetPixelDepth(32);
  for (int i = 0; i < 3; ++i) frames->Process();
  std::unique_ptr<CDibImage> target = CDibImage::Create(4, 4, 32, nullptr, false, false);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(frames->DrawFrameAt({0, 1, 0}, target.get()), 0);
  EXPECT_EQ(Xrgb32At(target->GetPixelMap(), 3, 3), 0xFF0000u);
  frames->ClearFrames();
  auto* media = static_cast<CImageDescriptorMedia*>(frames->Media());
  EXPECT_EQ(media->TileCount(), 2);
  EXPECT_EQ(media->Tile(1).imageUrl, folder_.Path() + "/red.bmp");
}

TEST_F(DescriptorMedia, BadDescriptorsFailToLoad) {
  EXPECT_EQ(Load("width 4 height 4 quantization 2,2 File { filename red.bmp mask mask.bmp }")->GetLoadState(),
            MediaUnusable);
  EXPECT_EQ(Load("quantization 1,1 File { filename red.bmp mask mask.bmp }")->GetLoadState(), MediaUnusable)
      << "a frame of no size";
  EXPECT_EQ(Load(std::string(2 * 1024 * 1024, ' '))->GetLoadState(), MediaUnusable) << "too large a file";
}

}  // namespace
}  // namespace vx
