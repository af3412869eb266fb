// The variable-length-code LZW of GIF image data, one pixel index at a
// time. The data is the image's sub-blocks joined into one bit stream; once
// it runs out the stream counts as ended and every further index is 0.
// Hostile data cannot make it loop or overflow: code chains are unwound on
// a bounded stack and every table entry points to an earlier one.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/media/MediaLimits.h"

namespace vx {

inline constexpr int32_t kGifMinCodeSize = 2;
inline constexpr int32_t kGifMaxCodeSize = 11;
inline constexpr int32_t kGifMaxCodeWidth = 12;

class CGifLzw {
 public:
  // minCodeSize must lie in kGifMinCodeSize..kGifMaxCodeSize.
  CGifLzw(int32_t minCodeSize, std::span<const uint8_t> data);

  uint8_t ReadIndex();
  // True once the stream has ended and nothing is left to give but 0.
  bool Ended() const { return done_ && stackSize_ == 0; }

 private:
  int32_t ReadCode();
  void ResetTable();
  uint8_t StartAfterClear();
  void Push(int32_t value);

  std::span<const uint8_t> data_;
  uint64_t bitPosition_ = 0;
  bool done_ = false;
  bool fresh_ = true;
  int32_t minCodeSize_;
  int32_t clearCode_;
  int32_t endCode_;
  int32_t codeWidth_ = 0;
  int32_t nextCode_ = 0;
  int32_t widthLimit_ = 0;
  int32_t first_ = 0;
  int32_t old_ = 0;
  std::array<uint16_t, kGifCodeTableSize> prefix_{};
  std::array<uint8_t, kGifCodeTableSize> suffix_{};
  std::array<uint8_t, kGifCodeTableSize> stack_{};
  int32_t stackSize_ = 0;
};

}  // namespace vx
