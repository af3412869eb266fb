// libFuzzer target: see DecodePngBytes in fuzz/MediaFuzzEntries.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/MediaFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::DecodePngBytes(data, size)) __builtin_trap();
  return 0;
}
