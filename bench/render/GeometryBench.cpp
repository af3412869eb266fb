// Speed of the geometry stage: vertices transformed and lit per second with
// 2 and 8 lights, and lit 50-pixel triangles per second drawn from a mesh,
// with and without vertex colours (goal: at least 1 M triangles a second on
// one core).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/render/GeometryStage.h"
#include "engine/render/MeshBuffer.h"
#include "engine/render/RenderTarget.h"

namespace vx {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Scene {
  explicit Scene(int bytesPerPixel, int lights)
      : pixels(static_cast<size_t>(kWidth) * kHeight * bytesPerPixel),
        desc{pixels.data(), kWidth, kHeight, bytesPerPixel, kWidth * bytesPerPixel},
        stage(&target) {
    target.SetBuffer(&desc);
    target.Clear(true, true);
    target.SetCulling({.mode = kCullNone});
    stage.BeginFrame();
    for (int i = 0; i < lights; ++i) {
      LightRecord light;
      light.on = 1;
      light.specular = 1;
      light.type = i % 2 == 0 ? kDirectionalLight : kPointLight;
      light.color = {0.3f, 0.3f, 0.3f};
      light.direction = {0.2f * static_cast<float>(i), 1.0f, 2.0f};
      light.attenuation = {1.0f, 0.1f, 0.0f};
      light.radius = 100.0f;
      (void)stage.AddLight(&light);
    }
  }
  std::vector<uint8_t> pixels;
  RenderBufferDesc desc;
  CRenderTarget target;
  CGeometryStage stage;
};

void TransformAndLight(benchmark::State& state) {
  Scene scene(4, static_cast<int>(state.range(0)));
  CMatrix4 model;
  model.SetAxisRotation(1, 0.3f);
  scene.stage.SetModelViewMatrix(&model);
  CMatrix4 projection;
  projection.SetPerspective(0.8f, 0.05f, 20000.0f, 4.0f / 3.0f);
  scene.stage.SetProjectionMatrix(&projection);
  constexpr int kVertices = 1024;
  std::vector<CVec3f> positions(kVertices);
  for (int i = 0; i < kVertices; ++i) positions[i] = {0.01f * static_cast<float>(i % 32), 0.01f * static_cast<float>(i / 32), -5.0f};
  VertexWork out;
  for (auto _ : state) {
    for (const CVec3f& p : positions) {
      scene.stage.TransformAndLightVertex(p, {0.0f, 0.6f, 0.8f}, &out, true, true);
      benchmark::DoNotOptimize(out);
    }
  }
  state.SetItemsProcessed(state.iterations() * kVertices);
}
BENCHMARK(TransformAndLight)->Arg(2)->Arg(8);

// A grid of right triangles with 10-pixel legs (50 pixels each) over the
// frame.
CMeshBuffer TriangleGrid() {
  constexpr int kColumns = kWidth / 10;
  constexpr int kRows = kHeight / 10;
  CMeshBuffer mesh;
  mesh.SetVertexCount((kColumns + 1) * (kRows + 1));
  for (int r = 0; r <= kRows; ++r) {
    for (int c = 0; c <= kColumns; ++c) {
      int i = r * (kColumns + 1) + c;
      mesh.SetVertex(i, {static_cast<float>(c) * 10.0f / (kWidth / 2) - 1.0f,
                         1.0f - static_cast<float>(r) * 10.0f / (kHeight / 2), 0.0f});
      mesh.SetNormal(i, {0.0f, 0.0f, 1.0f});
    }
  }
  mesh.SetPolygonCount(kColumns * kRows);
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      int i = r * (kColumns + 1) + c;
      MeshPolygon p;
      p.vertexCount = 3;
      p.vertices = {i, i + 1, i + kColumns + 1, 0};
      mesh.SetPolygon(r * kColumns + c, p);
    }
  }
  return mesh;
}

void DrawGrid(benchmark::State& state, CMeshBuffer& mesh) {
  Scene scene(static_cast<int>(state.range(0)), 2);
  for (auto _ : state) {
    scene.target.Clear(false, true);
    mesh.Draw(&scene.stage, true, -1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * mesh.PolygonCount());
}

// The grid smooth shaded with 2 lights.
void LitTriangles(benchmark::State& state) {
  CMeshBuffer mesh = TriangleGrid();
  DrawGrid(state, mesh);
}
BENCHMARK(LitTriangles)->Arg(2)->Arg(4);

// The same with a colour per vertex in place of the material's.
void LitColoredTriangles(benchmark::State& state) {
  CMeshBuffer mesh = TriangleGrid();
  if (!mesh.AddVertexColors()) state.SkipWithError("no room for the colours");
  for (int32_t i = 0; i < mesh.VertexCount(); ++i) mesh.SetColor(i, {0.2f, static_cast<float>(i % 7) / 7.0f, 0.8f});
  DrawGrid(state, mesh);
}
BENCHMARK(LitColoredTriangles)->Arg(2)->Arg(4);

}  // namespace
}  // namespace vx
