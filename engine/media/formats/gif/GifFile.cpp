#include "engine/media/formats/gif/GifFile.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "engine/media/MediaLimits.h"
#include "engine/media/formats/gif/GifLzw.h"

namespace vx {
namespace {

constexpr uint8_t kImageMark = 0x2C;
constexpr uint8_t kExtensionMark = 0x21;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kTransparentFlag = 0x01;
constexpr int32_t kShortestDelayHundredths = 2;
constexpr int32_t kDelayForShortOnes = 10;
constexpr size_t kSignatureBytes = 6;
constexpr float kByteToUnit = 1.0f / 255.0f;

// A forward reader over the file; every read past the end fails.
class GifReader {
 public:
  explicit GifReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  std::optional<uint8_t> Byte() {
    if (position_ >= bytes_.size()) return std::nullopt;
    return bytes_[position_++];
  }
  std::optional<int32_t> Word() {
    if (bytes_.size() - position_ < 2) return std::nullopt;
    const int32_t value = bytes_[position_] | (bytes_[position_ + 1] << 8);
    position_ += 2;
    return value;
  }
  std::optional<std::span<const uint8_t>> Take(size_t count) {
    if (bytes_.size() - position_ < count) return std::nullopt;
    const std::span<const uint8_t> taken = bytes_.subspan(position_, count);
    position_ += count;
    return taken;
  }
  // Data sub-blocks: a size byte, that many bytes, until a size of 0. Each
  // block goes to out when given.
  bool SubBlocks(std::vector<uint8_t>* out) {
    for (;;) {
      const std::optional<uint8_t> size = Byte();
      if (!size) return false;
      if (*size == 0) return true;
      const auto block = Take(*size);
      if (!block) return false;
      if (out) out->insert(out->end(), block->begin(), block->end());
    }
  }
  // entries <= kIndexedColors colours into table.
  bool ColorTable(int32_t entries, FloatColor* table) {
    const auto bytes = Take(static_cast<size_t>(entries) * 3);
    if (!bytes) return false;
    for (int32_t i = 0; i < entries; ++i)
      table[i] = FloatColor{(*bytes)[i * 3] * kByteToUnit, (*bytes)[i * 3 + 1] * kByteToUnit,
                            (*bytes)[i * 3 + 2] * kByteToUnit};
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

int32_t TableEntries(uint8_t packed) { return 2 << (packed & 0x07); }

IndexedColorTable GreyTable() {
  IndexedColorTable greys{};
  for (int32_t i = 0; i < kIndexedColors; ++i) {
    const float grey = static_cast<float>(i) / 256.0f;
    greys[i] = FloatColor{grey, grey, grey};
  }
  return greys;
}

bool ReadImage(GifReader& reader, GifImage* image) {
  const auto left = reader.Word();
  const auto top = reader.Word();
  const auto width = reader.Word();
  const auto height = reader.Word();
  const auto packed = reader.Byte();
  if (!left || !top || !width || !height || !packed) return false;
  image->left = *left;
  image->top = *top;
  image->width = *width;
  image->height = *height;
  image->interlaced = (*packed & 0x40) != 0;
  image->hasLocalTable = (*packed & 0x80) != 0;
  if (image->hasLocalTable) {
    image->localTable.resize(static_cast<size_t>(TableEntries(*packed)));
    if (!reader.ColorTable(TableEntries(*packed), image->localTable.data())) return false;
  }
  const auto minCodeSize = reader.Byte();
  if (!minCodeSize) return false;
  image->minCodeSize = *minCodeSize;
  return reader.SubBlocks(&image->data);
}

// Rows of a frame in the order its data holds them.
class FrameRows {
 public:
  FrameRows(int32_t height, bool interlaced) : height_(height), interlaced_(interlaced) {}

  // The next row, or -1 after the last.
  int32_t Next() {
    if (!interlaced_) return row_ < height_ ? row_++ : -1;
    static constexpr std::array<std::pair<int32_t, int32_t>, 4> kPasses = {{{0, 8}, {4, 8}, {2, 4}, {1, 2}}};
    while (pass_ < kPasses.size()) {
      if (!started_) {
        row_ = kPasses[pass_].first;
        started_ = true;
      }
      if (row_ < height_) {
        const int32_t row = row_;
        row_ += kPasses[pass_].second;
        return row;
      }
      ++pass_;
      started_ = false;
    }
    return -1;
  }

 private:
  int32_t height_;
  bool interlaced_;
  int32_t row_ = 0;
  size_t pass_ = 0;
  bool started_ = false;
};

// The screen row's opacity; null without a plane or for a row off the screen.
uint8_t* OpacityRow(AlphaPlane* alpha, int32_t screenRow) {
  if (!alpha || screenRow < 0 || screenRow >= alpha->height) return nullptr;
  return alpha->values.data() + static_cast<size_t>(screenRow) * static_cast<size_t>(alpha->width);
}

}  // namespace

DecodeStatus ReadGif(std::span<const uint8_t> bytes, GifFile* file) {
  GifReader reader(bytes);
  const auto signature = reader.Take(kSignatureBytes);
  if (!signature) return bytes.empty() ? DecodeStatus::Missing : DecodeStatus::Corrupt;
  // Only the version's middle digit is looked at.
  if ((*signature)[4] != '9' && (*signature)[4] != '7') return DecodeStatus::NotMyFormat;
  *file = GifFile{};
  file->version = (*signature)[4] == '9' ? 89 : 87;
  const auto width = reader.Word();
  const auto height = reader.Word();
  const auto packed = reader.Byte();
  const auto background = reader.Byte();
  if (!width || !height || !packed || !background || !reader.Byte()) return DecodeStatus::Corrupt;
  file->screen = PictureSize{*width, *height};
  if (CheckPictureSize(*width, *height) != DecodeStatus::Complete) return DecodeStatus::Corrupt;
  file->background = *background;
  file->hasGlobalTable = (*packed & 0x80) != 0;
  if (!file->hasGlobalTable) {
    file->globalTable = GreyTable();
  } else if (!reader.ColorTable(TableEntries(*packed), file->globalTable.data())) {
    return DecodeStatus::Corrupt;
  }
  int32_t delay = 0;  // of the next image
  int32_t transparent = -1;
  for (;;) {
    const auto mark = reader.Byte();
    if (!mark) return DecodeStatus::Corrupt;
    if (*mark == kTrailer) break;
    if (*mark == kImageMark) {
      if (file->images.size() >= static_cast<size_t>(kMaxGifFrames)) return DecodeStatus::Corrupt;
      GifImage& image = file->images.emplace_back();
      if (!ReadImage(reader, &image)) return DecodeStatus::Corrupt;
      image.delayHundredths = std::exchange(delay, 0);
      image.transparentIndex = std::exchange(transparent, -1);
    } else if (*mark == kExtensionMark) {
      // Every extension, known or not, is a label and sub-blocks; a graphic
      // control's data holds the packed byte, the delay and the transparent
      // index, which counts when the packed byte's lowest bit is set.
      const auto label = reader.Byte();
      std::vector<uint8_t> control;
      if (!label || !reader.SubBlocks(*label == kGraphicControlLabel ? &control : nullptr))
        return DecodeStatus::Corrupt;
      if (control.size() >= 3) delay = control[1] | (control[2] << 8);
      if (control.size() >= 4) transparent = (control[0] & kTransparentFlag) != 0 ? control[3] : -1;
    }
  }
  return file->images.empty() ? DecodeStatus::Corrupt : DecodeStatus::Complete;
}

bool GifFile::HasTransparency() const {
  return std::any_of(images.begin(), images.end(), [](const GifImage& image) { return image.transparentIndex >= 0; });
}

int32_t GifFrameMilliseconds(const GifImage& image) {
  const int32_t hundredths =
      image.delayHundredths < kShortestDelayHundredths ? kDelayForShortOnes : image.delayHundredths;
  return hundredths * 10;
}

void DrawGifFrame(const GifFile& file, int32_t index, const GifCanvas& canvas) {
  if (file.images.empty() || !canvas.target.bits) return;
  const auto count = static_cast<int32_t>(file.images.size());
  const GifImage& image = file.images[static_cast<size_t>(((index % count) + count) % count)];
  if (image.minCodeSize < kGifMinCodeSize || image.minCodeSize > kGifMaxCodeSize) return;
  IndexedColorTable colors = file.globalTable;
  if (image.hasLocalTable) {
    colors = IndexedColorTable{};
    std::copy(image.localTable.begin(), image.localTable.end(), colors.begin());
  }
  const CIndexedPixels pixels(colors, canvas.target.bytesPerPixel, canvas.inverseMap555);
  const auto lzw = std::make_unique<CGifLzw>(image.minCodeSize, image.data);
  const int32_t firstColumn = image.left - canvas.firstColumn;
  // The frame's columns that land inside the target.
  const int32_t from = std::max(0, -firstColumn);
  const int32_t to = std::min(image.width, canvas.target.width - firstColumn);
  FrameRows rows(image.height, image.interlaced);
  for (int32_t row = rows.Next(); row >= 0; row = rows.Next()) {
    const int32_t targetRow = image.top + row - canvas.firstRow;
    uint8_t* out = targetRow >= 0 && targetRow < canvas.target.height ? canvas.target.Row(targetRow) : nullptr;
    uint8_t* opacityRow = OpacityRow(canvas.alpha, image.top + row);
    const auto put = [&](int32_t x, uint8_t value) {
      const int32_t screenColumn = image.left + x;
      uint8_t* opacity = opacityRow && screenColumn < canvas.alpha->width ? opacityRow + screenColumn : nullptr;
      const bool keyed = value == image.transparentIndex;
      if (keyed && opacity && *opacity == kOpaqueTexel) return;
      if (out && x >= from && x < to) pixels.Store(out, firstColumn + x, value);
      if (opacity && !keyed) *opacity = kOpaqueTexel;
    };
    if (lzw->Ended()) {
      // The rest of the frame is index 0; only the columns that show or
      // keep an opacity are written.
      const int32_t kept = opacityRow ? std::clamp(canvas.alpha->width - image.left, 0, image.width) : 0;
      for (int32_t x = std::min(from, kept); x < std::max(to, kept); ++x) put(x, 0);
      continue;
    }
    for (int32_t x = 0; x < image.width; ++x) put(x, lzw->ReadIndex());
  }
}

}  // namespace vx
