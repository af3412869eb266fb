// What a TextSensor asks of the node it watches: whether the pick lies on the
// sensor's text in that node. The Text and TextTexture classes answer it
// from the media layer, above the sensor's own.
#pragma once

#include <string_view>

#include "engine/scene/Node.h"

namespace vx {

class ITextHitTarget {
 public:
  virtual bool IsTextHit(const PickRecord& pick, std::string_view text) = 0;

 protected:
  ~ITextHitTarget() = default;
};

}  // namespace vx
