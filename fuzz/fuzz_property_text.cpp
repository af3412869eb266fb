// libFuzzer target: property text from a host or the command link read as a
// value of any field type, and written back.
#include <cstddef>
#include <cstdint>

#include "fuzz/PropertyFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::ReadPropertyText(data, size)) __builtin_trap();
  return 0;
}
