// A writer of ".ric" files for the tests: the stream header with its offset
// and size tables, and frame records made of chosen codebook entries and
// block choices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vx::test {

using RicEntry = std::array<uint8_t, 6>;

// A codebook of 256 entries, every one `fill` unless set.
struct RicCodebook {
  explicit RicCodebook(const RicEntry& fill = {0, 0, 0, 0, 128, 128}) { entries.fill(fill); }
  std::array<RicEntry, 256> entries;
};

// One block of a frame: a large-book index, or four small-book indices
// (top-left, top-right, bottom-left, bottom-right).
struct RicBlock {
  bool large = true;
  std::array<uint8_t, 4> index = {};
};

struct RicRecord {
  uint16_t flags = 0;  // 1 large book, 2 small book
  uint16_t width = 0;
  uint16_t height = 0;
  RicCodebook large;
  RicCodebook small;
  std::vector<RicBlock> blocks;     // in drawing order
  uint32_t unusedKindBits = 0;      // written into the bits past the last block
};

inline void PutU16(std::string* out, uint32_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void PutU32(std::string* out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

inline void PutCodebook(std::string* out, const RicCodebook& book) {
  for (const RicEntry& entry : book.entries)
    for (uint8_t byte : entry) out->push_back(static_cast<char>(byte));
}

// The record's bytes: with both books the kind words (bit 31 of the first
// word for block 0), then one index byte per large block and four per small.
inline std::string EncodeRicRecord(const RicRecord& record) {
  std::string out;
  PutU16(&out, record.flags);
  PutU16(&out, record.width);
  PutU16(&out, record.height);
  if (record.flags & 1) PutCodebook(&out, record.large);
  if (record.flags & 2) PutCodebook(&out, record.small);
  if ((record.flags & 3) == 3) {
    const size_t blocks = static_cast<size_t>(record.height / 4) * (record.width / 4);
    std::vector<uint32_t> words((blocks + 31) / 32, 0);
    for (size_t k = 0; k < words.size() * 32; ++k) {
      const bool bit = k < blocks ? (k < record.blocks.size() && record.blocks[k].large)
                                  : ((record.unusedKindBits >> (k % 32)) & 1u) != 0;
      if (bit) words[k / 32] |= 1u << (31 - k % 32);
    }
    for (uint32_t word : words) PutU32(&out, word);
  }
  const size_t indicesStart = out.size();
  for (const RicBlock& block : record.blocks) {
    const int count = block.large ? 1 : 4;
    for (int i = 0; i < count; ++i) out.push_back(static_cast<char>(block.index[i]));
  }
  // A one-book record holds (width x height) / 16 or / 4 index bytes, more
  // than its blocks use when the sides are not multiples of 4.
  const size_t area = static_cast<size_t>(record.width) * record.height;
  const size_t fixedBytes = (record.flags & 3) == 1 ? area / 16 : (record.flags & 3) == 2 ? area / 4 : 0;
  if (out.size() - indicesStart < fixedBytes) out.resize(indicesStart + fixedBytes, '\0');
  return out;
}

struct RicGrid {
  uint16_t order = 21;
  uint16_t down = 1;
  uint16_t across = 1;
  uint16_t frameWidth = 4;
  uint16_t frameHeight = 4;
};

// The header (72 bytes, then the two tables) and the records one after
// another; `count` table entries when given, else one per record.
inline std::string EncodeRicFile(const RicGrid& grid, const std::vector<std::string>& records,
                                 int64_t count = -1) {
  const uint32_t entries = count < 0 ? static_cast<uint32_t>(records.size()) : static_cast<uint32_t>(count);
  std::string out;
  PutU32(&out, 0x20434952);  // format word
  PutU32(&out, 0);
  PutU32(&out, 0);
  PutU32(&out, 72);  // header length
  PutU32(&out, 0);
  PutU32(&out, 0);
  for (uint32_t half : {grid.order, grid.down, grid.across, uint16_t{0}, grid.frameWidth, grid.frameHeight})
    PutU16(&out, half);
  PutU32(&out, entries);
  for (int i = 0; i < 8; ++i) PutU32(&out, 0);
  uint32_t offset = 72 + 8 * static_cast<uint32_t>(records.size());
  std::string sizes;
  for (const std::string& record : records) {
    PutU32(&out, offset);
    PutU32(&sizes, static_cast<uint32_t>(record.size()));
    offset += static_cast<uint32_t>(record.size());
  }
  out += sizes;
  for (const std::string& record : records) out += record;
  return out;
}

// A frame drawn from the small book only, every block from entry 0: the
// whole frame one grey when `fill` is a grey entry.
inline RicRecord SmallBookFrame(uint16_t width, uint16_t height, const RicEntry& fill) {
  RicRecord record;
  record.flags = 2;
  record.width = width;
  record.height = height;
  record.small = RicCodebook(fill);
  record.blocks.assign(static_cast<size_t>(width / 4) * (height / 4), RicBlock{false, {0, 0, 0, 0}});
  return record;
}

}  // namespace vx::test
