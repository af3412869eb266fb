// libFuzzer target: the scene reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/ReaderFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::ReadSceneBytes(data, size);
  return 0;
}
