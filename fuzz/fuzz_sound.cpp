// libFuzzer target: see PlaySoundBytes in fuzz/MovieFuzzEntries.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/MovieFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::PlaySoundBytes(data, size)) __builtin_trap();
  return 0;
}
