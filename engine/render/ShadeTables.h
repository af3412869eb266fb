// Shading of texels by a light level 0..255, one byte look-up per channel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vx {

// [level][c] = floor(c x level / 31) for 5-bit channels.
using ShadeTable5Type = std::array<std::array<uint8_t, 32>, 256>;
// [level][c] = floor(c x level / 255) for 8-bit channels.
using ShadeTable8Type = std::array<std::array<uint8_t, 256>, 256>;

extern const ShadeTable5Type ShadeTable5;
extern const ShadeTable8Type ShadeTable8;

}  // namespace vx
