// Fault injection for tests: make the Nth open, read, connect or allocation
// of the platform layer fail, so a test can repeat an operation with the
// failure at N = 1, 2, ... and check that every failure path is clean.
//
// Operations that consult it: SocketConnect (kConnect), SocketReceive
// (kRead), bitmap creation (kAllocation); other modules call ShouldFail with
// the kind of operation they are about to do.
#pragma once

#include <cstdint>

#include "platform/PlatformExport.h"

namespace vx {

enum class FaultKind { kOpen, kRead, kConnect, kAllocation };

// Arms a fault: the nth operation of the kind from now (n >= 1) fails, once.
// n = 0 disarms it.
VX_PLATFORM_API void InjectFault(FaultKind kind, uint32_t n);
// Counts one operation of the kind; true when this one is to fail.
[[nodiscard]] VX_PLATFORM_API bool ShouldFail(FaultKind kind);
VX_PLATFORM_API void ClearFaults();

// Arms a fault for one scope and disarms every fault at its end.
class ScopedFault {
 public:
  ScopedFault(FaultKind kind, uint32_t n) { InjectFault(kind, n); }
  ~ScopedFault() { ClearFaults(); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace vx
