#include "platform/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

namespace vx {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
// Monochrome glyphs hinted for monochrome output, so measured advances and
// drawn pixels agree.
constexpr FT_Int32 kMeasureFlags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO;
constexpr FT_Int32 kDrawFlags = FT_LOAD_RENDER | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO;

const char* FamilyName(FontFamily family) {
  switch (family) {
    case FontFamily::SansSerif: return "sans-serif";
    case FontFamily::Monospace: return "monospace";
    case FontFamily::Serif: break;
  }
  return "serif";
}

int PixelsOf(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

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

struct FontFile {
  std::string path;
  int index = 0;
};

// The file fontconfig matches best; empty path when none.
FontFile MatchFontFile(const FontDescription& description) {
  FontFile file;
  FcConfig* config = Configuration();
  FcPattern* pattern = config ? FcPatternCreate() : nullptr;
  if (!pattern) return file;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(FamilyName(description.family)));
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
    const FT_Size_Metrics& m = face_->size->metrics;
    metrics_.ascent = PixelsOf(m.ascender);
    metrics_.descent = PixelsOf(-m.descender);
    metrics_.height = metrics_.ascent + metrics_.descent;
    const int lineSpacing = PixelsOf(m.height);
    metrics_.externalLeading = lineSpacing > metrics_.height ? lineSpacing - metrics_.height : 0;
    return true;
  }

  FontMetrics Metrics() const override { return metrics_; }

  int MeasureText(std::string_view utf8) const override {
    int width = 0;
    for (char32_t c : DecodeUtf8(utf8)) {
      if (FT_Load_Char(face_, c, kMeasureFlags) == 0) width += PixelsOf(face_->glyph->advance.x);
    }
    return width;
  }

  void DrawText(GlyphMask& mask, int x, int y, std::string_view utf8) const override {
    const int baseline = y + metrics_.ascent;
    int pen = x;
    for (char32_t c : DecodeUtf8(utf8)) {
      if (FT_Load_Char(face_, c, kDrawFlags) != 0) continue;
      const FT_GlyphSlot glyph = face_->glyph;
      if (glyph->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        DrawGlyph(mask, glyph->bitmap, pen + glyph->bitmap_left, baseline - glyph->bitmap_top);
      }
      pen += PixelsOf(glyph->advance.x);
    }
  }

 private:
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
  size_t at = 0;
  while (at < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const int length = SequenceLength(lead);
    if (length == 0 || at + length > utf8.size()) {
      out.push_back(kReplacementCharacter);
      ++at;
      continue;
    }
    char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
    bool valid = true;
    for (int i = 1; i < length && valid; ++i) {
      const auto next = static_cast<unsigned char>(utf8[at + i]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (!valid || overlong || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      out.push_back(kReplacementCharacter);
      ++at;
      continue;
    }
    out.push_back(c);
    at += length;
  }
  return out;
}

}  // namespace vx
