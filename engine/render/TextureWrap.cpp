#include "engine/render/TextureWrap.h"

#include <cassert>

#include "engine/render/RenderLimits.h"

namespace vx {

TextureAxis::TextureAxis(int32_t size, bool repeat) {
  assert(size >= 1 && size <= kMaxTextureSide && "a texture axis has 1 to kMaxTextureSide texels");
  last_ = size - 1;
  if (repeat) {
    period_ = size * kFixedOne;
    inversePeriod_ = 1.0 / period_;
  }
}

int32_t TextureAxis::ReduceFar(int64_t fixed) const {
  // Coordinates stay below 2^54, so the product misses the true quotient by
  // far less than one and its floor is off by one at most.
  const double quotient = static_cast<double>(fixed) * inversePeriod_;
  int64_t periods = static_cast<int64_t>(quotient);
  if (quotient < static_cast<double>(periods)) --periods;
  int64_t rest = fixed - periods * period_;
  if (rest < 0) rest += period_;
  if (rest >= period_) rest -= period_;
  return static_cast<int32_t>(rest);
}

}  // namespace vx
