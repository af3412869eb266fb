// libFuzzer target: deep and shared worlds built from a few bytes, read,
// drawn and saved.
#include <cstddef>
#include <cstdint>

#include "fuzz/ReaderFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::DrawSharedWorldBytes(data, size);
  return 0;
}
