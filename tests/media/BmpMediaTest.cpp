// BMP media: row order and padding, Windows and OS/2 palettes, every
// layout against ImageMagick, and files that lie about their sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/MediaFormats.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/bmp/BmpMedia.h"
#include "tests/media/ImageMagickReference.h"
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
      BmpSpec{4, -3, 8, false, 0, BgrPalette(), pixels, 1, 1},                 // run-length coded top-down
      BmpSpec{4, 3, 24, false, 0, {}, pixels, 2},                              // two layers
      BmpSpec{4, 3, 24, false, 0, {}, pixels, 1, 1},                           // run-length coded at 24 bits
      BmpSpec{4, 3, 24, false, 0, {}, pixels, 1, 4},                           // JPEG inside
      BmpSpec{4, 3, 16, false, 0, {}, pixels, 1, 3},                           // masks that are all empty
      BmpSpec{-4, 3, 24, false, 0, {}, pixels},                                // a negative width
      BmpSpec{0, 3, 24, false, 0, {}, pixels},                                 // no width
      BmpSpec{4, 3, 8, false, 0x40000000, BgrPalette(), pixels, 1, 0, 0, 0u},  // a palette far past the file
      BmpSpec{60000, 60000, 24, false, 0, {}, {}},                             // too large, and no rows
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

// Every layout, each as ImageMagick writes it or made from what it wrote,
// against ImageMagick's reading of the same file.
struct BmpLayout {
  const char* name;
  const char* writeArguments;  // after the source picture, ending in the format's prefix
  std::string (*rework)(std::string file) = nullptr;
};

void PrintTo(const BmpLayout& layout, std::ostream* out) { *out << layout.name; }

uint32_t LongAt(const std::string& file, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(file[at + i]);
  return value;
}

void PutLongAt(std::string& file, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(value >> (8 * i));
}

constexpr size_t kOffsetAt = 10;
constexpr size_t kWidthAt = 18;
constexpr size_t kHeightAt = 22;
constexpr size_t kCompressionAt = 30;

std::string WithoutCompressionWord(std::string file) {
  PutLongAt(file, kCompressionAt, 0);
  return file;
}

std::string TopDown(std::string file) {
  const uint32_t offset = LongAt(file, kOffsetAt);
  const auto height = static_cast<int32_t>(LongAt(file, kHeightAt));
  const size_t rowBytes = (file.size() - offset) / static_cast<size_t>(height);
  std::string flipped = file.substr(0, offset);
  for (int32_t row = height - 1; row >= 0; --row) flipped += file.substr(offset + row * rowBytes, rowBytes);
  PutLongAt(flipped, kHeightAt, static_cast<uint32_t>(-height));
  return flipped;
}

// A 4-bit file's rows coded as runs of one index where four or more repeat,
// else as literal groups.
std::string RunLength4(std::string file) {
  const uint32_t offset = LongAt(file, kOffsetAt);
  const auto width = static_cast<int32_t>(LongAt(file, kWidthAt));
  const auto height = static_cast<int32_t>(LongAt(file, kHeightAt));
  const size_t rowBytes = (static_cast<size_t>(width) * 4 + 31) / 32 * 4;
  std::string coded;
  for (int32_t row = 0; row < height; ++row) {
    std::vector<uint8_t> indices;
    for (int32_t x = 0; x < width; ++x) {
      const auto byte = static_cast<uint8_t>(file[offset + row * rowBytes + x / 2]);
      indices.push_back(x % 2 == 0 ? byte >> 4 : byte & 0xF);
    }
    for (size_t x = 0; x < indices.size();) {
      size_t same = 1;
      while (x + same < indices.size() && indices[x + same] == indices[x]) ++same;
      if (same >= 4 || indices.size() - x < 3) {
        const size_t count = same >= 4 ? same : 1;
        coded += {static_cast<char>(count), static_cast<char>(indices[x] << 4 | indices[x])};
        x += count;
        continue;
      }
      const size_t count = std::min<size_t>(6, indices.size() - x);
      coded += {'\0', static_cast<char>(count)};
      for (size_t i = 0; i < count; i += 2)
        coded += static_cast<char>(indices[x + i] << 4 | (i + 1 < count ? indices[x + i + 1] : 0));
      if (((count + 1) / 2) % 2 == 1) coded += '\0';
      x += count;
    }
    coded += std::string("\0\0", 2);
  }
  coded += std::string("\0\x01", 2);
  file = file.substr(0, offset) + coded;
  PutLongAt(file, kCompressionAt, 2);
  return file;
}

