// The platform's fonts (FreeType through fontconfig) in every family and
// style, and the text bitmap drawn with them.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "engine/media/text/TextBitmap.h"
#include "platform/Font.h"

namespace vx {
namespace {

constexpr int kPixels = 24;

std::vector<uint8_t> Drawn(const Font& font, std::string_view text, int width, int height) {
  std::vector<uint8_t> bits(static_cast<size_t>(width * height), 0);
  GlyphMask mask{bits, width, height};
  font.DrawText(mask, 0, 0, text);
  return bits;
}

int Marked(const std::vector<uint8_t>& bits) {
  int count = 0;
  for (uint8_t b : bits) {
    EXPECT_LE(b, 1) << "monochrome";
    count += b;
  }
  return count;
}

class FontFaces : public ::testing::TestWithParam<std::tuple<FontFamily, bool, bool>> {};

TEST_P(FontFaces, OpensMeasuresAndDrawsMonochromeGlyphs) {
  const auto [family, bold, italic] = GetParam();
  std::unique_ptr<Font> font = CreateFont({kPixels, family, bold, italic});
  ASSERT_NE(font, nullptr);
  const FontMetrics m = font->Metrics();
  EXPECT_GE(m.height, kPixels);
  EXPECT_LE(m.height, 2 * kPixels);
  EXPECT_EQ(m.height, m.ascent + m.descent);
  const int width = font->MeasureText("Hg");
  EXPECT_GT(width, kPixels / 2);
  EXPECT_LT(width, 3 * kPixels);
  const std::vector<uint8_t> bits = Drawn(*font, "Hg", width + kPixels, m.height);
  EXPECT_GT(Marked(bits), kPixels);
  EXPECT_EQ(Marked(Drawn(*font, "   ", 3 * kPixels, m.height)), 0) << "spaces draw nothing";
}

INSTANTIATE_TEST_SUITE_P(EveryFamilyAndStyle, FontFaces,
                         ::testing::Combine(::testing::Values(FontFamily::Serif, FontFamily::SansSerif,
                                                              FontFamily::Monospace),
                                            ::testing::Bool(), ::testing::Bool()));

TEST(Fonts, StylesAndFamiliesDrawDifferentPictures) {
  // Told apart by a hash of their bytes.
  std::set<size_t> pictures;
  for (FontFamily family : {FontFamily::Serif, FontFamily::SansSerif, FontFamily::Monospace}) {
    for (int style = 0; style < 4; ++style) {
      std::unique_ptr<Font> font = CreateFont({kPixels, family, (style & 1) != 0, (style & 2) != 0});
      ASSERT_NE(font, nullptr);
      const std::vector<uint8_t> picture = Drawn(*font, "Rag", 4 * kPixels, 2 * kPixels);
      pictures.insert(std::hash<std::string_view>{}(
          std::string_view(reinterpret_cast<const char*>(picture.data()), picture.size())));
    }
  }
  EXPECT_EQ(pictures.size(), 12u) << "bold and italic faces exist for each family";
}

TEST(Fonts, MonospaceCharactersShareOneAdvance) {
  std::unique_ptr<Font> font = CreateFont({kPixels, FontFamily::Monospace, false, false});
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->MeasureText("iiii"), font->MeasureText("WWWW"));
  EXPECT_EQ(font->MeasureText("iiii"), 4 * font->MeasureText("i"));
}

TEST(Fonts, SizesOutsideTheRangeAreRefusedAndZeroIsTheDefault) {
  EXPECT_EQ(CreateFont({-1, FontFamily::Serif, false, false}), nullptr);
  EXPECT_EQ(CreateFont({kMaxFontPixels + 1, FontFamily::Serif, false, false}), nullptr);
  std::unique_ptr<Font> standard = CreateFont({0, FontFamily::Serif, false, false});
  std::unique_ptr<Font> sixteen = CreateFont({kDefaultFontPixels, FontFamily::Serif, false, false});
  ASSERT_NE(standard, nullptr);
  ASSERT_NE(sixteen, nullptr);
  EXPECT_EQ(standard->Metrics().height, sixteen->Metrics().height);
}

TEST(Fonts, Utf8IsDecodedAndBrokenBytesStandForTheReplacementCharacter) {
  EXPECT_EQ(DecodeUtf8("a\xC3\xA9\xE2\x82\xAC"), U"a\u00E9\u20AC");
  EXPECT_EQ(DecodeUtf8("\xC3"), U"\uFFFD") << "cut short";
  EXPECT_EQ(DecodeUtf8("\xC0\xAF"), U"\uFFFD\uFFFD") << "overlong";
  EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD") << "a surrogate";
  std::unique_ptr<Font> font = CreateFont({kPixels, FontFamily::SansSerif, false, false});
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->MeasureText("\xC3\xA9"), font->MeasureText("\u00E9"));
  EXPECT_GT(font->MeasureText("\xFF\xFE"), 0) << "drawn as replacement glyphs, not skipped";
}

TEST(Fonts, ATextBitmapWithThePlatformFontHoldsOnlyItsTwoColours) {
  CTextBitmap bitmap;
  bitmap.SetPixelDepth(32);
  bitmap.SetFontSize(18);
  bitmap.SetFontStyle(kStyleItalic);
  bitmap.SetText("Vantessel\nw\u00F6rlds");
  PixelMap map;
  ASSERT_EQ(bitmap.GetImage(&map), 0);
  EXPECT_EQ(map.width % 4, 0);
  EXPECT_EQ(bitmap.GetLineCount(), 2);
  int ink = 0;
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, map.Row(y) + 4 * x, 4);
      ASSERT_TRUE(pixel == 0u || pixel == 0x00FFFFFFu) << std::hex << pixel;
      ink += pixel == 0u;
    }
  }
  EXPECT_GT(ink, 100);
}

}  // namespace
}  // namespace vx
