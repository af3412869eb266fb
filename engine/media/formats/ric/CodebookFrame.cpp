#include "engine/media/formats/ric/CodebookFrame.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "engine/render/Dither.h"

namespace vx {
namespace {

constexpr int32_t kBlockSide = 4;
constexpr int32_t kKindBitsPerWord = 32;

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

[[nodiscard]] bool ReadExactly(DataStream* stream, uint8_t* destination, int64_t bytes) {
  if (bytes > INT32_MAX) return false;
  const auto count = static_cast<int32_t>(bytes);
  return DataStreamRead(stream, destination, 1, count) == count;
}

// Index bytes of B blocks in mixed mode: one for a block whose kind bit is
// 1, four for one whose bit is 0; bits past the last block do not count.
int64_t MixedIndexBytes(const std::vector<uint32_t>& kindWords, int64_t blocks) {
  int64_t ones = 0;
  for (size_t w = 0; w < kindWords.size(); ++w) {
    const int64_t used = std::min<int64_t>(kKindBitsPerWord, blocks - static_cast<int64_t>(w) * kKindBitsPerWord);
    const uint32_t mask = used >= kKindBitsPerWord ? ~0u : ~(~0u >> used);
    ones += std::popcount(kindWords[w] & mask);
  }
  return ones + 4 * (blocks - ones);
}

// The frame's kind bits and index bytes in drawing order; runs out safely.
class BlockData {
 public:
  BlockData(uint16_t flags, const std::vector<uint32_t>& kindWords, const std::vector<uint8_t>& indices)
      : mixed_((flags & kCodebookHasLarge) && (flags & kCodebookHasSmall)),
        onlyLarge_(!mixed_ && (flags & kCodebookHasLarge)),
        kindWords_(kindWords),
        indices_(indices) {}

  [[nodiscard]] bool NextKind(bool* large) {
    if (!mixed_) {
      *large = onlyLarge_;
      return true;
    }
    const size_t word = block_ / kKindBitsPerWord;
    if (word >= kindWords_.size()) return false;
    *large = (kindWords_[word] >> (kKindBitsPerWord - 1 - block_ % kKindBitsPerWord)) & 1u;
    ++block_;
    return true;
  }

  [[nodiscard]] bool NextIndex(uint8_t* index) {
    if (next_ >= indices_.size()) return false;
    *index = indices_[next_++];
    return true;
  }

