// libFuzzer target: the command link's frames and commands over arbitrary
// received bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/CommandFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::RunCommandBytes(data, size)) __builtin_trap();
  return 0;
}
