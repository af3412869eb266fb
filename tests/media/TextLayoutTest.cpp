// Where the lines of a Text go: spacing, justification, vertical columns,
// right-to-left lines, the length and maxExtent limits, by the rules of
// each convention; and how a text splits into characters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "engine/media/text/TextLayout.h"
#include "platform/Font.h"

namespace vx {
namespace {

constexpr WorldConvention kStandard = WorldConvention::kStandard;
constexpr WorldConvention kSystem = WorldConvention::kSystem;

// A line image twice as wide as it is high.
TextLineInput Line(int32_t k, const MFFloat* length = nullptr, float maxExtent = 0.0f) {
  return {.line = k, .imageWidth = 40, .imageHeight = 20, .characters = 3, .length = length, .maxExtent = maxExtent};
}

void ExpectQuad(const TextQuad& quad, float left, float right, float bottom, float top) {
  EXPECT_FLOAT_EQ(quad.left, left);
  EXPECT_FLOAT_EQ(quad.right, right);
  EXPECT_FLOAT_EQ(quad.bottom, bottom);
  EXPECT_FLOAT_EQ(quad.top, top);
}

TEST(TextLayout, StandardLinesStepBySizeTimesSpacingDownOrUp) {
  FontLayout layout;
  ExpectQuad(LineQuad(layout, Line(1), kStandard), 0, 2, -1, 0);
  layout.size = 2.0f;
  layout.spacing = 1.5f;
  ExpectQuad(LineQuad(layout, Line(2), kStandard), 0, 4, -6, -4);
  layout.topToBottom = 0;
  ExpectQuad(LineQuad(layout, Line(2), kStandard), 0, 4, 6, 8);
  layout.horizontal = 0;
  // Columns too: 3 characters of size 2 make a column 6 high and 12 wide.
  ExpectQuad(LineQuad(layout, Line(2), kStandard), 6, 18, 0, 6);
}

TEST(TextLayout, SystemLinesStepBySizePlusSpacingDownOrUp) {
  FontLayout layout;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 2, 0, 1);
  ExpectQuad(LineQuad(layout, Line(1), kSystem), 0, 2, -2, -1);
  layout.size = 2.0f;
  layout.spacing = 0.5f;
  ExpectQuad(LineQuad(layout, Line(2), kSystem), 0, 4, -5, -3);
  layout.topToBottom = 0;
  ExpectQuad(LineQuad(layout, Line(2), kSystem), 0, 4, 5, 7);
}

TEST(TextLayout, JustifyPlacesEachLineAgainstTheOrigin) {
  FontLayout layout;
  layout.justify = kJustifyEnd;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), -2, 0, 0, 1);
  layout.justify = kJustifyMiddle;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), -1, 1, 0, 1);
  layout.justify = kJustifyBegin;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 2, 0, 1);
}

TEST(TextLayout, SystemRightToLeftMirrorsTheEdgesAndTheTexture) {
  FontLayout layout;
  layout.leftToRight = 0;
  TextQuad quad = LineQuad(layout, Line(0), kSystem);
  ExpectQuad(quad, -2, 0, 0, 1);
  EXPECT_TRUE(quad.mirrored);
  layout.justify = kJustifyEnd;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 2, 0, 1);
  EXPECT_FALSE(LineQuad(FontLayout{}, Line(0), kSystem).mirrored);
}

TEST(TextLayout, LengthReplacesThePositiveWidthsAndMaxExtentCapsThem) {
  float entries[] = {5.0f, 0.0f, -1.0f};
  const MFFloat length{3, entries};
  FontLayout layout;
  ExpectQuad(LineQuad(layout, Line(0, &length), kSystem), 0, 5, 0, 1);
  ExpectQuad(LineQuad(layout, Line(1, &length), kSystem), 0, 2, -2, -1);  // 0 keeps the natural width
  ExpectQuad(LineQuad(layout, Line(2, &length), kSystem), 0, 2, -4, -3);  // so does a negative entry
  ExpectQuad(LineQuad(layout, Line(0, &length, 3.0f), kSystem), 0, 3, 0, 1);
  ExpectQuad(LineQuad(layout, Line(1, &length, 3.0f), kSystem), 0, 2, -2, -1);  // under the cap
}

