// The text bitmap drawn with the fixed-cell rasteriser, whose pixels are
// known, and the listener set of the FontStyle.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CellFont.h"
#include "engine/media/text/PointerSet.h"
#include "engine/media/text/TextBitmap.h"

namespace vx {
namespace {

constexpr FloatColor kRed{1, 0, 0};

// 12 points are 16 pixels: cells of 8 x 16, lines 17 apart.
template <typename ScopedFont>
class BitmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bitmap.SetFontSize(12);
    bitmap.SetPixelDepth(32);
  }
  PixelMap Image(int32_t expected = 0) {
    PixelMap map;
    EXPECT_EQ(bitmap.GetImage(&map), expected);
    return map;
  }
  static uint32_t At(const PixelMap& map, int x, int y) {
    uint32_t value = 0;
    std::memcpy(&value, map.Row(y) + x * map.bytesPerPixel, map.bytesPerPixel);
    return value;
  }

  ScopedFont font;
  CTextBitmap bitmap;
};

using TextBitmapTest = BitmapTest<test::ScopedCellFont>;
using LetterBitmapTest = BitmapTest<test::ScopedLetterFont>;

TEST_F(TextBitmapTest, LinesAreMeasuredWidestPlusATenthRoundedUpToFour) {
  bitmap.SetText("ab\ncde");
  const PixelMap map = Image();
  EXPECT_EQ(bitmap.GetLineCount(), 2);
  EXPECT_EQ(map.width, 28) << "24 + 2, up to a multiple of 4";
  EXPECT_EQ(map.height, 2 * (16 + test::kCellLeading));
  EXPECT_EQ(test::ScopedCellFont::LastAsked().pixelHeight, 16);

  bitmap.SetText("a");
  EXPECT_FALSE(bitmap.IsImageCurrent());
  EXPECT_EQ(Image().width, 8) << "a shorter text makes a narrower image";
}

TEST_F(TextBitmapTest, GlyphsAreTheTextColourAndEverythingElseTheBackground) {
  bitmap.SetText("a b\nc");
  bitmap.SetTextColor(kRed);
  bitmap.SetBackgroundColor(kPaperWhite);
  const PixelMap map = Image();
  ASSERT_EQ(map.width, 28);
  auto glyph = [](int x, int y) {
    const int line = y / 17, row = y % 17, cell = x / 8, column = x % 8;
    const bool inCell = row >= 1 && row < 15 && column >= 1 && column < 7;
    return inCell && (line == 0 ? (cell == 0 || cell == 2) : cell == 0);
  };
  int wrong = 0;
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) wrong += At(map, x, y) != (glyph(x, y) ? 0x00FF0000u : 0x00FFFFFFu);
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(TextBitmapTest, EveryPixelDepthHoldsExactlyTheTwoColours) {
  bitmap.SetText("x");
  for (int32_t depth : {8, 16, 32}) {
    bitmap.SetPixelDepth(depth);
    const PixelMap map = Image();
    ASSERT_EQ(map.bytesPerPixel, depth / 8);
    const uint32_t ink = bitmap.PixelValue(kInkBlack);
    const uint32_t paper = bitmap.PixelValue(kPaperWhite);
    ASSERT_NE(ink, paper);
    EXPECT_EQ(At(map, 0, 0), paper) << depth;
    EXPECT_EQ(At(map, 3, 8), ink) << depth;
  }
}

TEST_F(TextBitmapTest, AColourChangePaintsAgainWithoutMeasuringAgain) {
  bitmap.SetText("ab");
  const PixelMap first = Image();
  bitmap.SetTextColor(kRed);
  EXPECT_FALSE(bitmap.IsImageCurrent());
  const PixelMap second = Image();
  EXPECT_EQ(second.bits, first.bits) << "the same image, painted over";
  EXPECT_EQ(At(second, 3, 8), 0x00FF0000u);
}

