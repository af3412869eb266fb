// libFuzzer target: commands against a world whose ROUTEs hand child lists
// from node to node; the world's hierarchy must stay free of cycles.
#include <cstddef>
#include <cstdint>

#include "fuzz/CommandFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::RunCommandWorldBytes(data, size)) __builtin_trap();
  return 0;
}