class BmpLayouts : public test::LocalPictureTest, public ::testing::WithParamInterface<BmpLayout> {};

TEST_P(BmpLayouts, DecodeAsImageMagickDoes) {
  constexpr int32_t kWidth = 23;
  constexpr int32_t kHeight = 11;
  const BmpLayout& layout = GetParam();
  const std::string source = folder_.Path() + "/source.png";
  const std::string written = folder_.Path() + "/written.bmp";
  if (!test::RunImageMagick("-size 23x11 gradient:red-blue -fill '#0f0' -draw 'line 0,0 22,10' -alpha set "
                            "-channel A -fx 'i<12?1:0.5' +channel '" +
                            source + "'") ||
      !test::RunImageMagick("'" + source + "' " + layout.writeArguments + "'" + written + "'"))
    GTEST_SKIP() << "ImageMagick is not installed";
  std::ifstream stream(written, std::ios::binary);
  std::string file{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
  if (layout.rework) file = layout.rework(file);
  const std::string reworked = folder_.Write("layout.bmp", file);
  const std::vector<uint8_t> reference = test::ReadRgbaWithImageMagick("bmp", reworked, kWidth * kHeight);
  ASSERT_FALSE(reference.empty());
  CBmpMedia media;
  ASSERT_EQ(Load(media, file), MediaComplete);
  const PixelMap image = Image(media);
  ASSERT_EQ(image.width, kWidth);
  ASSERT_EQ(image.height, kHeight);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t* theirs = &reference[static_cast<size_t>(y * kWidth + x) * 4];
      ASSERT_EQ(Xrgb32At(image, x, y), uint32_t{theirs[0]} << 16 | uint32_t{theirs[1]} << 8 | theirs[2])
          << "at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryLayout, BmpLayouts,
    ::testing::Values(BmpLayout{"palette1", "-alpha off -colors 2 -type palette -compress none bmp3:"},
                      BmpLayout{"palette4", "-alpha off -colors 16 -type palette -compress none bmp3:"},
                      BmpLayout{"palette4RunLength",
                                "-alpha off -colors 16 -type palette -compress none bmp3:", RunLength4},
                      BmpLayout{"palette8", "-alpha off -colors 200 -type palette -compress none bmp3:"},
                      BmpLayout{"palette8RunLength", "-alpha off -colors 200 -type palette -compress RLE bmp3:"},
                      BmpLayout{"palette8Os2", "-alpha off -colors 200 -type palette -compress none bmp2:"},
                      BmpLayout{"rgb555Plain", "-alpha off -define bmp:subtype=RGB555 bmp:", WithoutCompressionWord},
                      BmpLayout{"rgb555Masks", "-alpha off -define bmp:subtype=RGB555 bmp:"},
                      BmpLayout{"rgb565Masks", "-alpha off -define bmp:subtype=RGB565 bmp:"},
                      BmpLayout{"rgb24", "-alpha off -type truecolor bmp3:"},
                      BmpLayout{"rgb24TopDown", "-alpha off -type truecolor bmp3:", TopDown},
                      BmpLayout{"argb32Masks", "bmp:"}, BmpLayout{"xrgb32Plain", "bmp:", WithoutCompressionWord},
                      BmpLayout{"argb32MasksTopDown", "bmp:", TopDown}),
    [](const ::testing::TestParamInfo<BmpLayout>& info) { return std::string(info.param.name); });

TEST(BmpFormats, BmpNamesOpenBmpMedia) {
  std::unique_ptr<CMediaObject> media = OpenMedia("a.BMP", true);
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->GetTypeCode(), MediaType::Bmp);
}

}  // namespace
}  // namespace vx
