#include "engine/media/formats/bmp/BmpMedia.h"

#include <memory>

#include "engine/media/SharedInverseMap.h"

namespace vx {

CBmpMedia::CBmpMedia() : CStillImageMedia(MediaType::Bmp, std::make_unique<CBmpDecoder>()) {}

// Palette images take their indices through the shared inverse map, built
// from this object's palette when it is the first to ask.
int32_t CBmpMedia::Load() {
  const int32_t state = CStillImageMedia::Load();
  if (state == MediaDecoding && ImageInfo().bytesPerPixel == 1) {
    PaletteTable palette;
    GetPalette(&palette);
    static_cast<CBmpDecoder&>(Decoder()).SetInverseMap(GetSharedInverseMap(palette));
  }
  return state;
}

}  // namespace vx
