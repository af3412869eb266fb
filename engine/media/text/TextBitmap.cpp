#include "engine/media/text/TextBitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <utility>

#include "engine/media/MediaLimits.h"
#include "engine/media/text/TextLayout.h"
#include "engine/render/DibImage.h"

namespace vx {
namespace {

constexpr int32_t kPointsPerInch = 72;
// The window system's family numbers for serif, sans serif and typewriter.
constexpr int32_t kFontNumbers[] = {2, 21, 22};

FontMaker currentMaker = CreateFont;

FontFamily PlatformFamily(uint8_t family) {
  switch (family) {
    case kFamilySerif: return FontFamily::Serif;
    case kFamilySans: return FontFamily::SansSerif;
    default: return FontFamily::Monospace;
  }
}

// a * b / c rounded half away from zero, for non-negative b and c > 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  const int64_t product = static_cast<int64_t>(a) * b;
  const int64_t rounded = product >= 0 ? (product + c / 2) / c : (product - c / 2) / c;
  return static_cast<int32_t>(std::clamp<int64_t>(rounded, INT32_MIN, INT32_MAX));
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

// Values in use, shared by every bitmap that asks with an equal key; a
// value no bitmap holds any more is let go.
template <typename Key, typename Value>
class SharedValues {
 public:
  template <typename Make>
  std::shared_ptr<const Value> Acquire(const Key& key, Make make) {
    std::erase_if(entries_, [](const Entry& entry) { return entry.value.expired(); });
    for (const Entry& entry : entries_) {
      if (!(entry.key == key)) continue;
      if (std::shared_ptr<const Value> value = entry.value.lock()) return value;
    }
    std::shared_ptr<const Value> value = make();
    if (value) entries_.push_back({key, value});
    return value;
  }

