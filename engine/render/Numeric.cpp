#include "engine/render/Numeric.h"

#include <cmath>
#include <limits>

namespace vx {

int32_t TruncToInt(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kMax = static_cast<double>(std::numeric_limits<int32_t>::max());
  constexpr double kMin = static_cast<double>(std::numeric_limits<int32_t>::min());
  if (value >= kMax) return std::numeric_limits<int32_t>::max();
  if (value <= kMin) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int32_t TruncToInt(float value) { return TruncToInt(static_cast<double>(value)); }

}  // namespace vx
