// libFuzzer target: see ReadConfigBytes in fuzz/HostFuzzEntries.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/HostFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::ReadConfigBytes(data, size)) __builtin_trap();
  return 0;
}