 private:
  struct Entry {
    Key key;
    std::weak_ptr<const Value> value;
  };
  std::vector<Entry> entries_;
};

struct FontKey {
  FontMaker maker;
  FontDescription description;
  friend bool operator==(const FontKey&, const FontKey&) = default;
};

struct PaletteKey {
  PaletteTable palette;
  friend bool operator==(const PaletteKey& a, const PaletteKey& b) {
    return a.palette.count == b.palette.count && a.palette.entries == b.palette.entries;
  }
};

SharedValues<FontKey, Font>& SharedFonts() {
  static SharedValues<FontKey, Font> fonts;
  return fonts;
}

SharedValues<PaletteKey, std::vector<uint8_t>>& SharedInverseMaps() {
  static SharedValues<PaletteKey, std::vector<uint8_t>> maps;
  return maps;
}

int64_t RoundUpToFour(int64_t value) { return (value + 3) & ~int64_t{3}; }

// How wide a line's pixels are, from the leftmost of its start and its ink
// to the rightmost of its advance and its ink.
int64_t ReachOf(const TextExtent& extent) {
  return static_cast<int64_t>(std::max(extent.advance, extent.inkRight)) - std::min(extent.inkLeft, 0);
}

// Writes one pixel value of the image's size.
void StorePixel(uint8_t* at, int32_t bytesPerPixel, uint32_t value) {
  switch (bytesPerPixel) {
    case 1: *at = static_cast<uint8_t>(value); break;
    case 2: {
      const auto v = static_cast<uint16_t>(value);
      std::memcpy(at, &v, 2);
      break;
    }
    case 4: std::memcpy(at, &value, 4); break;
    default: break;
  }
}

}  // namespace

FontMaker SetFontMaker(FontMaker maker) { return std::exchange(currentMaker, maker); }

int32_t PointsToPixels(int32_t points) { return MulDiv(points, kFontDotsPerInch, kPointsPerInch); }
int32_t PixelsToPoints(int32_t pixels) { return MulDiv(pixels, kPointsPerInch, kFontDotsPerInch); }

CTextBitmap::CTextBitmap() : palette_(BuiltInPaletteTable()), maxPixels_(kMaxPicturePixels), maker_(currentMaker) {}

CTextBitmap::~CTextBitmap() = default;

void CTextBitmap::SetText(std::string_view text) {
  text_.assign(text);
  dirty_ = true;
}

void CTextBitmap::SetFontSize(int32_t points) {
  if (points == fontPoints_) return;
  fontPoints_ = points;
  dirty_ = true;
}

void CTextBitmap::SetFontFamily(uint8_t family) {
  if (family == family_) return;
  family_ = family;
  fontNumber_ = kFontNumbers[std::min<size_t>(family, std::size(kFontNumbers) - 1)];
  dirty_ = true;
}

void CTextBitmap::SetFontStyle(uint8_t style) {
  if (style == style_) return;
  style_ = style;
  dirty_ = true;
}

void CTextBitmap::SetSize(float size) {
  if (size == size_) return;
  size_ = size;
  dirty_ = true;
}

void CTextBitmap::SetHorizontal(uint16_t horizontal) {
  if (horizontal == horizontal_) return;
  horizontal_ = horizontal;
  dirty_ = true;
}

void CTextBitmap::SetRightToLeft(bool rightToLeft) {
  if (rightToLeft == rightToLeft_) return;
  rightToLeft_ = rightToLeft;
  dirty_ = true;
}

void CTextBitmap::SetMaxPixels(int64_t pixels) {
  if (pixels == maxPixels_) return;
  maxPixels_ = pixels;
  dirty_ = true;
}

void CTextBitmap::SetBackgroundColor(const FloatColor& color) {
  background_ = color;
  colorsStale_ = true;
}

void CTextBitmap::SetTextColor(const FloatColor& color) {
  foreground_ = color;
  colorsStale_ = true;
}

void CTextBitmap::SetPixelDepth(int32_t bits) {
  if (bits == pixelDepth_) return;
  pixelDepth_ = bits;
  dirty_ = true;
}

void CTextBitmap::SetPalette(const PaletteTable& palette) {
  palette_ = palette;
  inverseMap_.reset();
  dirty_ = true;
}

int32_t CTextBitmap::GetImage(PixelMap* out) {
  if (dirty_) {
    Rebuild();
  } else if (colorsStale_) {
    Redraw();
  }
  *out = image_ ? image_->GetPixelMap() : PixelMap{};
  return image_ ? 0 : kMediaNoAnswer;
}

void CTextBitmap::Rebuild() {
  image_.reset();
  glyphs_.clear();
  dirty_ = false;
  colorsStale_ = false;
  const std::vector<std::string> lines = LinesToSet();
  Measure(lines);
  if (width_ <= 0 || height_ <= 0) return;
  tooLarge_ = width_ > kMaxPictureSide || height_ > kMaxPictureSide ||
              static_cast<int64_t>(width_) * height_ > std::min(maxPixels_, kMaxPicturePixels);
  if (tooLarge_) return;
  image_ = CDibImage::Create(width_, height_, pixelDepth_, &palette_, false, false);
  if (!image_) return;
  DrawGlyphs(lines);
  Redraw();
}

std::vector<std::string> CTextBitmap::LinesToSet() const {
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(text_)) lines.emplace_back(rightToLeft_ ? ReversedCharacters(line) : line);
  return lines;
}

void CTextBitmap::Measure(const std::vector<std::string>& lines) {
  width_ = 0;
  height_ = 0;
  lineCount_ = 0;
  tooLarge_ = false;
  pens_.clear();
  font_.reset();
  if (lines.empty()) return;
  const bool bold = style_ == kStyleBold || style_ == kStyleBoldItalic;
  const bool italic = style_ == kStyleItalic || style_ == kStyleBoldItalic;
  const FontKey key{maker_, {.pixelHeight = PointsToPixels(fontPoints_),
                             .family = PlatformFamily(family_),
                             .bold = bold,
                             .italic = italic}};
  font_ = SharedFonts().Acquire(key, [&] { return std::shared_ptr<const Font>(key.maker(key.description)); });
  if (!font_) return;
  metrics_ = font_->Metrics();
  lineCount_ = static_cast<int32_t>(lines.size());
  // Each line's pixels from its pen start: its advance and its glyphs' reach.
  std::vector<TextExtent> extents;
  int64_t widestAdvance = 0;
  int64_t widestReach = 0;
  for (const std::string& line : lines) {
    const TextExtent extent = font_->MeasureText(line);
    extents.push_back(extent);
    widestAdvance = std::max<int64_t>(widestAdvance, extent.advance);
    widestReach = std::max<int64_t>(widestReach, ReachOf(extent));
  }
  const int64_t wide = RoundUpToFour(std::max(widestAdvance + widestAdvance / 10, widestReach));
  const int64_t tall = static_cast<int64_t>(metrics_.height + metrics_.externalLeading) * lineCount_;
  // Sizes past what an image can hold are kept out of range, never wrapped.
  width_ = static_cast<int32_t>(std::min<int64_t>(wide, kMaxPictureSide + 1));
  height_ = static_cast<int32_t>(std::min<int64_t>(tall, kMaxPictureSide + 1));
  for (const TextExtent& extent : extents) {
    const int64_t start = std::min(extent.inkLeft, 0);
    const int64_t pen = rightToLeft_ ? width_ - (start + ReachOf(extent)) : -start;
    pens_.push_back(static_cast<int32_t>(std::clamp<int64_t>(pen, INT32_MIN, INT32_MAX)));
  }
}

