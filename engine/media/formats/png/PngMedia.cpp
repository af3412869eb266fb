#include "engine/media/formats/png/PngMedia.h"

#include <memory>
#include <utility>

#include "engine/media/formats/png/PngDecoder.h"

namespace vx {

CPngMedia::CPngMedia() : CStillImageMedia(MediaType::Png, std::make_unique<CPngDecoder>()) {}

int32_t CPngMedia::DecodeStep() {
  const int32_t state = CStillImageMedia::DecodeStep();
  if (state == MediaComplete) Alpha() = std::move(static_cast<CPngDecoder&>(Decoder()).Alpha());
  return state;
}

}  // namespace vx