TEST(TextLayout, SystemVerticalColumnsHangFromTheOriginAndStepBySpacing) {
  FontLayout layout;
  layout.horizontal = 0;
  // 3 characters of size 1: 3 high and, at the image's aspect, 6 wide.
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 6, -3, 0);
  ExpectQuad(LineQuad(layout, Line(1), kSystem), 1, 7, -3, 0);
  layout.leftToRight = 0;
  ExpectQuad(LineQuad(layout, Line(1), kSystem), -1, 5, -3, 0);
  layout.justify = kJustifyEnd;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 6, 0, 3);
  layout.justify = kJustifyMiddle;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 6, -1.5f, 1.5f);
  layout.justify = kJustifyFirst;
  layout.topToBottom = 0;
  ExpectQuad(LineQuad(layout, Line(0), kSystem), 0, 6, 0, 3);
  float entries[] = {-2.0f};
  const MFFloat length{1, entries};
  layout.topToBottom = 1;
  ExpectQuad(LineQuad(layout, Line(0, &length), kSystem), 0, -4, 2, 0);  // any length but 0 is taken
  ExpectQuad(LineQuad(layout, Line(0, nullptr, 1.0f), kSystem), 0, 2, -1, 0);
}

TEST(TextLayout, AnEmptyImageGivesAZeroWidthNeverANumberThatIsNot) {
  FontLayout layout;
  TextLineInput empty = Line(0);
  empty.imageWidth = 0;
  empty.imageHeight = 0;
  const TextQuad quad = LineQuad(layout, empty, kSystem);
  EXPECT_FALSE(std::isnan(quad.right));
  ExpectQuad(quad, 0, 0, 0, 1);
  layout.horizontal = 0;
  EXPECT_FALSE(std::isnan(LineQuad(layout, empty, kSystem).right));
}

TEST(TextLayout, VerticalFormBreaksAfterEveryCharacter) {
  EXPECT_EQ(VerticalForm("abc", true), "a\nb\nc");
  EXPECT_EQ(VerticalForm("abc", false), "c\nb\na");
  EXPECT_EQ(VerticalForm("", true), "");
  EXPECT_EQ(VerticalForm("a\xC3\xA9", false), "\xC3\xA9\na") << "a character is a whole UTF-8 sequence";
  EXPECT_EQ(CharacterCount("a\xC3\xA9"), 2);
}

// Counted as the fonts draw them, so a column is as high as its characters.
TEST(TextLayout, BytesThatStartNoCharacterAreCharactersOfTheirOwn) {
  for (const char* text : {"\x80" "ab", "a\x80\x80", "\xC3", "\xE2\x82", "\xFF\xC3\xA9"}) {
    const std::string vertical = VerticalForm(text, true);
    const int32_t lines = static_cast<int32_t>(std::count(vertical.begin(), vertical.end(), '\n')) + 1;
    EXPECT_EQ(CharacterCount(text), lines) << text;
    EXPECT_EQ(CharacterCount(text), static_cast<int32_t>(DecodeUtf8(text).size())) << text;
  }
  EXPECT_EQ(ReversedCharacters("\x80" "a\xC3\xA9"), "\xC3\xA9" "a\x80");
  EXPECT_EQ(ReversedCharacters(""), "");
}

TEST(TextLayout, FontSizesTakeTheWholeUnitsOfTheSize) {
  EXPECT_EQ(WholeSizeTimes(0.9f, 12, 2048), 0);
  EXPECT_EQ(WholeSizeTimes(2.5f, 12, 2048), 24);
  EXPECT_EQ(WholeSizeTimes(-3.0f, 12, 2048), 0);
  EXPECT_EQ(WholeSizeTimes(std::numeric_limits<float>::quiet_NaN(), 12, 2048), 0);
  EXPECT_EQ(WholeSizeTimes(1e30f, 12, 2048), 2049) << "too large for any font, never wrapped";
}

}  // namespace
}  // namespace vx
