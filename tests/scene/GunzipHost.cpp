#include "tests/scene/GunzipHost.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/hostlink/HostTable.h"

namespace vx::test {
namespace {

int32_t GunzipInPlace(const char* path) {
  const std::string source(path);
  if (!source.ends_with(".gz")) return 1;
  gzFile in = gzopen(path, "rb");
  if (!in) return 1;
  char buffer[4096];
  std::string data;
  const int first = gzread(in, buffer, sizeof buffer);
  if (first < 0 || gzdirect(in)) {
    gzclose(in);
    return 1;
  }
  int read = first;
  while (read > 0) {
    data.append(buffer, static_cast<size_t>(read));
    read = gzread(in, buffer, sizeof buffer);
  }
  const int closed = gzclose(in);
  if (read != 0 || closed != Z_OK) return 1;
  std::ofstream(source.substr(0, source.size() - 3), std::ios::binary) << data;
  std::remove(path);
  return 0;
}

VxSlotFunction GetSlotByName(const char* name, int32_t slot) {
  if (std::string_view(name) == VX_COMPRESSION_NAME && slot == VxCompressionDecompressFile) {
    return reinterpret_cast<VxSlotFunction>(&GunzipInPlace);
  }
  return nullptr;
}

const VxSlotFunction kTable[VxHostSlotCount] = {nullptr, reinterpret_cast<VxSlotFunction>(&GetSlotByName)};

}  // namespace

const VxSlotFunction* GunzipHostTable() { return kTable; }

}  // namespace vx::test
