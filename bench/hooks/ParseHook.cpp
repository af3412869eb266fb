// vx_parse_hook WORLD.wrl: reads one world through the engine's own load
// path (the one hosts call) and prints how long that took, for the peer
// benchmark kit. Prints "read_s=<seconds> free_s=<seconds> ok=<0|1>";
// process start-up is outside read_s. A file the reader refuses (beyond the
// per-file node limit, say) exits 0 with ok=0 and the reason on stderr; its
// read_s then covers only the part read.
#include <chrono>
#include <cstdio>

#include <vantessel/EngineResult.h>

#include "engine/interface/SceneFile.h"
#include "engine/world/SceneHandle.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s WORLD.wrl\n", argv[0]);
    return 2;
  }
  char path[VX_TEXT_BUFFER_SIZE] = {};
  char error[VX_TEXT_BUFFER_SIZE] = {};
  std::snprintf(path, sizeof path, "%s", argv[1]);

  vx::SceneHandle scene;
  const auto readStart = std::chrono::steady_clock::now();
  const EngineResult result = vx::LoadSceneFile(&scene, path, error);
  const double readSeconds = SecondsSince(readStart);
  if (result != EngineOk) std::fprintf(stderr, "vx_parse_hook: %s: %s\n", argv[1], error);

  const auto freeStart = std::chrono::steady_clock::now();
  scene.world.reset();
  const double freeSeconds = SecondsSince(freeStart);
  std::printf("read_s=%.6f free_s=%.6f ok=%d\n", readSeconds, freeSeconds, result == EngineOk ? 1 : 0);
  return 0;
}
