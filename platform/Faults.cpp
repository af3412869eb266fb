#include "platform/Faults.h"

#include <array>
#include <cstddef>

namespace vx {
namespace {

struct Countdown {
  uint32_t remaining = 0;  // 0: not armed
};

std::array<Countdown, 4> g_faults;

Countdown& Of(FaultKind kind) { return g_faults[static_cast<size_t>(kind)]; }

}  // namespace

void InjectFault(FaultKind kind, uint32_t n) { Of(kind).remaining = n; }

bool ShouldFail(FaultKind kind) {
  Countdown& fault = Of(kind);
  if (fault.remaining == 0) return false;
  return --fault.remaining == 0;
}

void ClearFaults() { g_faults = {}; }

}  // namespace vx
