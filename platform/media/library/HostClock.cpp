#include "platform/media/library/HostClock.h"

#include <cassert>

namespace vx {
namespace {

HostClockFn g_clock = nullptr;

}  // namespace

void SetHostClock(HostClockFn clock) { g_clock = clock; }

uint64_t HostNowMs() {
  assert(g_clock && "the entry sets the clock before any stream is made");
  return g_clock();
}

}  // namespace vx
