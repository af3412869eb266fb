// BMP pictures as media objects: the file is read whole once it is local and
// decoded in one step.
#pragma once

#include "engine/media/StillImageMedia.h"

namespace vx {

class CBmpMedia final : public CStillImageMedia {
 public:
  CBmpMedia();
};

}  // namespace vx
