// libFuzzer target: see FeedHttpResponse in fuzz/HostFuzzEntries.h.
#include <cstddef>
#include <cstdint>

#include "fuzz/HostFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vx::fuzz::FeedHttpResponse(data, size)) __builtin_trap();
  return 0;
}
