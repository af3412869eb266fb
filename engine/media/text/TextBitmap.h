// Text drawn into an off-screen image: the picture behind the Text and
// TextTexture nodes.
//
// The bitmap keeps its drawing settings (text, font choice, pixel depth,
// palette, colours) and is dirty whenever one of them changes; the next
// GetImage measures the text and draws it again (a change of colours only
// paints the image again). Lines end at '\n'. The image is as wide as the
// widest line's advance plus a tenth, or as its glyphs reach when they reach
// further (a slanted last glyph, a first one that overhangs its start),
// rounded up to a multiple of 4 pixels: every pixel of every glyph is in
// it. It is as tall as the lines set one line spacing apart; it is filled
// with the background colour and the glyphs are written in the text colour,
// with no shade in between, so the background can be keyed out exactly.
//
// Bitmaps that draw with the same font share it, and 8-bit bitmaps of one
// palette their colour map (the engine's thread only): a Text of many lines
// opens its face once, and a line without text opens none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/render/Palette.h"
#include "engine/render/PixelMap.h"
#include "engine/render/RenderTypes.h"
#include "platform/Font.h"

namespace vx {

class CDibImage;

// What makes the fonts new text bitmaps draw with (the platform's fonts
// unless replaced); bitmaps of different makers never share a font.
using FontMaker = std::unique_ptr<Font> (*)(const FontDescription& description);
// Replaces the maker for bitmaps made from now on; returns the one before.
FontMaker SetFontMaker(FontMaker maker);

// Points at the font engine's 96 dots per inch, rounded as the window
// system did (half away from zero); and back.
int32_t PointsToPixels(int32_t points);
int32_t PixelsToPoints(int32_t pixels);

// The colours a text bitmap starts with: black text on white.
inline constexpr FloatColor kPaperWhite{1.0f, 1.0f, 1.0f};
inline constexpr FloatColor kInkBlack{0.0f, 0.0f, 0.0f};

inline bool SameColor(const FloatColor& a, const FloatColor& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Font choices as the FontStyle words give them.
enum TextFamily : uint8_t { kFamilySerif = 0, kFamilySans = 1, kFamilyTypewriter = 2 };
enum TextStyle : uint8_t { kStylePlain = 0, kStyleBold = 1, kStyleItalic = 2, kStyleBoldItalic = 3 };

class CTextBitmap {
 public:
  CTextBitmap();
  ~CTextBitmap();
  CTextBitmap(const CTextBitmap&) = delete;
  CTextBitmap& operator=(const CTextBitmap&) = delete;

  void SetText(std::string_view text);
  const std::string& GetText() const { return text_; }

  // The font size in points.
  void SetFontSize(int32_t points);
  int32_t GetFontSize() const { return fontPoints_; }
  void SetFontFamily(uint8_t family);
  uint8_t GetFontFamily() const { return family_; }
  // The FontStyle's family number as the window system knew it: 2, 21, 22.
  int32_t GetFontNumber() const { return fontNumber_; }
  void SetFontStyle(uint8_t style);
  uint8_t GetFontStyle() const { return style_; }
  // Kept for the nodes; they take no part in drawing.
  void SetSize(float size);
  float GetSize() const { return size_; }
  void SetHorizontal(uint16_t horizontal);
  uint16_t GetHorizontal() const { return horizontal_; }
  // Lines whose characters run from right to left: each line's characters
  // are set in reverse order, every glyph upright, and the line ends at the
  // image's right edge (where it begins).
  void SetRightToLeft(bool rightToLeft);
  bool GetRightToLeft() const { return rightToLeft_; }
  // The most pixels the image may have (kMaxPicturePixels unless lowered);
  // a text that would need more gets no image and says so (IsTooLarge).
  void SetMaxPixels(int64_t pixels);

  void SetBackgroundColor(const FloatColor& color);
  FloatColor GetBackgroundColor() const { return background_; }
  void SetTextColor(const FloatColor& color);
  FloatColor GetTextColor() const { return foreground_; }

  // 8, 16 or 32 bits per pixel; the image of any other depth is not made.
  void SetPixelDepth(int32_t bits);
  int32_t GetPixelDepth() const { return pixelDepth_; }
  // The colours 8-bit images index (the built-in palette until set).
  void SetPalette(const PaletteTable& palette);

  bool IsImageCurrent() const { return !dirty_ && !colorsStale_; }
  // The image, made again first when dirty: 0, or 9 and a null record when
  // there is no image (no text, no font, or a size that cannot be made).
  int32_t GetImage(PixelMap* out);
  // Paints the existing image again with the current colours.
  void Redraw();
  // Gives every glyph pixel the texel of the texture at the same relative
  // place (nearest texel); the texture must have the image's pixel size.
  void PaintGlyphs(const RenderBufferDesc& texture);
  // Fills the whole image with one colour; 9 without an image, else 0.
  int32_t Fill(const FloatColor& color);

  // From the last measurement.
  int32_t GetLineCount() const { return lineCount_; }
  int32_t GetWidth() const { return width_; }
  int32_t GetHeight() const { return height_; }
  // Whether the last measurement made no image because the text was larger
  // than an image may be.
  bool IsTooLarge() const { return tooLarge_; }

  // The colour as a pixel of the image's depth and palette.
  uint32_t PixelValue(const FloatColor& color);

 private:
  void Rebuild();
  void Measure(const std::vector<std::string>& lines);
  void DrawGlyphs(const std::vector<std::string>& lines);
  // The lines as they are set: split at '\n', characters reversed when
  // they run from right to left.
  std::vector<std::string> LinesToSet() const;
  // Calls paint(pixel, x, y) for every pixel of the image under a glyph.
  template <typename Paint>
  void ForEachGlyphPixel(Paint paint);
  const uint8_t* InverseMap();

  std::string text_;
  int32_t height_ = 0;
  int32_t width_ = 0;
  int32_t lineCount_ = 0;
  int32_t fontPoints_ = 32;
  int32_t fontNumber_ = 2;
  std::shared_ptr<const Font> font_;
  FontMetrics metrics_;
  std::vector<int32_t> pens_;  // where each line's pen starts
  int32_t pixelDepth_ = 0;
  FloatColor background_ = kPaperWhite;
  FloatColor foreground_ = kInkBlack;
  PaletteTable palette_;
  // Built from the palette when an 8-bit image first needs it.
  std::shared_ptr<const std::vector<uint8_t>> inverseMap_;
  bool dirty_ = true;
  bool colorsStale_ = false;
  std::unique_ptr<CDibImage> image_;
  std::vector<uint8_t> glyphs_;  // one byte per image pixel, 1 under a glyph
  uint8_t family_ = kFamilySerif;
  uint8_t style_ = kStylePlain;
  uint16_t horizontal_ = 1;
  float size_ = 1.0f;
  bool rightToLeft_ = false;
  bool tooLarge_ = false;
  int64_t maxPixels_;
  FontMaker maker_;
};

}  // namespace vx
