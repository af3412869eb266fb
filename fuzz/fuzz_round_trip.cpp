// libFuzzer target: a scene that reads is saved, read again and saved again;
// the two saves must be the same text, or the first save lost something.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/ReaderFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string lost = vx::fuzz::RoundTripSceneBytes(data, size);
  if (!lost.empty()) {
    std::fprintf(stderr, "%s\n", lost.c_str());
    std::abort();
  }
  return 0;
}
