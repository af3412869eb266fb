// Reduction of texel columns and rows into a texture that repeats.
#pragma once

#include <cstdint>
#include <vector>

namespace vx {

// Reduces a texel column (or row) by the texture size minus one, the period:
// values above the period lose whole periods until they are at most the
// period, negative values gain them until they are at least 0. So with a
// size of 64, column 64 reads 1 and -1 reads 62. A texture 1 texel across has
// no period and always reads texel 0.
inline int32_t WrapTexel(int32_t c, int32_t period) {
  if (static_cast<uint32_t>(c) <= static_cast<uint32_t>(period)) return c;
  if (period <= 0) return 0;
  if (c > 0) return (c - 1) % period + 1;
  const int32_t m = c % period;
  return m < 0 ? m + period : m;
}

// The reductions of the columns near the texture, looked up instead of
// divided: textures repeat a few times across a polygon, and the fillers
// reduce two coordinates per pixel.
class WrapTable {
 public:
  // What a span reads, copied out of the table so that the compiler need not
  // reload it after every pixel store.
  struct View {
    const int32_t* entries;
    uint32_t size;
    int32_t reach;
    int32_t period;
    int32_t operator()(int32_t c) const {
      const uint32_t i = static_cast<uint32_t>(c) + static_cast<uint32_t>(reach);
      return i < size ? entries[i] : WrapTexel(c, period);
    }
  };

  void Build(int32_t period);
  View GetView() const { return {entries_.data(), static_cast<uint32_t>(entries_.size()), reach_, period_}; }
  int32_t operator()(int32_t c) const { return GetView()(c); }

 private:
  static constexpr int32_t kMaxReach = 16384;
  std::vector<int32_t> entries_;
  int32_t reach_ = 0;
  int32_t period_ = -1;
};

}  // namespace vx