TEST_F(TextBitmapTest, NoTextNoFontOrTooLargeMakesNoImage) {
  PixelMap map = Image(9);
  EXPECT_EQ(map.bits, nullptr);
  EXPECT_EQ(bitmap.Fill(kRed), 9);

  bitmap.SetText("");
  EXPECT_EQ(Image(9).bits, nullptr);

  bitmap.SetText(std::string(3000, 'w'));
  bitmap.SetFontSize(400);
  EXPECT_EQ(Image(9).bits, nullptr) << "wider than any picture";

  bitmap.SetFontSize(-5);
  bitmap.SetText("a");
  EXPECT_EQ(Image(9).bits, nullptr) << "the font engine refuses negative sizes";
}

// The picture's height of ink in every column, as the letter font draws
// `text` (of capitals) with its pen at `pen`: stem, body and tip of each
// cell, nothing elsewhere.
std::vector<int> LetterColumns(const test::LetterFont& font, std::string_view text, int pen, int width) {
  std::vector<int> heights(static_cast<size_t>(width), 0);
  const int cell = font.CellWidth();
  for (size_t k = 0; k < text.size(); ++k) {
    const int left = pen + static_cast<int>(k) * cell;
    heights.at(static_cast<size_t>(left + 1)) = font.Height() - 2;
    for (int column = 2; column < cell - 2; ++column) {
      heights.at(static_cast<size_t>(left + column)) = font.BodyHeight(text[k]);
    }
    heights.at(static_cast<size_t>(left + cell - 2)) = font.TipHeight();
  }
  return heights;
}

// Ink pixels of each column of one line of the picture.
std::vector<int> DrawnColumns(const PixelMap& map, uint32_t ink, int line, int lineHeight) {
  std::vector<int> heights(static_cast<size_t>(map.width), 0);
  for (int y = line * lineHeight; y < (line + 1) * lineHeight; ++y) {
    for (int x = 0; x < map.width; ++x) {
      uint32_t value = 0;
      std::memcpy(&value, map.Row(y) + x * map.bytesPerPixel, map.bytesPerPixel);
      heights[static_cast<size_t>(x)] += value == ink;
    }
  }
  return heights;
}

// 9, 10 and 27 points are 12, 13 and 36 pixels: cells 6, 6 and 18 wide.
TEST_F(LetterBitmapTest, EveryColumnOfEveryGlyphOfAOneAndAFiveLetterLineIsInThePicture) {
  for (int points : {9, 10, 27}) {
    const test::LetterFont font(PointsToPixels(points));
    for (std::string_view text : {"A", "ABCDE"}) {
      bitmap.SetFontSize(points);
      bitmap.SetText(text);
      const PixelMap map = Image();
      EXPECT_EQ(map.width % 4, 0);
      EXPECT_EQ(DrawnColumns(map, bitmap.PixelValue(kInkBlack), 0, map.height), LetterColumns(font, text, 0, map.width))
          << text << " at " << points << " points";
    }
  }
}

TEST_F(LetterBitmapTest, RightToLeftLinesHoldTheirCharactersReversedUprightAgainstTheRightEdge) {
  const test::LetterFont font(16);
  bitmap.SetRightToLeft(true);
  bitmap.SetText("AB\nABCD");
  const PixelMap map = Image();
  // Four cells of 8, plus a tenth, up to 36; each line ends at the right edge.
  ASSERT_EQ(map.width, 36);
  const uint32_t ink = bitmap.PixelValue(kInkBlack);
  EXPECT_EQ(DrawnColumns(map, ink, 0, 17), LetterColumns(font, "BA", 20, 36));
  EXPECT_EQ(DrawnColumns(map, ink, 1, 17), LetterColumns(font, "DCBA", 4, 36));
  bitmap.SetRightToLeft(false);
  EXPECT_FALSE(bitmap.IsImageCurrent());
  EXPECT_EQ(DrawnColumns(Image(), ink, 1, 17), LetterColumns(font, "ABCD", 0, 36));
}

TEST_F(TextBitmapTest, APictureOfThePixelBoundIsMadeAndOnePixelPastItIsNot) {
  bitmap.SetText("ab");
  const PixelMap whole = Image();
  ASSERT_EQ(whole.width * whole.height, 20 * 17);
  bitmap.SetMaxPixels(20 * 17);
  EXPECT_NE(Image().bits, nullptr);
  EXPECT_FALSE(bitmap.IsTooLarge());
  bitmap.SetMaxPixels(20 * 17 - 1);
  EXPECT_EQ(Image(9).bits, nullptr);
  EXPECT_TRUE(bitmap.IsTooLarge());
  EXPECT_EQ(bitmap.GetWidth(), 20) << "still measured";
  bitmap.SetText("");
  EXPECT_EQ(Image(9).bits, nullptr);
  EXPECT_FALSE(bitmap.IsTooLarge()) << "nothing to draw is not too large";
}