 private:
  bool mixed_;
  bool onlyLarge_;
  const std::vector<uint32_t>& kindWords_;
  const std::vector<uint8_t>& indices_;
  size_t block_ = 0;
  size_t next_ = 0;
};

// The pixels of one block: for each of its four rows, the left and the right
// pair of pixels.
using BlockRows = std::array<std::array<const uint8_t*, 2>, kBlockSide>;

BlockRows LargeBlockRows(const uint8_t* entry, int32_t pixelBytes) {
  BlockRows rows;
  for (int32_t r = 0; r < kBlockSide; ++r) {
    rows[r][0] = entry + r * kBlockSide * pixelBytes;
    rows[r][1] = rows[r][0] + 2 * pixelBytes;
  }
  return rows;
}

// Quarters top-left, top-right, bottom-left, bottom-right, each two rows of two.
BlockRows SmallBlockRows(const std::array<const uint8_t*, 4>& quarters, int32_t pixelBytes) {
  BlockRows rows;
  for (int32_t r = 0; r < kBlockSide; ++r)
    for (int32_t half = 0; half < 2; ++half) rows[r][half] = quarters[(r / 2) * 2 + half] + (r % 2) * 2 * pixelBytes;
  return rows;
}

// Writes the block at (x, y), leaving out what lies outside the destination.
void PutBlock(const PixelMap& destination, int32_t x, int32_t y, int32_t pixelBytes, const BlockRows& rows) {
  for (int32_t r = 0; r < kBlockSide && y + r < destination.height; ++r) {
    uint8_t* row = destination.Row(y + r);
    for (int32_t half = 0; half < 2; ++half) {
      const int32_t left = x + half * 2;
      const int32_t pixels = std::min(2, destination.width - left);
      if (pixels > 0) std::memcpy(row + static_cast<ptrdiff_t>(left) * pixelBytes, rows[r][half], static_cast<size_t>(pixels) * pixelBytes);
    }
  }
}

}  // namespace

CodebookPalette MakeCodebookPalette(const PaletteTable& palette) {
  CodebookPalette result;
  result.triples = PaletteToTriples(palette);
  result.inverseMap = BuildInverseColorMap(result.triples, static_cast<int32_t>(result.triples.size() / 3),
                                           CodebookPalette::kChannelBits, CodebookPalette::kChannelBits,
                                           CodebookPalette::kChannelBits);
  return result;
}

std::unique_ptr<CCodebookFrame> CCodebookFrame::Read(DataStream* stream, int64_t streamEnd, int32_t frameWidth,
                                                     int32_t frameHeight) {
  int64_t available = streamEnd - DataStreamTell(stream);
  std::array<uint8_t, kCodebookRecordHeadBytes> head;
  if (available < kCodebookRecordHeadBytes || !ReadExactly(stream, head.data(), kCodebookRecordHeadBytes))
    return nullptr;
  available -= kCodebookRecordHeadBytes;

  std::unique_ptr<CCodebookFrame> frame(new CCodebookFrame);
  frame->flags_ = LoadU16(&head[0]);
  frame->width_ = static_cast<int16_t>(LoadU16(&head[2]));
  frame->height_ = static_cast<int16_t>(LoadU16(&head[4]));
  if (!(frame->flags_ & (kCodebookHasLarge | kCodebookHasSmall)) || frame->width_ < 0 || frame->height_ < 0 ||
      frame->width_ < frameWidth || frame->height_ < frameHeight)
    return nullptr;

  const std::pair<uint16_t, CodebookShape> books[] = {{kCodebookHasLarge, CodebookShape::Large4x4},
                                                      {kCodebookHasSmall, CodebookShape::Small2x2}};
  for (const auto& [flag, shape] : books) {
    if (!(frame->flags_ & flag)) continue;
    std::array<uint8_t, kCodebookBytes> stored;
    if (available < kCodebookBytes || !ReadExactly(stream, stored.data(), kCodebookBytes)) return nullptr;
    available -= kCodebookBytes;
    auto& book = shape == CodebookShape::Large4x4 ? frame->large_ : frame->small_;
    book = std::make_unique<Codebook>();
    WidenCodebook(stored, shape, book.get());
  }
  if (!frame->ReadBlockData(stream, available)) return nullptr;
  return frame;
}

bool CCodebookFrame::ReadBlockData(DataStream* stream, int64_t available) {
  const int64_t blocks = int64_t{height_ / kBlockSide} * (width_ / kBlockSide);
  int64_t indexBytes = 0;
  if (large_ && small_) {
    const int64_t words = (blocks + kKindBitsPerWord - 1) / kKindBitsPerWord;
    if (words * 4 > available) return false;
    std::vector<uint8_t> stored(static_cast<size_t>(words) * 4);
    if (!ReadExactly(stream, stored.data(), words * 4)) return false;
    available -= words * 4;
    kindWords_.resize(static_cast<size_t>(words));
    for (size_t w = 0; w < kindWords_.size(); ++w) kindWords_[w] = LoadU32(&stored[w * 4]);
    indexBytes = MixedIndexBytes(kindWords_, blocks);
  } else {
    indexBytes = int64_t{width_} * height_ / (large_ ? 16 : 4);
  }
  if (indexBytes > available) return false;
  indices_.resize(static_cast<size_t>(indexBytes));
  return ReadExactly(stream, indices_.data(), indexBytes);
}

bool CCodebookFrame::Draw(const PixelMap& destination, int32_t frameWidth, int32_t frameHeight,
                          const CodebookPalette* palette) const {
  CodebookOutput output;
  if (!destination.bits || !OutputForPixelSize(destination.bytesPerPixel, &output)) return false;
  if (output != CodebookOutput::Palette8) return DrawBlocks(destination, frameWidth, frameHeight, output);
  if (!palette || palette->inverseMap.empty()) return false;

  // 8 bits: the blocks go into a scratch xRGB frame that is then dithered.
  const int32_t width = std::min<int32_t>(frameWidth / kBlockSide * kBlockSide, destination.width);
  const int32_t height = std::min<int32_t>(frameHeight / kBlockSide * kBlockSide, destination.height);
  if (width <= 0 || height <= 0) return true;
  std::vector<uint32_t> scratch(static_cast<size_t>(width) * height);
  const PixelMap scratchMap{reinterpret_cast<uint8_t*>(scratch.data()), static_cast<uint16_t>(width),
                            static_cast<uint16_t>(height), 4, width * 4};
  if (!DrawBlocks(scratchMap, frameWidth, frameHeight, output)) return false;
  const DitherPalette dither{palette->inverseMap.data(), CodebookPalette::kChannelBits, CodebookPalette::kChannelBits,
                             CodebookPalette::kChannelBits, palette->triples};
  DitherToPalette(scratch.data(), width, height, dither, destination.bits, destination.rowBytes);
  return true;
}

bool CCodebookFrame::DrawBlocks(const PixelMap& destination, int32_t frameWidth, int32_t frameHeight,
                                CodebookOutput output) const {
  const int32_t blocksAcross = frameWidth / kBlockSide;
  const int32_t bands = frameHeight / kBlockSide;
  if (blocksAcross <= 0 || bands <= 0) return true;

  const int32_t pixelBytes = ExpandedPixelBytes(output);
  const std::vector<uint8_t> large = large_ ? ExpandCodebook(*large_, CodebookShape::Large4x4, output) : std::vector<uint8_t>();
  const std::vector<uint8_t> small = small_ ? ExpandCodebook(*small_, CodebookShape::Small2x2, output) : std::vector<uint8_t>();
  const int32_t largeEntryBytes = kBlockSide * kBlockSide * pixelBytes;
  const int32_t smallEntryBytes = 4 * pixelBytes;

  BlockData data(flags_, kindWords_, indices_);
  for (int32_t band = 0; band < bands; ++band) {
    for (int32_t block = 0; block < blocksAcross; ++block) {
      bool isLarge = false;
      if (!data.NextKind(&isLarge)) return false;
      BlockRows rows;
      if (isLarge) {
        uint8_t index = 0;
        if (!data.NextIndex(&index)) return false;
        rows = LargeBlockRows(large.data() + index * largeEntryBytes, pixelBytes);
      } else {
        std::array<const uint8_t*, 4> quarters;
        for (const uint8_t*& quarter : quarters) {
          uint8_t index = 0;
          if (!data.NextIndex(&index)) return false;
          quarter = small.data() + index * smallEntryBytes;
        }
        rows = SmallBlockRows(quarters, pixelBytes);
      }
      PutBlock(destination, block * kBlockSide, band * kBlockSide, pixelBytes, rows);
    }
  }
  return true;
}

}  // namespace vx
