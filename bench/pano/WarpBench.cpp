// Frames per second of the sphere and cylinder warpers at 640 x 480 and
// 1920 x 1080, 16 and 32 bits, from a 4096 x 2048 picture: a level view
// and one looking up past the pole, at the nearest (512) and bilinear
// (1024) quality classes.
#include <benchmark/benchmark.h>

#include <utility>

#include "bench/pano/WarpScene.h"
#include "engine/pano/PanoRendererFactory.h"

namespace vx {
namespace {

constexpr int32_t kPictureWidth = 4096, kPictureHeight = 2048;

const bench::GuardedPicture& Picture(int32_t bytesPerPixel) {
  auto make = [](int32_t size) {
    bench::GuardedPicture picture(kPictureWidth, kPictureHeight, size);
    for (int32_t y = 0; y < kPictureHeight; ++y) {
      for (int32_t x = 0; x < kPictureWidth; ++x)
        picture.Set(x, y, static_cast<uint32_t>(x * 255 / kPictureWidth), static_cast<uint32_t>(y * 255 / kPictureHeight),
                    static_cast<uint32_t>((x ^ y) & 0xFF));
    }
    picture.FillGuards();
    return picture;
  };
  static const bench::GuardedPicture picture16 = make(2);
  static const bench::GuardedPicture picture32 = make(4);
  return bytesPerPixel == 2 ? picture16 : picture32;
}

// Arguments: projection, width, height, bytes per pixel, resolution, pitch.
void BM_Warp(benchmark::State& state) {
  const auto projection = static_cast<int16_t>(state.range(0));
  bench::WarpScene scene(Picture(static_cast<int32_t>(state.range(3))).Info(), projection,
                         static_cast<int32_t>(state.range(1)), static_cast<int32_t>(state.range(2)));
  if (!scene.Ready()) {
    state.SkipWithError("the context refused the scene");
    return;
  }
  scene.Look(90, 30, static_cast<double>(state.range(5)), static_cast<int16_t>(state.range(4)));
  for (auto _ : state) {
    if (scene.DrawFrame() != 0) {
      state.SkipWithError("the frame was refused");
      return;
    }
    benchmark::DoNotOptimize(scene.Output().data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"proj", "w", "h", "bytes", "res", "pitch"});
  for (const int64_t projection : {1, 2})
    for (const auto& [w, h] : {std::pair<int64_t, int64_t>{640, 480}, {1920, 1080}})
      for (const int64_t bytes : {2, 4})
        for (const int64_t resolution : {512, 1024})
          for (const int64_t pitch : {0, 20}) b->Args({projection, w, h, bytes, resolution, pitch});
}
BENCHMARK(BM_Warp)->Apply(Cases)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vx
