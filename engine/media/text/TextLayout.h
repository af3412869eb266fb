// Where the lines of a Text node go: the FontStyle values the text nodes
// read, the vertical form of a string and the quadrilateral of each line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scene/FieldValue.h"
#include "engine/world/WorldConvention.h"

namespace vx {

enum TextJustify : uint8_t { kJustifyFirst = 0, kJustifyBegin = 1, kJustifyMiddle = 2, kJustifyEnd = 3 };

// A FontStyle's values, with its words as codes; the defaults stand for a
// text without a FontStyle.
struct FontLayout {
  uint8_t family = 0;
  uint8_t style = 0;
  float size = 1.0f;
  float spacing = 1.0f;
  uint8_t justify = kJustifyFirst;
  int16_t horizontal = 1;
  int16_t leftToRight = 1;
  int16_t topToBottom = 1;
};

// The characters of a text as the fonts read them: each a whole UTF-8
// sequence, or one byte that starts none (drawn as U+FFFD).
std::vector<std::string_view> Characters(std::string_view utf8);
int32_t CharacterCount(std::string_view utf8);

// Each character followed by a line break, the last break dropped; the
// characters in reverse order unless topToBottom.
std::string VerticalForm(std::string_view utf8, bool topToBottom);

// The characters in reverse order, each sequence kept whole.
std::string ReversedCharacters(std::string_view utf8);

// trunc(size) x perUnit as a whole number, 0 for a negative or non-number
// size and at most `limit` + 1 (too large for any font).
int32_t WholeSizeTimes(float size, int32_t perUnit, int32_t limit);

// One line's quadrilateral in the node's x/y plane; the texture runs from
// left to right unless mirrored.
//
// VRML 2.0 sets lines (and vertical columns) size x spacing apart, and a
// line whose characters run from right to left keeps its glyphs upright:
// its picture already holds them in that order (CTextBitmap::SetRightToLeft),
// so only its place is mirrored. The system's own worlds set lines
// size + spacing apart (columns spacing apart) and mirror the picture of a
// line that runs from right to left.
struct TextQuad {
  float left = 0.0f;
  float right = 0.0f;
  float bottom = 0.0f;
  float top = 0.0f;
  bool mirrored = false;
};

struct TextLineInput {
  int32_t line = 0;        // k, from 0
  int32_t imageWidth = 0;  // the line's image in pixels
  int32_t imageHeight = 0;
  int32_t characters = 0;  // of the line's string
  const MFFloat* length = nullptr;
  float maxExtent = 0.0f;
};

TextQuad LineQuad(const FontLayout& layout, const TextLineInput& input, WorldConvention convention);

// Whether a horizontal line's picture must hold its characters from right
// to left.
bool SetsRightToLeft(const FontLayout& layout, WorldConvention convention);

}  // namespace vx
