// libFuzzer target: field values written as property text and read back.
#include <cstddef>
#include <cstdint>

#include "fuzz/PropertyFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::RoundTripPropertyValue(data, size)) __builtin_trap();
  return 0;
}
