// A rasteriser whose pixels the text tests know: every character is a cell
// half as wide as the font is high, drawn as a solid block one pixel inside
// its cell (a space draws nothing); lines are set one pixel apart. While a
// ScopedCellFont lives, new text bitmaps draw with it and the description
// of the last font asked for is kept.
#pragma once

#include <memory>
#include <string_view>

#include "engine/media/text/TextBitmap.h"
#include "platform/Font.h"

namespace vx::test {

inline constexpr int kCellLeading = 1;

class CellFont final : public Font {
 public:
  explicit CellFont(int pixelHeight) : height_(pixelHeight == 0 ? kDefaultFontPixels : pixelHeight) {}

  int CellWidth() const { return height_ / 2; }
  FontMetrics Metrics() const override { return {height_, 0, height_, kCellLeading}; }
  int MeasureText(std::string_view utf8) const override {
    return static_cast<int>(DecodeUtf8(utf8).size()) * CellWidth();
  }
  void DrawText(GlyphMask& mask, int x, int y, std::string_view utf8) const override {
    for (char32_t c : DecodeUtf8(utf8)) {
      if (c != U' ') {
        for (int row = 1; row < height_ - 1; ++row) {
          for (int column = 1; column < CellWidth() - 1; ++column) mask.Mark(x + column, y + row);
        }
      }
      x += CellWidth();
    }
  }

 private:
  int height_;
};

class ScopedCellFont {
 public:
  ScopedCellFont() : before_(SetFontMaker(Make)) {}
  ~ScopedCellFont() { SetFontMaker(before_); }
  ScopedCellFont(const ScopedCellFont&) = delete;
  ScopedCellFont& operator=(const ScopedCellFont&) = delete;

  static const FontDescription& LastAsked() { return Last(); }

 private:
  static FontDescription& Last() {
    static FontDescription last;
    return last;
  }
  static std::unique_ptr<Font> Make(const FontDescription& description) {
    Last() = description;
    return std::make_unique<CellFont>(description.pixelHeight);
  }

  FontMaker before_;
};

}  // namespace vx::test
