// The ".txt" tile descriptor: words separated by white space that give the
// frame size ("width", "height"), the grid ("quantization" down,across) and
// one "File" { "filename" ... "order" ... "mask" ... } block per tile. A
// block that leaves out a name or its order takes over the one read last.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/media/MediaTypes.h"

namespace vx {

struct DescriptorTile {
  std::string imageUrl;
  std::string maskUrl;
  int16_t order = 0;
};

struct ImageDescriptor {
  FrameGrid grid;
  // One per grid cell, in the order the blocks came.
  std::vector<DescriptorTile> tiles;
};

// The part of a descriptor's URL up to and including its last '/', '\' or
// ':'; empty when it has none.
std::string_view DescriptorBase(std::string_view url);

// False for a descriptor that cannot be used: a keyword without its value,
// "File" not followed by "{", a grid of no cells or more than
// kMaxDescriptorTiles, a grid changed after the first tile, a tile without a
// picture or mask name (none to take over), a name with control characters
// or longer than a media name with the base in front, a frame size past
// 16 bits, or a tile count other than the grid's cells.
[[nodiscard]] bool ParseImageDescriptor(std::string_view text, std::string_view base, ImageDescriptor* out);

}  // namespace vx
