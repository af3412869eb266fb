// Speed of the geometry nodes that build large meshes: a 256x256
// ElevationGrid and an Extrusion along a 500-point spine, each built from
// its fields and drawn into a 640x480 frame.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine/render/GeometryStage.h"
#include "engine/render/RenderTarget.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/ElevationGridNode.h"
#include "engine/nodes/ExtrusionNode.h"

namespace vx {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int32_t kGridSize = 256;
constexpr int32_t kSpinePoints = 500;

struct Frame {
  Frame() : pixels(static_cast<size_t>(kWidth) * kHeight * 4), desc{pixels.data(), kWidth, kHeight, 4, kWidth * 4},
            stage(&target) {
    target.SetBuffer(&desc);
    target.Clear(true, true);
    stage.BeginFrame();
    LightRecord ambient;
    ambient.on = 1;
    ambient.type = kAmbientLight;
    ambient.color = {1.0f, 1.0f, 1.0f};
    (void)stage.AddLight(&ambient);
    // Looks at the unit cube from above and a little behind.
    model.SetAxisRotation(0, 1.2f);
    model[12] = -0.5f;
    model[14] = -3.0f;
    stage.SetModelViewMatrix(&model);
    projection.SetPerspective(0.8f, 0.05f, 100.0f, 4.0f / 3.0f);
    stage.SetProjectionMatrix(&projection);
  }
  std::vector<uint8_t> pixels;
  RenderBufferDesc desc;
  CRenderTarget target;
  CGeometryStage stage;
  CMatrix4 model;
  CMatrix4 projection;
};

template <typename T>
void SetList(CNode& node, const char* field, std::vector<T> elements) {
  const MF<T> value{static_cast<int32_t>(elements.size()), elements.data()};
  node.SetField(field, &value);
}

CNodeRef MakeGrid() {
  CNodeRef node = NodeFactory("ElevationGrid", {});
  std::vector<float> heights(static_cast<size_t>(kGridSize) * kGridSize);
  for (size_t i = 0; i < heights.size(); ++i) heights[i] = 0.1f * std::sin(0.05f * static_cast<float>(i));
  const int32_t size = kGridSize;
  const float spacing = 1.0f / (kGridSize - 1);
  node->SetField("xDimension", &size);
  node->SetField("zDimension", &size);
  node->SetField("xSpacing", &spacing);
  node->SetField("zSpacing", &spacing);
  SetList(*node.Get(), "height", std::move(heights));
  return node;
}

CNodeRef MakeSweep() {
  CNodeRef node = NodeFactory("Extrusion", {});
  std::vector<SFVec3f> spine;
  for (int32_t j = 0; j < kSpinePoints; ++j) {
    const float a = 0.05f * static_cast<float>(j);
    spine.push_back({0.5f + 0.4f * std::cos(a), static_cast<float>(j) / kSpinePoints, 0.5f + 0.4f * std::sin(a)});
  }
  SetList(*node.Get(), "spine", std::move(spine));
  SetList<SFVec2f>(*node.Get(), "scale", {{0.05f, 0.05f}});
  return node;
}

// Makes the node from its fields and builds its mesh, every iteration.
template <typename Node>
void BuildMesh(benchmark::State& state, CNodeRef (*make)()) {
  for (auto _ : state) {
    CNodeRef node = make();
    node->Traverse(RenderPass::Frame, nullptr);
    benchmark::DoNotOptimize(static_cast<Node&>(*node.Get()).GetMesh());
  }
}

// Draws a mesh built once, into a cleared frame every iteration.
template <typename Node>
void DrawMesh(benchmark::State& state, CNodeRef (*make)()) {
  Frame frame;
  CNodeRef node = make();
  node->Traverse(RenderPass::Frame, nullptr);
  auto& geometry = static_cast<Node&>(*node.Get());
  for (auto _ : state) {
    frame.target.Clear(true, true);
    geometry.Draw(frame.stage);
  }
}

void BuildElevationGrid(benchmark::State& state) { BuildMesh<CElevationGridNode>(state, MakeGrid); }
void DrawElevationGrid(benchmark::State& state) { DrawMesh<CElevationGridNode>(state, MakeGrid); }
void BuildExtrusion(benchmark::State& state) { BuildMesh<CExtrusionNode>(state, MakeSweep); }
void DrawExtrusion(benchmark::State& state) { DrawMesh<CExtrusionNode>(state, MakeSweep); }

BENCHMARK(BuildElevationGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawElevationGrid)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildExtrusion)->Unit(benchmark::kMillisecond);
BENCHMARK(DrawExtrusion)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vx
