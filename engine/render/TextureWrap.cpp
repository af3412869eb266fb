#include "engine/render/TextureWrap.h"

#include <algorithm>

namespace vx {

void WrapTable::Build(int32_t period) {
  if (period == period_ && !entries_.empty()) return;
  period_ = period;
  // Four repeats either way, at least 256 columns, at most kMaxReach.
  const int64_t repeats = 4 * (static_cast<int64_t>(std::max(period, 0)) + 1);
  reach_ = static_cast<int32_t>(std::clamp<int64_t>(repeats, 256, kMaxReach));
  entries_.resize(static_cast<size_t>(reach_) * 2);
  for (int32_t i = 0; i < 2 * reach_; ++i) entries_[static_cast<size_t>(i)] = WrapTexel(i - reach_, period);
}

}  // namespace vx
