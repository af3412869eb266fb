// Frames per second of a scene view's tick (navigation, the world's frame,
// presenting into the window): a lit world of about 10,000 triangles (a
// 72 x 72 ElevationGrid seen from above, 640 x 480, lit by a DirectionalLight
// and the headlight), and the sample world at 1920 x 1080; 32 bits per pixel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"
#include "engine/world/SceneFile.h"
#include "engine/world/SceneHandle.h"
#include "engine/world/SceneView.h"
#include "platform/HeadlessBackend.h"
#include "platform/Numbers.h"
#include "platform/Window.h"

namespace vx {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kGridSize = 72;

std::string GridWorld() {
  std::string text =
      "#VRML V2.0 utf8\n"
      "Transform { translation -3.55 -2.5 -11 children [\n"
      "  DirectionalLight { direction -0.3 -1 -0.5 intensity 0.8 }\n"
      "  Shape {\n"
      "  appearance Appearance { material Material { diffuseColor 0.5 0.7 0.3 } }\n"
      "  geometry ElevationGrid { xDimension 72 zDimension 72 xSpacing 0.1 zSpacing 0.1 height [\n";
  for (int z = 0; z < kGridSize; ++z) {
    for (int x = 0; x < kGridSize; ++x)
      text += FormatString("%.3f ", 0.4 * std::sin(0.3 * x) * std::cos(0.2 * z));
    text += "\n";
  }
  text += "] } } ] }\n";
  return text;
}

intptr_t BenchWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProc(window, message, wParam, lParam);
}

// A visible headless window on a 32-bit screen.
WindowHandle MakeBenchWindow(int width, int height) {
  Headless().SetScreenDepth(32);
  (void)RegisterWindowClass({"ViewBenchWindow", &BenchWindowProc});
  WindowDesc desc;
  desc.className = "ViewBenchWindow";
  desc.style = kWindowVisible;
  desc.width = width;
  desc.height = height;
  return CreateWindow(desc);
}

void BM_TickView(benchmark::State& state) {
  const WindowHandle window = MakeBenchWindow(kWidth, kHeight);

  CBrowser world;
  CSceneInputStream stream = CSceneInputStream::FromText(GridWorld());
  CSceneReader reader(stream);
  if (!reader.ReadScene(&world.GetScene())) {
    state.SkipWithError(reader.GetMessage().c_str());
    return;
  }
  {
    CSceneView view(window);
    view.AttachBrowser(&world);
    view.SetFlags(kViewCaptureMouse);
    view.Tick();
    view.GetContext()->SetOrientation(-0.35f, 3.1415927f, 0.0f, false);
    for (auto _ : state) view.Tick();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  DestroyWindow(window);
}
BENCHMARK(BM_TickView)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole engine frame of the sample world (animated, lit, textured where
// it is) in a 1920 x 1080 window at 32 bits per pixel.
void BM_TickShowcase(benchmark::State& state) {
  const WindowHandle window = MakeBenchWindow(1920, 1080);

  SceneHandle scene;
  char path[VX_TEXT_BUFFER_SIZE] = {};
  char error[VX_TEXT_BUFFER_SIZE] = {};
  std::snprintf(path, sizeof path, "%s", VX_SHOWCASE_WORLD);
  if (LoadSceneFile(&scene, path, error) != EngineOk) {
    state.SkipWithError(error);
    DestroyWindow(window);
    return;
  }
  {
    CSceneView view(window);
    view.AttachBrowser(scene.world.get());
    view.Tick();
    for (auto _ : state) view.Tick();
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  DestroyWindow(window);
}
BENCHMARK(BM_TickShowcase)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vx
