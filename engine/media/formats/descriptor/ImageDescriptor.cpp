#include "engine/media/formats/descriptor/ImageDescriptor.h"

#include <algorithm>
#include <optional>

#include "engine/media/MediaLimits.h"

namespace vx {
namespace {

// Words are cut after this many characters; the rest is the next word.
constexpr size_t kWordLength = 255;
// Numbers are read as far as their digits go; larger values saturate here.
constexpr int64_t kNumberCeiling = int64_t{1} << 40;
constexpr uint16_t kDefaultSpare = 1;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the text the way formatted input reads a file: a word is a run of
// characters other than white space, a number an optional sign and digits.
class WordReader {
 public:
  explicit WordReader(std::string_view text) : text_(text) {}

  std::optional<std::string_view> Word() {
    SkipSpace();
    if (position_ >= text_.size()) return std::nullopt;
    const size_t start = position_;
    while (position_ < text_.size() && !IsSpace(text_[position_]) && position_ - start < kWordLength) ++position_;
    return text_.substr(start, position_ - start);
  }
  std::optional<int64_t> Number() {
    SkipSpace();
    bool negative = false;
    if (position_ < text_.size() && (text_[position_] == '-' || text_[position_] == '+'))
      negative = text_[position_++] == '-';
    if (position_ >= text_.size() || !IsDigit(text_[position_])) return std::nullopt;
    int64_t value = 0;
    for (; position_ < text_.size() && IsDigit(text_[position_]); ++position_)
      value = std::min(kNumberCeiling, value * 10 + (text_[position_] - '0'));
    return negative ? -value : value;
  }
  // The character right here, with no white space before it.
  bool Literal(char c) {
    if (position_ >= text_.size() || text_[position_] != c) return false;
    ++position_;
    return true;
  }

 private:
  void SkipSpace() {
    while (position_ < text_.size() && IsSpace(text_[position_])) ++position_;
  }

  std::string_view text_;
  size_t position_ = 0;
};

bool IsUsableName(std::string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

class DescriptorParser {
 public:
  DescriptorParser(std::string_view text, std::string_view base, ImageDescriptor* out)
      : reader_(text), base_(base), out_(out) {}

  bool Parse() {
    *out_ = ImageDescriptor{};
    out_->grid = FrameGrid{kFrameOrderAlongRows, 1, 1, kDefaultSpare, 0, 0};
    while (out_->tiles.size() < Cells()) {
      const auto word = reader_.Word();
      if (!word) break;
      if (!Keyword(*word)) return false;
      if (endedInBlock_) break;
    }
    return arrayMade_ && out_->tiles.size() == Cells();
  }

 private:
  size_t Cells() const { return size_t{out_->grid.framesDown} * out_->grid.framesAcross; }

  bool Keyword(std::string_view word) {
    if (word == "width") return FrameSide(&out_->grid.frameWidth);
    if (word == "height") return FrameSide(&out_->grid.frameHeight);
    if (word == "quantization") return Quantization();
    if (word == "File") return FileBlock();
    return true;
  }

  bool FrameSide(uint16_t* side) {
    const auto value = reader_.Number();
    if (!value || *value < 0 || *value > UINT16_MAX) return false;
    *side = static_cast<uint16_t>(*value);
    number_ = *value;
    return true;
  }

  // The tile array is made at the first block; the grid may not change after.
  bool Quantization() {
    const auto down = reader_.Number();
    if (!down) return false;
    number_ = *down;
    const bool comma = reader_.Literal(',');
    const auto across = comma ? reader_.Number() : std::nullopt;
    if (!across || arrayMade_ || *down < 1 || *across < 1) return false;
    if (*down > kMaxDescriptorTiles || *across > kMaxDescriptorTiles || *down * *across > kMaxDescriptorTiles)
      return false;
    out_->grid.framesDown = static_cast<uint16_t>(*down);
    out_->grid.framesAcross = static_cast<uint16_t>(*across);
    return true;
  }

  bool FileBlock() {
    const auto open = reader_.Word();
    if (!open || *open != "{") return false;
    arrayMade_ = true;
    for (;;) {
      const auto word = reader_.Word();
      if (!word) {
        endedInBlock_ = true;
        return DefineTile();
      }
      if (*word == "}") return DefineTile();
      if (*word == "filename" || *word == "mask") {
        const auto name = reader_.Word();
        if (!name) return false;
        (*word == "filename" ? fileName_ : maskName_) = *name;
      } else if (*word == "order") {
        const auto value = reader_.Number();
        if (!value) return false;
        number_ = *value;
      }
    }
  }

  bool DefineTile() {
    if (!IsUsableName(fileName_) || !IsUsableName(maskName_)) return false;
    DescriptorTile tile{std::string(base_) + fileName_, std::string(base_) + maskName_,
                        static_cast<int16_t>(static_cast<uint64_t>(number_) & 0xFFFF)};
    const auto tooLong = [](const std::string& url) { return url.size() > static_cast<size_t>(kMaxMediaNameLength); };
    if (tooLong(tile.imageUrl) || tooLong(tile.maskUrl)) return false;
    out_->tiles.push_back(std::move(tile));
    return true;
  }

  WordReader reader_;
  std::string_view base_;
  ImageDescriptor* out_;
  std::string fileName_;
  std::string maskName_;
  int64_t number_ = 0;
  bool arrayMade_ = false;
  bool endedInBlock_ = false;
};

}  // namespace

std::string_view DescriptorBase(std::string_view url) {
  const size_t last = url.find_last_of("/\\:");
  return last == std::string_view::npos ? std::string_view() : url.substr(0, last + 1);
}

bool ParseImageDescriptor(std::string_view text, std::string_view base, ImageDescriptor* out) {
  return DescriptorParser(text, base, out).Parse();
}

}  // namespace vx
