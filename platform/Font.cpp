#include "platform/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

namespace vx {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
// Outlines hinted for monochrome output, rendered only once synthesized.
constexpr FT_Int32 kLoadFlags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO;

// The family asked for first, then the generic name the machine's
// configuration maps to its own choice.
struct FamilyNames {
  const char* preferred;
  const char* generic;
};

FamilyNames NamesOf(FontFamily family) {
  switch (family) {
    case FontFamily::SansSerif: return {"DejaVu Sans", "sans-serif"};
    case FontFamily::Monospace: return {"DejaVu Sans Mono", "monospace"};
    case FontFamily::Serif: break;
  }
  return {"DejaVu Serif", "serif"};
}

int PixelsOf(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }
int PixelsBelow(FT_Pos value) { return static_cast<int>(value >> 6); }

int ClampToInt(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// The layer's own fontconfig set-up, loaded on first use and freed when the
// process ends (the library's shared default would stay allocated).
class FontConfiguration {
 public:
  FontConfiguration() : config_(FcInitLoadConfigAndFonts()) {}
  ~FontConfiguration() {
    if (config_) FcConfigDestroy(config_);
  }
  FontConfiguration(const FontConfiguration&) = delete;
  FontConfiguration& operator=(const FontConfiguration&) = delete;
  FcConfig* Get() const { return config_; }

 private:
  FcConfig* config_;
};

FcConfig* Configuration() {
  static const FontConfiguration configuration;
  return configuration.Get();
}

// The file of a face and what it lacks of the description it was matched to.
struct FontFile {
  std::string path;
  int index = 0;
  bool synthesizeBold = false;
  bool synthesizeOblique = false;
};

int IntegerOf(FcPattern* pattern, const char* object, int fallback) {
  int value = fallback;
  return FcPatternGetInteger(pattern, object, 0, &value) == FcResultMatch ? value : fallback;
}

// The file fontconfig matches best; empty path when none.
FontFile MatchFontFile(const FontDescription& description) {
  FontFile file;
  FcConfig* config = Configuration();
  FcPattern* pattern = config ? FcPatternCreate() : nullptr;
  if (!pattern) return file;
  const FamilyNames names = NamesOf(description.family);
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(names.preferred));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(names.generic));
  FcPatternAddInteger(pattern, FC_WEIGHT, description.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  if (match) {
    FcChar8* path = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
      file.path = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) file.index = index;
      file.synthesizeBold = description.bold && IntegerOf(match, FC_WEIGHT, FC_WEIGHT_REGULAR) < FC_WEIGHT_DEMIBOLD;
      file.synthesizeOblique = description.italic && IntegerOf(match, FC_SLANT, FC_SLANT_ROMAN) == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

class FreeTypeFont final : public Font {
 public:
  ~FreeTypeFont() override {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }

  bool Open(const FontFile& file, int pixelHeight) {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return false;
    }
    if (FT_New_Face(library_, file.path.c_str(), file.index, &face_) != 0) {
      face_ = nullptr;
      return false;
    }
    if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelHeight)) != 0) return false;
    synthesizeBold_ = file.synthesizeBold;
    synthesizeOblique_ = file.synthesizeOblique;
    pixelHeight_ = pixelHeight;
    const FT_Size_Metrics& m = face_->size->metrics;
    metrics_.ascent = PixelsOf(m.ascender);
    metrics_.descent = PixelsOf(-m.descender);
    metrics_.height = metrics_.ascent + metrics_.descent;
    const int lineSpacing = PixelsOf(m.height);
    metrics_.externalLeading = lineSpacing > metrics_.height ? lineSpacing - metrics_.height : 0;
    return true;
  }

  FontMetrics Metrics() const override { return metrics_; }

  TextExtent MeasureText(std::string_view utf8) const override {
    int64_t pen = 0;
    int64_t inkLeft = INT64_MAX;
    int64_t inkRight = INT64_MIN;
    for (char32_t c : DecodeUtf8(utf8)) {
      if (!LoadGlyph(c)) continue;
      const FT_GlyphSlot glyph = face_->glyph;
      if (glyph->format == FT_GLYPH_FORMAT_OUTLINE && glyph->outline.n_points > 0) {
        FT_BBox box;
        FT_Outline_Get_CBox(&glyph->outline, &box);
        inkLeft = std::min<int64_t>(inkLeft, pen + PixelsBelow(box.xMin));
        inkRight = std::max<int64_t>(inkRight, pen + PixelsOf(box.xMax));
      }
      pen += PixelsOf(glyph->advance.x);
    }
    if (inkLeft > inkRight) inkLeft = inkRight = 0;
    return {ClampToInt(pen), ClampToInt(inkLeft), ClampToInt(inkRight)};
  }

  void DrawText(GlyphMask& mask, int x, int y, std::string_view utf8) const override {
    const int baseline = y + metrics_.ascent;
    // No glyph reaches back further than a few of its heights.
    const int64_t lastPen = static_cast<int64_t>(mask.width) + 4LL * pixelHeight_;
    int64_t pen = x;
    for (char32_t c : DecodeUtf8(utf8)) {
      if (pen > lastPen) break;
      if (!LoadGlyph(c)) continue;
      const FT_GlyphSlot glyph = face_->glyph;
      if (FT_Render_Glyph(glyph, FT_RENDER_MODE_MONO) == 0 && glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        DrawGlyph(mask, glyph->bitmap, static_cast<int>(pen) + glyph->bitmap_left, baseline - glyph->bitmap_top);
      }
      pen += PixelsOf(glyph->advance.x);
    }
  }

 private:
  // The glyph's outline in the face's slot, slanted and emboldened as the
  // face needs; measuring and drawing both take it from here, so they agree.
  bool LoadGlyph(char32_t c) const {
    if (FT_Load_Char(face_, c, kLoadFlags) != 0) return false;
    if (synthesizeOblique_) FT_GlyphSlot_Oblique(face_->glyph);
    if (synthesizeBold_) FT_GlyphSlot_Embolden(face_->glyph);
    return true;
  }

  static void DrawGlyph(GlyphMask& mask, const FT_Bitmap& bitmap, int left, int top) {
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const unsigned char* bits = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
      for (unsigned column = 0; column < bitmap.width; ++column) {
        if (bits[column >> 3] & (0x80 >> (column & 7))) {
          mask.Mark(left + static_cast<int>(column), top + static_cast<int>(row));
        }
      }
    }
  }

  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  FontMetrics metrics_;
  int pixelHeight_ = 0;
  bool synthesizeBold_ = false;
  bool synthesizeOblique_ = false;
};