TEST_F(TextBitmapTest, PointsAndPixelsRoundTripAtNinetySixDotsPerInch) {
  EXPECT_EQ(PointsToPixels(9), 12);
  EXPECT_EQ(PixelsToPoints(24), 18);
  EXPECT_EQ(PointsToPixels(PixelsToPoints(36)), 36);
  EXPECT_EQ(PointsToPixels(10), 13);
}

TEST_F(TextBitmapTest, FamiliesKeepTheirOldNumbersAndStylesPickWeightAndSlant) {
  bitmap.SetText("a");
  bitmap.SetFontFamily(kFamilyTypewriter);
  bitmap.SetFontStyle(kStyleBoldItalic);
  (void)Image();
  EXPECT_EQ(bitmap.GetFontNumber(), 22);
  EXPECT_EQ(test::ScopedCellFont::LastAsked().family, FontFamily::Monospace);
  EXPECT_TRUE(test::ScopedCellFont::LastAsked().bold);
  EXPECT_TRUE(test::ScopedCellFont::LastAsked().italic);
  bitmap.SetFontFamily(kFamilySans);
  bitmap.SetFontStyle(kStyleItalic);
  (void)Image();
  EXPECT_EQ(bitmap.GetFontNumber(), 21);
  EXPECT_EQ(test::ScopedCellFont::LastAsked().family, FontFamily::SansSerif);
  EXPECT_FALSE(test::ScopedCellFont::LastAsked().bold);
}

TEST_F(TextBitmapTest, GlyphsTakeTheNearestTexelOfATexture) {
  bitmap.SetText("aa");
  const PixelMap map = Image();
  // Two texels across: the left half of the 16-pixel image blue, the right
  // half green.
  uint32_t texels[2] = {0x000000FFu, 0x0000FF00u};
  RenderBufferDesc texture{reinterpret_cast<uint8_t*>(texels), 2, 1, 4, 8};
  bitmap.PaintGlyphs(texture);
  EXPECT_EQ(At(map, 3, 8), 0x000000FFu);
  EXPECT_EQ(At(map, 11, 8), 0x0000FF00u);
  EXPECT_EQ(At(map, 0, 0), 0x00FFFFFFu) << "the background stays";
}

// Records what it was told.
class RecordingSink final : public CNotifySink {
 public:
  int32_t Notify(CPointerSet& set) override {
    events.push_back(set.GetEvent());
    return set.GetEvent();
  }
  std::vector<int32_t> events;
};

TEST(PointerSetTest, KeepsOneEntryPerSinkAndGrowsByItsStep) {
  RecordingSink a, b, c;
  CPointerSet set(1, 5);
  set.Add(&a);
  set.Add(&a);
  EXPECT_EQ(set.Count(), 1);
  EXPECT_EQ(set.Capacity(), 1);
  set.Add(&b);
  EXPECT_EQ(set.Capacity(), 6);
  EXPECT_EQ(set.Remove(&c), 6) << "absent: the capacity";
  EXPECT_EQ(set.Remove(&a), 0);
  set.Add(&c);
  EXPECT_EQ(set.Remove(&c), 0) << "the first empty entry is taken again";
  EXPECT_EQ(set.Count(), 1);
}

TEST(PointerSetTest, NotifiesEveryListenerAndSaysGoodbyeWhenItGoes) {
  RecordingSink a, b;
  {
    CPointerSet set(1, 5);
    set.SetEvent(kPointerSetChanged);
    set.Add(&a);
    set.Add(&b);
    set.NotifyAll();
    (void)set.Remove(&b);
  }
  EXPECT_EQ(a.events, (std::vector<int32_t>{kPointerSetChanged, kPointerSetGoingAway}));
  EXPECT_EQ(b.events, (std::vector<int32_t>{kPointerSetChanged}));
}

}  // namespace
}  // namespace vx
