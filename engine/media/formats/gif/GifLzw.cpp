#include "engine/media/formats/gif/GifLzw.h"

#include <cassert>

namespace vx {

CGifLzw::CGifLzw(int32_t minCodeSize, std::span<const uint8_t> data)
    : data_(data), minCodeSize_(minCodeSize), clearCode_(1 << minCodeSize), endCode_((1 << minCodeSize) + 1) {
  assert(minCodeSize >= kGifMinCodeSize && minCodeSize <= kGifMaxCodeSize && "the caller checks the code size");
  for (int32_t code = 0; code < clearCode_; ++code) suffix_[code] = static_cast<uint8_t>(code);
  ResetTable();
}

void CGifLzw::ResetTable() {
  codeWidth_ = minCodeSize_ + 1;
  nextCode_ = clearCode_ + 2;
  widthLimit_ = 2 * clearCode_;
  stackSize_ = 0;
}

// Codes are packed from the lowest bit of each byte up.
int32_t CGifLzw::ReadCode() {
  if (done_ || bitPosition_ + static_cast<uint64_t>(codeWidth_) > data_.size() * 8ULL) {
    done_ = true;
    return endCode_;
  }
  const size_t byte = static_cast<size_t>(bitPosition_ / 8);
  uint32_t window = 0;
  for (size_t i = 0; i < 3 && byte + i < data_.size(); ++i) window |= static_cast<uint32_t>(data_[byte + i]) << (8 * i);
  const int32_t code = static_cast<int32_t>((window >> (bitPosition_ % 8)) & ((1U << codeWidth_) - 1));
  bitPosition_ += static_cast<uint64_t>(codeWidth_);
  return code;
}

void CGifLzw::Push(int32_t value) {
  if (stackSize_ < kGifCodeTableSize) stack_[stackSize_++] = static_cast<uint8_t>(value);
}

uint8_t CGifLzw::StartAfterClear() {
  ResetTable();
  int32_t code = ReadCode();
  while (code == clearCode_) code = ReadCode();
  if (code > clearCode_) code = 0;
  first_ = old_ = code;
  return static_cast<uint8_t>(code);
}

uint8_t CGifLzw::ReadIndex() {
  if (fresh_) {
    fresh_ = false;
    return StartAfterClear();
  }
  if (stackSize_ > 0) return stack_[--stackSize_];
  int32_t code = ReadCode();
  if (code == clearCode_) return StartAfterClear();
  if (code == endCode_) {
    done_ = true;
    return 0;
  }
  const int32_t incoming = code > nextCode_ ? 0 : code;
  if (code >= nextCode_) {
    Push(first_);
    code = old_;
  }
  // Every entry refers to an earlier code, so the chain ends within the
  // table's size; the bound keeps a damaged table from doing otherwise.
  for (int32_t steps = 0; code >= clearCode_ && steps < kGifCodeTableSize; ++steps) {
    Push(suffix_[code]);
    code = prefix_[code];
  }
  if (code >= clearCode_) code = 0;
  first_ = suffix_[code];
  if (nextCode_ < kGifCodeTableSize) {
    prefix_[nextCode_] = static_cast<uint16_t>(old_);
    suffix_[nextCode_] = static_cast<uint8_t>(first_);
    ++nextCode_;
    if (nextCode_ >= widthLimit_ && codeWidth_ < kGifMaxCodeWidth) {
      ++codeWidth_;
      widthLimit_ *= 2;
    }
  }
  old_ = incoming;
  return static_cast<uint8_t>(first_);
}

}  // namespace vx
