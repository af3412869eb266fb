// Fill rate of the span fillers per mode and pixel size on a 640 x 480
// target: full-screen polygons (each frame's rows freshly cleared, and drawn
// over an earlier polygon so every pixel is depth tested) and 50-pixel
// triangles.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/render/RenderTarget.h"

namespace vx {
namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Mode {
  const char* name;
  uint32_t bits;
};
constexpr Mode kModes[] = {
    {"flat", SpanMode::kFill},
    {"smooth", SpanMode::kFill | SpanMode::kSmooth},
    {"textured", SpanMode::kFill | SpanMode::kTextured},
    {"smooth_textured", SpanMode::kFill | SpanMode::kSmooth | SpanMode::kTextured},
    {"unlit_textured", SpanMode::kFill | SpanMode::kTextured | SpanMode::kUnlitTexture},
    {"keyed_textured", SpanMode::kFill | SpanMode::kTextured | SpanMode::kChromaKey},
    {"depth_only", SpanMode::kFill | SpanMode::kDepthOnly},
};

class Scene {
 public:
  explicit Scene(int bytesPerPixel)
      : pixels_(static_cast<size_t>(kWidth) * kHeight * bytesPerPixel),
        texels_(static_cast<size_t>(256) * 256 * bytesPerPixel) {
    for (size_t i = 0; i < texels_.size(); ++i) texels_[i] = static_cast<uint8_t>(i * 37 + (i >> 9));
    desc_ = {pixels_.data(), kWidth, kHeight, bytesPerPixel, kWidth * bytesPerPixel};
    texture_ = {texels_.data(), 256, 256, bytesPerPixel, 256 * bytesPerPixel};
    target_.SetBuffer(&desc_);
    target_.SetTexture(&texture_);
    target_.SetChromaKey(1, 1, 1);
    target_.SetCulling({.mode = kCullNone});
    std::vector<uint8_t> inverse(kInverseMap555Size, 5);
    inverse_ = inverse;
    target_.SetInverseMap(inverse_.data());
  }

  // Clip-space vertex at a screen position; w varies so texturing is in
  // perspective.
  static VertexWork Vertex(float sx, float sy, float z, float w, float s, float t, float shade) {
    VertexWork v;
    const float words[] = {(sx / (kWidth * 0.5f) - 1.0f) * w, (1.0f - sy / (kHeight * 0.5f)) * w, z * w, w,
                           shade, 1.0f - shade, 0.5f, s, t};
    std::copy(std::begin(words), std::end(words), v.v);
    return v;
  }

  void FullScreen(uint32_t mode, float z) {
    PolygonRecord poly;
    poly.count = 4;
    poly.vertex[0] = Vertex(0, 0, z, 1.0f, 0, 0, 0.2f);
    poly.vertex[1] = Vertex(kWidth, 0, z, 2.0f, 3, 0, 0.9f);
    poly.vertex[2] = Vertex(kWidth, kHeight, z, 2.0f, 3, 3, 0.6f);
    poly.vertex[3] = Vertex(0, kHeight, z, 1.0f, 0, 3, 0.3f);
    target_.FillPolygon(&poly, mode);
  }

  // Right triangles with legs of 10 pixels: 50 pixels each.
  void Triangles(uint32_t mode, int count, float z) {
    for (int i = 0; i < count; ++i) {
      const float x = static_cast<float>((i * 97) % (kWidth - 12)) + 0.3f;
      const float y = static_cast<float>((i * 61) % (kHeight - 12)) + 0.3f;
      PolygonRecord poly;
      poly.count = 3;
      poly.vertex[0] = Vertex(x, y, z, 1.0f, 0, 0, 0.3f);
      poly.vertex[1] = Vertex(x + 10, y, z, 1.1f, 1, 0, 0.8f);
      poly.vertex[2] = Vertex(x, y + 10, z, 1.2f, 0, 1, 0.5f);
      target_.FillPolygon(&poly, mode);
    }
  }

  CRenderTarget& target() { return target_; }

 private:
  std::vector<uint8_t> pixels_, texels_, inverse_;
  RenderBufferDesc desc_, texture_;
  CRenderTarget target_;
};

void Report(benchmark::State& state, double pixelsPerIteration) {
  state.counters["Mpixel/s"] = benchmark::Counter(pixelsPerIteration * static_cast<double>(state.iterations()) / 1e6,
                                                  benchmark::Counter::kIsRate);
}

void FullScreenFresh(benchmark::State& state) {
  const Mode& mode = kModes[state.range(0)];
  Scene scene(static_cast<int>(state.range(1)));
  state.SetLabel(mode.name);
  for (auto _ : state) {
    scene.target().Clear(false, true);
    scene.FullScreen(mode.bits, 0.5f);
  }
  Report(state, kWidth * kHeight);
}

void FullScreenTested(benchmark::State& state) {
  const Mode& mode = kModes[state.range(0)];
  Scene scene(static_cast<int>(state.range(1)));
  state.SetLabel(mode.name);
  float z = -0.9f;
  scene.target().Clear(false, true);
  for (auto _ : state) {
    scene.FullScreen(mode.bits, z);
    z += 1e-6f;
  }
  Report(state, kWidth * kHeight);
}

void Triangles50(benchmark::State& state) {
  const Mode& mode = kModes[state.range(0)];
  Scene scene(static_cast<int>(state.range(1)));
  state.SetLabel(mode.name);
  constexpr int kTriangles = 1000;
  float z = -0.9f;
  scene.target().Clear(false, true);
  for (auto _ : state) {
    scene.Triangles(mode.bits, kTriangles, z);
    z += 1e-6f;
  }
  Report(state, 50.0 * kTriangles);
}

void ModesAndSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"mode", "bytes"});
  for (int bytes : {4, 2, 1})
    for (int m = 0; m < static_cast<int>(std::size(kModes)); ++m) b->Args({m, bytes});
}

BENCHMARK(FullScreenFresh)->Apply(ModesAndSizes);
BENCHMARK(FullScreenTested)->Apply(ModesAndSizes);
BENCHMARK(Triangles50)->Apply(ModesAndSizes);

}  // namespace
}  // namespace vx
