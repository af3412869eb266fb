// The one inverse colour map (5 bits a channel) that the media objects share
// when they turn colours into palette indices. It is built once per engine
// instance, from the palette of the first object that asks for it.
#pragma once

#include <cstdint>

#include "engine/render/Palette.h"

namespace vx {

// The map; on the first call after a reset it is built from palette, every
// later call returns it as it is, whatever palette is given.
const uint8_t* GetSharedInverseMap(const PaletteTable& palette);

// Forgets the map, so that the next GetSharedInverseMap builds it anew. A new
// engine instance calls this.
void ResetSharedInverseMap();

}  // namespace vx
