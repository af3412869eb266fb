#include "platform/Clock.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(Clock, ManualClockReplacesAndRestoresTheRealOne) {
  {
    ManualClock clock(5000);
    EXPECT_EQ(NowMs(), 5000u);
    clock.Advance(16);
    EXPECT_EQ(NowMs(), 5016u);
    clock.Set((uint64_t{1} << 32) + 7);
    EXPECT_EQ(TickCountMs(), 7u) << "the tick count wraps at 32 bits";
  }
  uint64_t a = NowMs();
  uint64_t b = NowMs();
  EXPECT_LE(a, b);
  EXPECT_NE(a, (uint64_t{1} << 32) + 7);
}

}  // namespace
}  // namespace vx
