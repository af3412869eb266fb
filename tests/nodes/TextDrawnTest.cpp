// Text as it appears on screen, drawn with the letter font (whose glyphs
// tell which letter they are and which way up they stand) and read back from
// the frame: every column of every glyph, the order of the glyphs, which way
// up they stand and how far apart the lines are, in the worlds of either
// convention.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "RenderedWorld.h"
#include "tests/media/CellFont.h"

namespace vx {
namespace {

// A column of ink in the frame: how high, and its highest and lowest row.
struct InkColumn {
  int x = 0;
  int height = 0;
  int top = 0;
  int bottom = 0;
};

// One glyph read from the frame: a run of columns with ink.
using DrawnGlyph = std::vector<InkColumn>;

const InkColumn& Middle(const DrawnGlyph& glyph) { return glyph[glyph.size() / 2]; }

class DrawnText : public test::RenderedWorld {
 protected:
  static constexpr int kWidth = 240;
  static constexpr int kHeight = 180;

  void Draw(const std::string& world, WorldConvention rule) {
    convention = rule;
    Load("Viewpoint { position 0 0 0 } " + world, kWidth, kHeight);
  }
  bool Ink(int x, int y) const { return Pixel(x, y) != 0u; }

  // Bands of rows [top, bottom) with ink between the columns, top down.
  std::vector<std::pair<int, int>> Bands(int left = 0, int right = kWidth) const {
    std::vector<std::pair<int, int>> bands;
    for (int y = 0; y < kHeight; ++y) {
      bool any = false;
      for (int x = left; x < right && !any; ++x) any = Ink(x, y);
      if (!any) continue;
      if (bands.empty() || bands.back().second != y) bands.emplace_back(y, y);
      bands.back().second = y + 1;
    }
    return bands;
  }

  // The glyphs in a band of rows, left to right.
  std::vector<DrawnGlyph> Glyphs(std::pair<int, int> band) const {
    std::vector<DrawnGlyph> glyphs;
    for (int x = 0; x < kWidth; ++x) {
      InkColumn column{x, 0, band.second, band.first};
      for (int y = band.first; y < band.second; ++y) {
        if (!Ink(x, y)) continue;
        ++column.height;
        column.top = std::min(column.top, y);
        column.bottom = std::max(column.bottom, y);
      }
      if (column.height == 0) continue;
      if (glyphs.empty() || glyphs.back().back().x != x - 1) glyphs.emplace_back();
      glyphs.back().push_back(column);
    }
    return glyphs;
  }

