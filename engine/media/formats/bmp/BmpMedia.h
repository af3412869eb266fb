// BMP pictures as media objects: the file is read whole once it is local and
// decoded in one step.
#pragma once

#include <cstdint>

#include "engine/media/StillImageMedia.h"
#include "engine/media/formats/bmp/BmpDecoder.h"

namespace vx {

class CBmpMedia final : public CStillImageMedia {
 public:
  CBmpMedia();

  int32_t Load() override;
};

}  // namespace vx
