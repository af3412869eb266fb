// The platform's fonts (FreeType through fontconfig) in every family and
// style, and the text bitmap drawn with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
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
  const int width = font->MeasureText("Hg").advance;
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
  EXPECT_EQ(font->MeasureText("iiii").advance, font->MeasureText("WWWW").advance);
  EXPECT_EQ(font->MeasureText("iiii").advance, 4 * font->MeasureText("i").advance);
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
  EXPECT_EQ(font->MeasureText("\xC3\xA9").advance, font->MeasureText("\u00E9").advance);
  EXPECT_GT(font->MeasureText("\xFF\xFE").advance, 0) << "drawn as replacement glyphs, not skipped";
}

// Where a line's ink is when drawn with room all round: its pixel count
// and its leftmost and rightmost columns, from the pen's start.
struct Ink {
  int pixels = 0;
  int left = 0;
  int right = 0;  // past the last column
};

Ink InkOf(const std::vector<uint8_t>& bits, int width, int pen) {
  Ink ink{0, INT32_MAX, INT32_MIN};
  for (size_t i = 0; i < bits.size(); ++i) {
    if (!bits[i]) continue;
    const int x = static_cast<int>(i % static_cast<size_t>(width)) - pen;
    ++ink.pixels;
    ink.left = std::min(ink.left, x);
    ink.right = std::max(ink.right, x + 1);
  }
  return ink;
}

Ink InkWithRoom(const Font& font, std::string_view text) {
  const int room = 4 * kPixels;
  const int width = font.MeasureText(text).advance + 2 * room;
  std::vector<uint8_t> bits(static_cast<size_t>(width * font.Metrics().height), 0);
  GlyphMask mask{bits, width, font.Metrics().height};
  font.DrawText(mask, room, 0, text);
  return InkOf(bits, width, room);
}

// Lines of one and five letters whose glyphs reach past their advance or
// before their start in some face ("f" and "j" of the italics, a slanted
// "W"), and a space that draws nothing.
constexpr std::string_view kLines[] = {"A", "W", "f", "j", "jAVWf", "ffff ", " "};

// Every pixel the font draws for a line is in the line's picture, in every
// face and at sizes whose advances round differently.
TEST_P(FontFaces, EveryPixelOfALineIsInItsPicture) {
  const auto [family, bold, italic] = GetParam();
  const uint8_t style = static_cast<uint8_t>((bold ? kStyleBold : 0) | (italic ? kStyleItalic : 0));
  const uint8_t textFamily = family == FontFamily::Serif ? kFamilySerif
                             : family == FontFamily::SansSerif ? kFamilySans
                                                               : kFamilyTypewriter;
  for (int points : {9, 12, 13, 18}) {
    std::unique_ptr<Font> font = CreateFont({PointsToPixels(points), family, bold, italic});
    ASSERT_NE(font, nullptr);
    for (std::string_view text : kLines) {
      CTextBitmap bitmap;
      bitmap.SetPixelDepth(32);
      bitmap.SetFontSize(points);
      bitmap.SetFontFamily(textFamily);
      bitmap.SetFontStyle(style);
      bitmap.SetText(text);
      PixelMap map;
      ASSERT_EQ(bitmap.GetImage(&map), 0);
      std::vector<uint8_t> bits;
      for (int y = 0; y < map.height; ++y) {
        for (int x = 0; x < map.width; ++x) bits.push_back(map.Row(y)[4 * x] == 0);
      }
      const Ink pictured = InkOf(bits, map.width, 0);
      const Ink drawn = InkWithRoom(*font, text);
      EXPECT_EQ(pictured.pixels, drawn.pixels) << text << " at " << points << " points";
      if (drawn.pixels > 0) {
        EXPECT_EQ(pictured.right - pictured.left, drawn.right - drawn.left) << text;
      }
      EXPECT_GE(map.width, font->MeasureText(text).advance) << text;
    }
  }
}

TEST(Fonts, AMillionWideGlyphsMeasureAsFarAsAnIntReachesAndDrawNoFurther) {
  std::unique_ptr<Font> font = CreateFont({kMaxFontPixels, FontFamily::Serif, false, false});
  ASSERT_NE(font, nullptr);
  // U+2031 is the widest glyph of the face: some 3,550 pixels at this size.
  const std::string_view wide = "\u2031";
  ASSERT_GT(font->MeasureText(wide).advance, 3500);
  std::string line;
  for (int k = 0; k < 620000; ++k) line.append(wide);
  const TextExtent extent = font->MeasureText(line);
  EXPECT_EQ(extent.advance, INT32_MAX);
  EXPECT_GT(extent.inkRight, 0);
  EXPECT_GE(extent.inkLeft, 0);
  std::vector<uint8_t> bits(64 * 64, 0);
  GlyphMask mask{bits, 64, 64};
  font->DrawText(mask, 0, -1000, line);
  EXPECT_EQ(Marked(bits), 0) << "all of it above the mask";
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