  test::ScopedLetterFont letters;
};

// Each glyph whole and upright: the stem first and highest, the tip last
// and a little lower, the body lowest, all standing on one row.
::testing::AssertionResult WholeAndUpright(const DrawnGlyph& glyph) {
  const InkColumn& stem = glyph.front();
  const InkColumn& body = Middle(glyph);
  const InkColumn& tip = glyph.back();
  const double tipToStem = static_cast<double>(tip.height) / stem.height;
  if (stem.height > tip.height && tip.height > body.height && tipToStem > 0.8 && tipToStem < 0.97 &&
      body.bottom == stem.bottom && body.top > stem.top) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "columns from " << stem.x << ": heights " << stem.height << ", "
                                       << body.height << ", " << tip.height << "; bottoms " << stem.bottom << ", "
                                       << body.bottom;
}

// The letters' bodies grow from 'A' to 'E'.
bool BodiesGrow(const std::vector<DrawnGlyph>& glyphs) {
  for (size_t k = 1; k < glyphs.size(); ++k) {
    if (Middle(glyphs[k]).height <= Middle(glyphs[k - 1]).height) return false;
  }
  return true;
}

constexpr WorldConvention kConventions[] = {WorldConvention::kStandard, WorldConvention::kSystem};

TEST_F(DrawnText, EveryColumnOfEveryGlyphOfAOneAndAFiveLetterLineShows) {
  for (WorldConvention rule : kConventions) {
    Draw("Transform { translation -1.4 0.5 -4 children Shape { appearance Appearance { material Material {} }"
         " geometry Text { string \"A\" } } }"
         " Transform { translation -1.4 -1 -4 children Shape { appearance Appearance { material Material {} }"
         " geometry Text { string \"ABCDE\" } } }",
         rule);
    const std::vector<std::pair<int, int>> bands = Bands();
    ASSERT_EQ(bands.size(), 2u);
    const std::vector<DrawnGlyph> one = Glyphs(bands[0]);
    const std::vector<DrawnGlyph> five = Glyphs(bands[1]);
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(five.size(), 5u);
    EXPECT_TRUE(WholeAndUpright(one[0]));
    for (const DrawnGlyph& glyph : five) EXPECT_TRUE(WholeAndUpright(glyph));
    EXPECT_TRUE(BodiesGrow(five)) << "A to E, left to right";
    EXPECT_NEAR(five[4].size(), five[0].size(), 2) << "the last as wide as the first";
  }
}

// Seen against a white quad one unit high at the same depth.
TEST_F(DrawnText, LinesStandSizeTimesSpacingApartInVrmlWorldsAndSizePlusSpacingInTheSystems) {
  for (auto [rule, distance] : {std::pair{WorldConvention::kStandard, 1.5}, std::pair{WorldConvention::kSystem, 2.5}}) {
    Draw("Transform { translation -1.5 1 -6 children [ Shape { appearance Appearance { material Material {} }"
         " geometry Text { string [ \"E\" \"E\" ] fontStyle FontStyle { spacing 1.5 } } }"
         " Transform { translation 2 -0.5 0 scale 0.5 0.5 1 children " +
             std::string(test::kWhiteQuad) + " } ] }",
         rule);
    const std::vector<std::pair<int, int>> text = Bands(0, kWidth / 2);
    const std::vector<std::pair<int, int>> unit = Bands(kWidth / 2, kWidth);
    ASSERT_EQ(text.size(), 2u);
    ASSERT_EQ(unit.size(), 1u);
    const double pixelsPerUnit = unit[0].second - unit[0].first;
    ASSERT_GT(pixelsPerUnit, 20.0);
    const double lineDistance = (Glyphs(text[1])[0][0].bottom - Glyphs(text[0])[0][0].bottom) / pixelsPerUnit;
    EXPECT_NEAR(lineDistance, distance, 0.08) << (rule == WorldConvention::kStandard ? "standard" : "system");
  }
}

// "ABCDE" from right to left ends at the origin, the middle of the frame.
TEST_F(DrawnText, RightToLeftLinesReverseTheirGlyphsUprightInVrmlWorldsAndMirrorThemInTheSystems) {
  const std::string world =
      "Transform { translation 0 0 -6 children Shape { appearance Appearance { material Material {} }"
      " geometry Text { string \"ABCDE\" fontStyle FontStyle { leftToRight FALSE } } } }";
  Draw(world, WorldConvention::kStandard);
  ASSERT_EQ(Bands().size(), 1u);
  std::vector<DrawnGlyph> glyphs = Glyphs(Bands()[0]);
  ASSERT_EQ(glyphs.size(), 5u);
  EXPECT_LE(glyphs.back().back().x, kWidth / 2);
  std::reverse(glyphs.begin(), glyphs.end());
  EXPECT_TRUE(BodiesGrow(glyphs)) << "E to A, left to right";
  // The right edge of the picture may not show whole; the stems show.
  for (const DrawnGlyph& glyph : glyphs) EXPECT_GT(glyph.front().height, Middle(glyph).height) << glyph.front().x;
  for (size_t k = 1; k < glyphs.size(); ++k) EXPECT_TRUE(WholeAndUpright(glyphs[k]));

  Draw(world, WorldConvention::kSystem);
  ASSERT_EQ(Bands().size(), 1u);
  glyphs = Glyphs(Bands()[0]);
  ASSERT_EQ(glyphs.size(), 5u);
  std::reverse(glyphs.begin(), glyphs.end());
  EXPECT_TRUE(BodiesGrow(glyphs)) << "E to A, left to right";
  for (const DrawnGlyph& glyph : glyphs) EXPECT_LT(glyph.front().height, glyph.back().height) << "the stem last";
}

TEST_F(DrawnText, ColumnsFromTheBottomUpKeepTheirGlyphsUpright) {
  for (WorldConvention rule : kConventions) {
    Draw("Transform { translation -0.2 -1.5 -5 children Shape { appearance Appearance { material Material {} }"
         " geometry Text { string \"ACE\" fontStyle FontStyle { horizontal FALSE topToBottom FALSE } } } }",
         rule);
    const std::vector<std::pair<int, int>> bands = Bands();
    ASSERT_EQ(bands.size(), 3u);
    std::vector<DrawnGlyph> glyphs;
    for (auto band = bands.rbegin(); band != bands.rend(); ++band) {
      const std::vector<DrawnGlyph> row = Glyphs(*band);
      ASSERT_EQ(row.size(), 1u);
      glyphs.push_back(row[0]);
      EXPECT_TRUE(WholeAndUpright(row[0]));
    }
    EXPECT_TRUE(BodiesGrow(glyphs)) << "A at the bottom, E at the top";
  }
}

}  // namespace
}  // namespace vx
