// libFuzzer target: ".ric" block-codebook streams over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/CodebookFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static_cast<void>(vx::fuzz::DecodeCodebookBytes(data, size));
  return 0;
}
