#include "platform/Clock.h"

#include <chrono>
#include <ctime>

namespace vx {
namespace {

uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

ClockSource g_source = nullptr;
uint64_t g_manualMs = 0;

uint64_t ManualMs() { return g_manualMs; }

}  // namespace

uint64_t NowMs() { return g_source ? g_source() : SteadyMs(); }
uint32_t TickCountMs() { return static_cast<uint32_t>(NowMs()); }
int64_t WallClockSeconds() { return static_cast<int64_t>(std::time(nullptr)); }
void SetClockSource(ClockSource source) { g_source = source; }

ManualClock::ManualClock(uint64_t startMs) {
  g_manualMs = startMs;
  SetClockSource(&ManualMs);
}
ManualClock::~ManualClock() { SetClockSource(nullptr); }
void ManualClock::Advance(uint64_t ms) { g_manualMs += ms; }
void ManualClock::Set(uint64_t ms) { g_manualMs = ms; }
uint64_t ManualClock::Now() const { return g_manualMs; }

}  // namespace vx
