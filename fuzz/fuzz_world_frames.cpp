// libFuzzer target: a scene file read and drawn at every pixel depth.
#include <cstddef>
#include <cstdint>

#include "fuzz/ReaderFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::DrawSceneBytes(data, size);
  return 0;
}
