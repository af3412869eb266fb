// Frames per second of the sphere and cylinder warpers at 640 x 480 and
// 1920 x 1080, 16 and 32 bits, from a 4096 x 2048 picture: a level view
// and one looking up 20 degrees, at the nearest (512) and bilinear (1024)
// quality classes; and of the cube renderer from six 1024 x 1024 tiles.
// BM_WarpSeam looks across the sphere picture's seam, whose rows are read
// column by column; BM_WarpLarge draws an 8192 x 4096 picture, past what
// narrow table entries hold.
#include <benchmark/benchmark.h>

#include <utility>

#include "bench/pano/WarpScene.h"
#include "engine/pano/PanoRendererFactory.h"

namespace vx {
namespace {

constexpr int32_t kPictureWidth = 4096, kPictureHeight = 2048;
constexpr int32_t kLargeWidth = 8192, kLargeHeight = 4096;
constexpr int16_t kSphere = 1;

constexpr int32_t kCubeTile = 1024;
constexpr int16_t kCube = 3;

bench::GuardedPicture MakePicture(int32_t width, int32_t height, int32_t size) {
  bench::GuardedPicture picture(width, height, size);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x)
      picture.Set(x, y, static_cast<uint32_t>(x * 255 / width), static_cast<uint32_t>(y * 255 / height),
                  static_cast<uint32_t>((x ^ y) & 0xFF));
  }
  picture.FillGuards();
  return picture;
}

const bench::GuardedPicture& Picture(int16_t projection, int32_t bytesPerPixel) {
  static const bench::GuardedPicture picture16 = MakePicture(kPictureWidth, kPictureHeight, 2);
  static const bench::GuardedPicture picture32 = MakePicture(kPictureWidth, kPictureHeight, 4);
  static const bench::GuardedPicture cube16 = MakePicture(kCubeTile, 6 * kCubeTile, 2);
  static const bench::GuardedPicture cube32 = MakePicture(kCubeTile, 6 * kCubeTile, 4);
  if (projection == kCube) return bytesPerPixel == 2 ? cube16 : cube32;
  return bytesPerPixel == 2 ? picture16 : picture32;
}

void DrawFrames(benchmark::State& state, const MediaImageInfo& picture, int16_t projection, int32_t width,
                int32_t height, double yaw, double pitch, int16_t resolution) {
  bench::WarpScene scene(picture, projection, width, height);
  if (!scene.Ready()) {
    state.SkipWithError("the context refused the scene");
    return;
  }
  scene.Look(90, yaw, pitch, resolution);
  for (auto _ : state) {
    if (scene.DrawFrame() != 0) {
      state.SkipWithError("the frame was refused");
      return;
    }
    benchmark::DoNotOptimize(scene.Output().data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Arguments: projection, width, height, bytes per pixel, resolution, pitch.
void BM_Warp(benchmark::State& state) {
  const auto projection = static_cast<int16_t>(state.range(0));
  DrawFrames(state, Picture(projection, static_cast<int32_t>(state.range(3))).Info(), projection,
             static_cast<int32_t>(state.range(1)), static_cast<int32_t>(state.range(2)), 30,
             static_cast<double>(state.range(5)), static_cast<int16_t>(state.range(4)));
}

// Arguments: resolution, pitch; 1920 x 1080 at 32 bits.
void BM_WarpSeam(benchmark::State& state) {
  DrawFrames(state, Picture(kSphere, 4).Info(), kSphere, 1920, 1080, 180, static_cast<double>(state.range(1)),
             static_cast<int16_t>(state.range(0)));
}

void BM_WarpLarge(benchmark::State& state) {
  static const bench::GuardedPicture large = MakePicture(kLargeWidth, kLargeHeight, 4);
  DrawFrames(state, large.Info(), kSphere, 1920, 1080, 30, static_cast<double>(state.range(1)),
             static_cast<int16_t>(state.range(0)));
}

void SeamAndLargeCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"res", "pitch"});
  for (const int64_t resolution : {512, 1024})
    for (const int64_t pitch : {0, 20}) b->Args({resolution, pitch});
}
BENCHMARK(BM_WarpSeam)->Apply(SeamAndLargeCases)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WarpLarge)->Apply(SeamAndLargeCases)->Unit(benchmark::kMicrosecond);

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"proj", "w", "h", "bytes", "res", "pitch"});
  for (const int64_t projection : {1, 2, 3})
    for (const auto& [w, h] : {std::pair<int64_t, int64_t>{640, 480}, {1920, 1080}})
      for (const int64_t bytes : {2, 4})
        for (const int64_t resolution : {512, 1024})
          for (const int64_t pitch : {0, 20}) {
            // The cube has one quality: its faces copy the nearest texel.
            if (projection == kCube && resolution != 512) continue;
            b->Args({projection, w, h, bytes, resolution, pitch});
          }
}
BENCHMARK(BM_Warp)->Apply(Cases)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vx
