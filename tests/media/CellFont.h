// Rasterisers whose pixels the text tests know. CellFont: every character
// is a cell half as wide as the font is high, drawn as a solid block one
// pixel inside its cell (a space draws nothing); lines are set one pixel
// apart. LetterFont: the same cells, but a capital letter's glyph tells
// which letter it is and which way up it stands (see below). While a
// ScopedTestFont lives, new text bitmaps draw with its font, and the
// description of the last font asked for and the number of fonts made are
// kept.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/media/text/TextBitmap.h"
#include "platform/Font.h"

namespace vx::test {

inline constexpr int kCellLeading = 1;

class CellFont : public Font {
 public:
  explicit CellFont(int pixelHeight) : height_(pixelHeight == 0 ? kDefaultFontPixels : pixelHeight) {}

  int CellWidth() const { return height_ / 2; }
  int Height() const { return height_; }
  FontMetrics Metrics() const override { return {height_, 0, height_, kCellLeading}; }
  // The advance of the cells, the ink from the first glyph's block to the
  // last one's.
  TextExtent MeasureText(std::string_view utf8) const override {
    const std::u32string characters = DecodeUtf8(utf8);
    TextExtent extent{static_cast<int>(characters.size()) * CellWidth(), 0, 0};
    const size_t first = characters.find_first_not_of(U' ');
    if (first == std::u32string::npos) return extent;
    extent.inkLeft = static_cast<int>(first) * CellWidth() + 1;
    extent.inkRight = static_cast<int>(characters.find_last_not_of(U' ') + 1) * CellWidth() - 1;
    return extent;
  }
  void DrawText(GlyphMask& mask, int x, int y, std::string_view utf8) const override {
    for (char32_t c : DecodeUtf8(utf8)) {
      if (c != U' ') DrawCell(mask, x, y, c);
      x += CellWidth();
    }
  }

 protected:
  // Marks `height` pixels of the column, up from the cell's lowest inside
  // row.
  void Column(GlyphMask& mask, int x, int y, int height) const {
    for (int row = height_ - 1 - height; row < height_ - 1; ++row) mask.Mark(x, y + row);
  }
  // The rows inside a cell: all but its top and bottom one.
  int Inside() const { return height_ - 2; }
  virtual void DrawCell(GlyphMask& mask, int x, int y, char32_t) const {
    for (int column = 1; column < CellWidth() - 1; ++column) Column(mask, x + column, y, Inside());
  }

 private:
  int height_;
};

// A capital letter stands on the cell's lowest inside row as three parts,
// from left to right: a stem one pixel wide as high as the cell's inside; a
// body whose height grows with the letter, 'A' lowest (BodyHeight); and a
// tip one pixel wide, a little lower than the stem (TipHeight). Mirrored,
// the tip comes first; upside down, the parts hang from the top; cut short,
// the tip is missing. Other characters draw as CellFont's. Needs cells at
// least 5 pixels wide.
class LetterFont final : public CellFont {
 public:
  using CellFont::CellFont;

  // In eighths of the cell's inside, rounded: 'A' 1, 'B' 2, ... 'F' 6.
  int BodyHeight(char32_t letter) const { return (Inside() * static_cast<int>(letter - U'A' + 1) + 4) / 8; }
  int TipHeight() const { return (Inside() * 7 + 4) / 8; }

 protected:
  void DrawCell(GlyphMask& mask, int x, int y, char32_t c) const override {
    if (c < U'A' || c > U'F') {
      CellFont::DrawCell(mask, x, y, c);
      return;
    }
    Column(mask, x + 1, y, Inside());
    for (int column = 2; column < CellWidth() - 2; ++column) Column(mask, x + column, y, BodyHeight(c));
    Column(mask, x + CellWidth() - 2, y, TipHeight());
  }
};

template <typename TestFont>
class ScopedTestFont {
 public:
  ScopedTestFont() : before_(SetFontMaker(Make)) { Made() = 0; }
  ~ScopedTestFont() { SetFontMaker(before_); }
  ScopedTestFont(const ScopedTestFont&) = delete;
  ScopedTestFont& operator=(const ScopedTestFont&) = delete;

  static const FontDescription& LastAsked() { return Last(); }
  static int FontsMade() { return Made(); }

 private:
  static FontDescription& Last() {
    static FontDescription last;
    return last;
  }
  static int& Made() {
    static int made = 0;
    return made;
  }
  static std::unique_ptr<Font> Make(const FontDescription& description) {
    Last() = description;
    ++Made();
    return std::make_unique<TestFont>(description.pixelHeight);
  }

  FontMaker before_;
};

using ScopedCellFont = ScopedTestFont<CellFont>;
using ScopedLetterFont = ScopedTestFont<LetterFont>;

}  // namespace vx::test
