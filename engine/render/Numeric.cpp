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

int32_t ToFixed16Wrap(float value) {
  const double scaled = static_cast<double>(value) * kFixedOne;
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(scaled > -kLimit && scaled < kLimit)) return 0;
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(scaled))));
}

}  // namespace vx
