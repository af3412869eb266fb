// Fonts and text drawing.
//
// Fonts are chosen by a generic family (serif, sans-serif, monospace), a
// weight and a slant through fontconfig, and drawn by FreeType at 96 pixels
// per inch. The DejaVu faces of each family are asked for first, so that
// text looks the same on every machine that has them whatever else it has
// installed; a face found without the slant or the weight asked for is
// slanted or emboldened by FreeType. Glyphs are drawn monochrome, without
// smoothing, into a mask of one byte per pixel: whoever colours the mask
// gets exactly two colours, so a background colour can be keyed out again
// without a fringe. Text is UTF-8; a byte that does not start or continue a
// valid sequence stands for U+FFFD.
//
// Font is an interface so that a caller may draw with another rasteriser
// (tests draw with one whose pixels they know).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/PlatformExport.h"

namespace vx {

inline constexpr int kFontDotsPerInch = 96;
// A font asked for with height 0 gets this height, as the window system did.
inline constexpr int kDefaultFontPixels = 16;
// Larger fonts are refused.
inline constexpr int kMaxFontPixels = 2048;

enum class FontFamily : uint8_t { Serif, SansSerif, Monospace };

struct FontDescription {
  int pixelHeight = 0;  // the em height; 0 asks for kDefaultFontPixels
  FontFamily family = FontFamily::Serif;
  bool bold = false;
  bool italic = false;

  friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// In pixels. A line of text is `height` tall; lines are set
// height + externalLeading apart.
struct FontMetrics {
  int ascent = 0;
  int descent = 0;
  int height = 0;
  int externalLeading = 0;
};

// How far a line reaches, in pixels from where its pen starts: the pen's
// advance, and the columns its glyphs' pixels cover, [inkLeft, inkRight)
// (empty, 0 and 0, for a line that draws nothing). Slanted and overhanging
// glyphs reach past the advance or before the start. Every value stays
// within int, however long the line.
struct TextExtent {
  int advance = 0;
  int inkLeft = 0;
  int inkRight = 0;
};

// Where glyphs are drawn: width x height bytes, row after row; a glyph pixel
// sets its byte to 1 and nothing else is written.
struct GlyphMask {
  std::span<uint8_t> bits;
  int width = 0;
  int height = 0;

  // Sets the byte at (x, y) when it lies inside.
  void Mark(int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height) bits[static_cast<size_t>(y) * width + x] = 1;
  }
};

class VX_PLATFORM_API Font {
 public:
  virtual ~Font();

  virtual FontMetrics Metrics() const = 0;
  // How far a line reaches (the advance is the width the window system
  // measured).
  virtual TextExtent MeasureText(std::string_view utf8) const = 0;
  // Draws a line whose top is at y and whose pen starts at x.
  virtual void DrawText(GlyphMask& mask, int x, int y, std::string_view utf8) const = 0;
};

// The font that fontconfig matches best to the description, drawn by
// FreeType; null when the height is negative or above kMaxFontPixels, or no
// font file can be opened.
[[nodiscard]] VX_PLATFORM_API std::unique_ptr<Font> CreateFont(const FontDescription& description);

// The code points of UTF-8 text.
VX_PLATFORM_API std::u32string DecodeUtf8(std::string_view utf8);

// The bytes of the one character (code point) of the text that starts at
// `at` (< size), as DecodeUtf8 reads it: a whole valid sequence, or the one
// byte that stands for U+FFFD.
VX_PLATFORM_API size_t Utf8CharacterBytes(std::string_view utf8, size_t at);

}  // namespace vx
