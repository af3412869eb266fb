// BMP media: row order and padding, Windows and OS/2 palettes, and files
// that lie about their sizes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/media/MediaFormats.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/bmp/BmpMedia.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/media/LocalPictureTest.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::BmpSpec;
using test::MakeBmp;
using test::Xrgb32At;

// A palette of 256 entries, entry i = (blue i, green 0, red 255 - i), with
// entry 5 pure blue.
std::vector<uint8_t> BgrPalette() {
  std::vector<uint8_t> palette;
  for (size_t i = 0; i < 256; ++i) test::PushTriple(palette, i, 0, 255 - i);
  palette[15] = 255, palette[16] = 0, palette[17] = 0;
  return palette;
}

using BmpMedia = test::LocalPictureTest;

TEST_F(BmpMedia, TwentyFourBitRowsArePaddedAndStoredBottomRowFirst) {
  // Top row red, green, blue; bottom row white, black, grey.
  const BmpSpec spec{3, 2, 24, false, 0, {}, {0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 0, 0, 128, 128, 128}};
  const std::string file = MakeBmp(spec);
  ASSERT_EQ(file.size(), 14u + 40u + 2 * 12u) << "9 bytes a row and 3 of padding";
  EXPECT_EQ(static_cast<uint8_t>(file[54]), 255) << "the file's first row is the picture's bottom row";
  CBmpMedia media;
  ASSERT_EQ(Load(media, file), MediaComplete);
  const PixelMap image = Image(media);
  EXPECT_EQ(Xrgb32At(image, 0, 0), 0xFF0000u);
  EXPECT_EQ(Xrgb32At(image, 1, 0), 0x00FF00u);
  EXPECT_EQ(Xrgb32At(image, 2, 0), 0x0000FFu);
  EXPECT_EQ(Xrgb32At(image, 0, 1), 0xFFFFFFu);
  EXPECT_EQ(Xrgb32At(image, 2, 1), 0x808080u);

  CBmpMedia sixteen;
  ASSERT_EQ(Load(sixteen, file, 16), MediaComplete);
  EXPECT_EQ(test::Pixel555At(Image(sixteen), 0, 0), 0x7C00);
}

TEST_F(BmpMedia, WindowsAndOs2PalettesGiveTheirColoursAndPaletteEntryFiveIsBlue) {
  for (const bool os2 : {false, true}) {
    SCOPED_TRACE(os2 ? "OS/2" : "Windows");
    const BmpSpec spec{5, 1, 8, os2, 0, BgrPalette(), {5, 0, 255, 5, 10}};
    CBmpMedia media;
    ASSERT_EQ(Load(media, MakeBmp(spec)), MediaComplete);
    const PixelMap image = Image(media);
    EXPECT_EQ(Xrgb32At(image, 0, 0), 0x0000FFu);
    EXPECT_EQ(Xrgb32At(image, 1, 0), 0xFF0000u);
    EXPECT_EQ(Xrgb32At(image, 2, 0), 0x0000FFu) << "entry 255: red 0, blue 255";
    EXPECT_EQ(Xrgb32At(image, 4, 0), 0xF5000Au);
  }

  const PaletteTable display = BuiltInPaletteTable();
  CBmpMedia eight;
  eight.SetPalette(&display);
  ASSERT_EQ(Load(eight, MakeBmp(BmpSpec{1, 1, 8, false, 0, BgrPalette(), {5}}), 8), MediaComplete);
  uint8_t blue = 0;
  ColorToPixelValues(FloatColor{0, 0, 1}, GetSharedInverseMap(display), nullptr, nullptr, &blue);
  EXPECT_EQ(Image(eight).Row(0)[0], blue);
}

TEST_F(BmpMedia, AColourCountPastTwoHundredFiftySixKeepsTheFirst256AndFindsThePixelsAfterAllOfThem) {
  std::vector<uint8_t> palette = BgrPalette();
  palette.insert(palette.end(), 44 * 3, 0x11);
  CBmpMedia media;
  ASSERT_EQ(Load(media, MakeBmp(BmpSpec{2, 1, 8, false, 300, palette, {5, 0}})), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(media), 0, 0), 0x0000FFu);
  EXPECT_EQ(Xrgb32At(Image(media), 1, 0), 0xFF0000u);

  CBmpMedia fewer;
  ASSERT_EQ(Load(fewer, MakeBmp(BmpSpec{2, 1, 8, false, 2, {9, 9, 9, 0, 255, 0}, {1, 7}})), MediaComplete);
  EXPECT_EQ(Xrgb32At(Image(fewer), 0, 0), 0x00FF00u);
  EXPECT_EQ(Xrgb32At(Image(fewer), 1, 0), 0u) << "an index past the palette is black";
}

