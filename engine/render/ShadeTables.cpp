#include "engine/render/ShadeTables.h"

namespace vx {
namespace {

// Built in integers at compile time: the exact floor, with no float rounding.
template <std::size_t Levels, std::size_t Values>
constexpr std::array<std::array<uint8_t, Values>, Levels> MakeShadeTable(uint32_t divisor) {
  std::array<std::array<uint8_t, Values>, Levels> table{};
  for (uint32_t level = 0; level < Levels; ++level)
    for (uint32_t c = 0; c < Values; ++c) table[level][c] = static_cast<uint8_t>(c * level / divisor);
  return table;
}

}  // namespace

constexpr ShadeTable5Type ShadeTable5 = MakeShadeTable<256, 32>(31);
constexpr ShadeTable8Type ShadeTable8 = MakeShadeTable<256, 256>(255);

}  // namespace vx
