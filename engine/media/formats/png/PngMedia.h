// PNG pictures as media objects: the file is read whole once it is local and
// decoded in one step; a picture with opacity keeps it (GetAlpha).
#pragma once

#include <cstdint>

#include "engine/media/StillImageMedia.h"

namespace vx {

class CPngMedia final : public CStillImageMedia {
 public:
  CPngMedia();

  int32_t DecodeStep() override;
};

}  // namespace vx