// Length of the UTF-8 sequence a lead byte starts; 0 for a byte that
// cannot start one.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The character at `at` and its bytes: a valid sequence whole, anything
// else one byte standing for U+FFFD.
size_t DecodeCharacter(std::string_view utf8, size_t at, char32_t* out) {
  const auto lead = static_cast<unsigned char>(utf8[at]);
  const int length = SequenceLength(lead);
  *out = kReplacementCharacter;
  if (length == 0 || at + length > utf8.size()) return 1;
  char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(utf8[at + i]);
    if ((next & 0xC0) != 0x80) return 1;
    c = (c << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not text.
  const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
  if (overlong || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 1;
  *out = c;
  return static_cast<size_t>(length);
}

}  // namespace

Font::~Font() = default;

std::unique_ptr<Font> CreateFont(const FontDescription& description) {
  if (description.pixelHeight < 0 || description.pixelHeight > kMaxFontPixels) return nullptr;
  const int pixelHeight = description.pixelHeight == 0 ? kDefaultFontPixels : description.pixelHeight;
  const FontFile file = MatchFontFile(description);
  if (file.path.empty()) return nullptr;
  auto font = std::make_unique<FreeTypeFont>();
  if (!font->Open(file, pixelHeight)) return nullptr;
  return font;
}

std::u32string DecodeUtf8(std::string_view utf8) {
  std::u32string out;
  for (size_t at = 0; at < utf8.size();) {
    char32_t c = kReplacementCharacter;
    const size_t bytes = DecodeCharacter(utf8, at, &c);
    out.push_back(c);
    at += bytes;
  }
  return out;
}

size_t Utf8CharacterBytes(std::string_view utf8, size_t at) {
  char32_t ignored = 0;
  return DecodeCharacter(utf8, at, &ignored);
}

}  // namespace vx
