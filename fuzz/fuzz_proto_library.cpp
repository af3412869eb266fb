// libFuzzer target: an EXTERNPROTO library file, read for the interface
// defaults and the body of the PROTO an EXTERNPROTO names.
#include <cstddef>
#include <cstdint>

#include "fuzz/ReaderFuzzEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vx::fuzz::ReadProtoLibraryBytes(data, size);
  return 0;
}