void CTextBitmap::DrawGlyphs(const std::vector<std::string>& lines) {
  glyphs_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0);
  GlyphMask mask{glyphs_, width_, height_};
  const int32_t lineStep = metrics_.height + metrics_.externalLeading;
  for (size_t k = 0; k < lines.size(); ++k) {
    font_->DrawText(mask, pens_[k], static_cast<int>(k) * lineStep, lines[k]);
  }
}

template <typename Paint>
void CTextBitmap::ForEachGlyphPixel(Paint paint) {
  const PixelMap map = image_->GetPixelMap();
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* row = map.Row(y);
    const uint8_t* marks = glyphs_.data() + static_cast<size_t>(y) * width_;
    for (int32_t x = 0; x < width_; ++x) {
      if (marks[x]) paint(row + static_cast<ptrdiff_t>(x) * map.bytesPerPixel, x, y);
    }
  }
}

void CTextBitmap::Redraw() {
  colorsStale_ = false;
  if (!image_) return;
  Fill(background_);
  const uint32_t ink = PixelValue(foreground_);
  const int32_t pixelBytes = image_->GetPixelMap().bytesPerPixel;
  ForEachGlyphPixel([&](uint8_t* pixel, int32_t, int32_t) { StorePixel(pixel, pixelBytes, ink); });
}

void CTextBitmap::PaintGlyphs(const RenderBufferDesc& texture) {
  if (!image_ || !texture.base || texture.width <= 0 || texture.height <= 0) return;
  const size_t pixelBytes = image_->GetPixelMap().bytesPerPixel;
  if (static_cast<size_t>(texture.bytesPerPixel) != pixelBytes) return;
  ForEachGlyphPixel([&](uint8_t* pixel, int32_t x, int32_t y) {
    const int64_t tx = static_cast<int64_t>(x) * texture.width / width_;
    const int64_t ty = static_cast<int64_t>(y) * texture.height / height_;
    std::memcpy(pixel, texture.base + ty * texture.rowBytes + tx * static_cast<int64_t>(pixelBytes), pixelBytes);
  });
}

int32_t CTextBitmap::Fill(const FloatColor& color) {
  if (!image_) return kMediaNoAnswer;
  image_->Fill(color, InverseMap());
  return 0;
}

uint32_t CTextBitmap::PixelValue(const FloatColor& color) {
  uint32_t xrgb = 0;
  uint16_t c555 = 0;
  uint8_t index = 0;
  ColorToPixelValues(color, InverseMap(), &xrgb, &c555, &index);
  switch (pixelDepth_) {
    case 8: return index;
    case 16: return c555;
    default: return xrgb;
  }
}

const uint8_t* CTextBitmap::InverseMap() {
  if (pixelDepth_ != 8) return nullptr;
  if (!inverseMap_) {
    inverseMap_ = SharedInverseMaps().Acquire({palette_}, [this] {
      auto map = std::make_shared<std::vector<uint8_t>>(kInverseMap555Size, 0);
      BuildInverseColorMap555(palette_, std::span<uint8_t, kInverseMap555Size>(*map));
      return std::shared_ptr<const std::vector<uint8_t>>(std::move(map));
    });
  }
  return inverseMap_->data();
}

}  // namespace vx