TEST_F(BmpMedia, PixelsStartWhereTheHeaderSaysAcrossAnyGapAndAfterThePaletteWhenItSaysNothing) {
  // Red, then green, as B, G, R.
  const std::vector<uint8_t> redGreen = {0, 0, 255, 0, 255, 0};
  struct Case {
    const char* what;
    BmpSpec spec;
    uint32_t left;
    uint32_t right;
  };
  const std::vector<Case> cases = {
      {"24 bits, a 4-byte gap", BmpSpec{2, 1, 24, false, 0, {}, redGreen, 1, 0, 4}, 0xFF0000, 0x00FF00},
      {"8 bits, a 2-byte gap", BmpSpec{2, 1, 8, false, 0, BgrPalette(), {5, 0}, 1, 0, 2}, 0x0000FF, 0xFF0000},
      {"OS/2, a 3-byte gap", BmpSpec{2, 1, 8, true, 0, BgrPalette(), {5, 0}, 1, 0, 3}, 0x0000FF, 0xFF0000},
      // The palette said to be 256 entries ends where the pixels begin.
      {"8 bits, two entries before the pixels", BmpSpec{2, 1, 8, false, 0, {9, 9, 9, 0, 255, 0}, {1, 7}},
       0x00FF00, 0},
      {"no offset given", BmpSpec{2, 1, 24, false, 0, {}, redGreen, 1, 0, 0, 0u}, 0xFF0000, 0x00FF00},
      {"an offset into the info header", BmpSpec{2, 1, 24, false, 0, {}, redGreen, 1, 0, 0, 20u}, 0xFF0000,
       0x00FF00},
  };
  for (const Case& c : cases) {
    CBmpMedia media;
    ASSERT_EQ(Load(media, MakeBmp(c.spec)), MediaComplete) << c.what;
    EXPECT_EQ(Xrgb32At(Image(media), 0, 0), c.left) << c.what;
    EXPECT_EQ(Xrgb32At(Image(media), 1, 0), c.right) << c.what;
  }
  CBmpMedia beyond;
  EXPECT_EQ(Load(beyond, MakeBmp(BmpSpec{2, 1, 24, false, 0, {}, redGreen, 1, 0, 0, 70u})), MediaUnusable)
      << "pixels said to start where the file leaves too few";
}

TEST_F(BmpMedia, FilesThatLieAboutTheirSizesAreRefusedWholeAndNeverOverread) {
  const std::string good = MakeBmp(BmpSpec{4, 3, 24, false, 0, {}, std::vector<uint8_t>(36, 200)});
  for (size_t length = 0; length < good.size(); ++length) {
    CBmpMedia truncated;
    EXPECT_EQ(Load(truncated, good.substr(0, length)), MediaUnusable) << length << " bytes";
    EXPECT_EQ(truncated.HasImage(), 0) << length << " bytes";
  }

  const std::vector<uint8_t> pixels(36, 200);
  const std::vector<BmpSpec> refused = {
      BmpSpec{4, -3, 24, false, 0, {}, pixels},                   // rows top-down
      BmpSpec{4, 3, 24, false, 0, {}, pixels, 2},                 // two layers
      BmpSpec{4, 3, 24, false, 0, {}, pixels, 1, 1},              // compressed
      BmpSpec{4, 3, 16, false, 0, {}, pixels},                    // 16 bits
      BmpSpec{0, 3, 24, false, 0, {}, pixels},                    // no width
      BmpSpec{4, 3, 8, false, 0x40000000, BgrPalette(), pixels, 1, 0, 0, 0u},  // a palette far past the file
      BmpSpec{60000, 60000, 24, false, 0, {}, {}},                // too large, and no rows
  };
  for (const BmpSpec& spec : refused) {
    CBmpMedia media;
    EXPECT_EQ(Load(media, MakeBmp(spec)), MediaUnusable) << spec.width << " x " << spec.height << ", " << spec.bitCount;
  }

  std::string odd = good;
  odd[14] = 13;  // an info header of no known form
  CBmpMedia oddHeader;
  EXPECT_EQ(Load(oddHeader, odd), MediaUnusable);
  std::string longHeader = good;
  longHeader[17] = 0x7F;  // a header that runs past the file
  CBmpMedia pastEnd;
  EXPECT_EQ(Load(pastEnd, longHeader), MediaUnusable);
  CBmpMedia notBmp;
  EXPECT_EQ(Load(notBmp, "GIF89a not a bitmap at all"), MediaUnusable);
}

TEST(BmpFormats, BmpNamesOpenBmpMedia) {
  std::unique_ptr<CMediaObject> media = OpenMedia("a.BMP", true);
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->GetTypeCode(), MediaType::Bmp);
}

}  // namespace
}  // namespace vx
