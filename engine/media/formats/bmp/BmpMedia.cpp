#include "engine/media/formats/bmp/BmpMedia.h"

#include <memory>

#include "engine/media/formats/bmp/BmpDecoder.h"

namespace vx {

CBmpMedia::CBmpMedia() : CStillImageMedia(MediaType::Bmp, std::make_unique<CBmpDecoder>()) {}

}  // namespace vx
