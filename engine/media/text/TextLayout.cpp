#include "engine/media/text/TextLayout.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/Font.h"

namespace vx {
namespace {

// The entry of `length` for the line, 0 when there is none.
float LengthEntry(const MFFloat* length, int32_t line) {
  return length && line >= 0 && line < length->count ? (*length)[line] : 0.0f;
}

float Capped(float extent, float maxExtent) { return maxExtent > 0.0f && extent > maxExtent ? maxExtent : extent; }

// The image's width for each unit of its height; 0 for an empty image.
float Aspect(const TextLineInput& input) {
  return input.imageHeight > 0 ? static_cast<float>(input.imageWidth) / static_cast<float>(input.imageHeight) : 0.0f;
}

// The x span of a line: END ends at the origin, MIDDLE centres on it, the
// other codes start there.
std::pair<float, float> Justified(uint8_t justify, float width) {
  switch (justify) {
    case kJustifyEnd: return {-width, 0.0f};
    case kJustifyMiddle: return {-width / 2.0f, width / 2.0f};
    default: return {0.0f, width};
  }
}

bool Standard(WorldConvention convention) { return convention == WorldConvention::kStandard; }

// From one line (or column) to the next.
float LineStep(const FontLayout& layout, WorldConvention convention) {
  if (Standard(convention)) return layout.size * layout.spacing;
  return layout.horizontal ? layout.size + layout.spacing : layout.spacing;
}

TextQuad HorizontalQuad(const FontLayout& layout, const TextLineInput& input, WorldConvention convention) {
  TextQuad quad;
  const float step = static_cast<float>(input.line) * LineStep(layout, convention);
  quad.bottom = layout.topToBottom ? -step : step;
  quad.top = quad.bottom + layout.size;
  const float given = LengthEntry(input.length, input.line);
  const float width = Capped(given > 0.0f ? given : Aspect(input) * layout.size, input.maxExtent);
  std::tie(quad.left, quad.right) = Justified(layout.justify, width);
  if (!layout.leftToRight) {
    quad = {-quad.right, -quad.left, quad.bottom, quad.top, !Standard(convention)};
  }
  return quad;
}

TextQuad VerticalQuad(const FontLayout& layout, const TextLineInput& input, WorldConvention convention) {
  TextQuad quad;
  const float given = LengthEntry(input.length, input.line);
  const float height =
      Capped(given != 0.0f ? given : static_cast<float>(input.characters) * layout.size, input.maxExtent);
  const float width = Aspect(input) * height;
  const float step = static_cast<float>(input.line) * LineStep(layout, convention);
  quad.left = layout.leftToRight ? step : -step;
  quad.right = quad.left + width;
  // FIRST and BEGIN hang the column below the origin; END stands on it.
  switch (layout.justify) {
    case kJustifyEnd: quad.bottom = 0.0f, quad.top = height; break;
    case kJustifyMiddle: quad.bottom = -height / 2.0f, quad.top = height / 2.0f; break;
    default: quad.bottom = -height, quad.top = 0.0f; break;
  }
  if (!layout.topToBottom) std::tie(quad.bottom, quad.top) = std::pair(-quad.top, -quad.bottom);
  return quad;
}

}  // namespace

std::vector<std::string_view> Characters(std::string_view utf8) {
  std::vector<std::string_view> characters;
  for (size_t at = 0; at < utf8.size();) {
    const size_t bytes = Utf8CharacterBytes(utf8, at);
    characters.push_back(utf8.substr(at, bytes));
    at += bytes;
  }
  return characters;
}

int32_t CharacterCount(std::string_view utf8) { return static_cast<int32_t>(Characters(utf8).size()); }

std::string VerticalForm(std::string_view utf8, bool topToBottom) {
  std::vector<std::string_view> characters = Characters(utf8);
  if (!topToBottom) std::reverse(characters.begin(), characters.end());
  std::string out;
  for (size_t i = 0; i < characters.size(); ++i) {
    if (i > 0) out.push_back('\n');
    out.append(characters[i]);
  }
  return out;
}

std::string ReversedCharacters(std::string_view utf8) {
  const std::vector<std::string_view> characters = Characters(utf8);
  std::string out;
  out.reserve(utf8.size());
  for (auto character = characters.rbegin(); character != characters.rend(); ++character) out.append(*character);
  return out;
}

int32_t WholeSizeTimes(float size, int32_t perUnit, int32_t limit) {
  if (!(size >= 0.0f)) return 0;
  const double whole = std::trunc(static_cast<double>(size)) * perUnit;
  return whole > limit ? limit + 1 : static_cast<int32_t>(whole);
}

TextQuad LineQuad(const FontLayout& layout, const TextLineInput& input, WorldConvention convention) {
  return layout.horizontal ? HorizontalQuad(layout, input, convention) : VerticalQuad(layout, input, convention);
}

bool SetsRightToLeft(const FontLayout& layout, WorldConvention convention) {
  return Standard(convention) && layout.horizontal && !layout.leftToRight;
}

}  // namespace vx
