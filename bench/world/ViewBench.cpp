// Frames per second of a scene view's tick (navigation, the world's frame,
// presenting into the window), 32 bits per pixel: a lit world of about
// 10,000 triangles (a 72 x 72 ElevationGrid seen from above, 640 x 480, lit
// by a DirectionalLight and the headlight); and at 1920 x 1080 the sample
// world, the sample panorama and a Background of colour bands alone, the
// last two with the camera turning and with it still.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"
#include "engine/interface/SceneFile.h"
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

constexpr int kFrameWidth = 1920;
constexpr int kFrameHeight = 1080;
// Frames drawn before the timing: pictures decoded, panoramas bound, a still
// camera's frame kept.
constexpr int kSettleTicks = 20;
// How far the camera turns each frame while it turns (radians).
constexpr float kTurnStep = 0.004f;

constexpr const char* kBandsWorld =
    "#VRML V2.0 utf8\n"
    "Background {\n"
    "  skyColor [ 0.1 0.2 0.6, 0.4 0.6 0.9, 0.8 0.9 1 ]  skyAngle [ 0.9 1.5 ]\n"
    "  groundColor [ 0.1 0.15 0.05, 0.3 0.4 0.2, 0.5 0.6 0.3 ]  groundAngle [ 0.8 1.4 ]\n"
    "}\n";

// Ticks the view of a loaded world: the camera turning by kTurnStep a frame
// with `turning`, else left where the world put it.
void TickWorld(benchmark::State& state, CBrowser* world, bool turning) {
  const WindowHandle window = MakeBenchWindow(kFrameWidth, kFrameHeight);
  {
    CSceneView view(window);
    view.AttachBrowser(world);
    for (int i = 0; i < kSettleTicks; ++i) view.Tick();
    // A frame left black would time nothing worth timing (the loop below
    // then runs no iteration).
    const std::optional<Frame> settled = Headless().LastFrame(window);
    if (!settled || settled->At(kFrameWidth / 2, kFrameHeight / 2) == 0)
      state.SkipWithError("the settled frame shows nothing in its centre");
    CViewContext* context = view.GetContext();
    float pitch = 0, yaw = 0, roll = 0;
    context->GetOrientation(&pitch, &yaw, &roll);
    for (auto _ : state) {
      if (turning) {
        yaw += kTurnStep;
        context->SetOrientation(pitch, yaw, roll, false);
      }
      view.Tick();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  }
  DestroyWindow(window);
}

void TickWorldFile(benchmark::State& state, const char* file, bool turning) {
  SceneHandle scene;
  char path[VX_TEXT_BUFFER_SIZE] = {};
  char error[VX_TEXT_BUFFER_SIZE] = {};
  std::snprintf(path, sizeof path, "%s/%s", VX_WORLDS_DIR, file);
  if (LoadSceneFile(&scene, path, error) != EngineOk) {
    state.SkipWithError(error);
    return;
  }
  TickWorld(state, scene.world.get(), turning);
}

// The whole engine frame of the sample world (animated, lit, textured where
// it is).
void BM_TickShowcase(benchmark::State& state) { TickWorldFile(state, "showcase.wrl", false); }
BENCHMARK(BM_TickShowcase)->Unit(benchmark::kMillisecond)->UseRealTime();

// The sample panorama: a sphere Vista over a 2:1 picture. Argument 1: the
// camera turns.
void BM_TickPanorama(benchmark::State& state) { TickWorldFile(state, "panorama.wrl", state.range(0) != 0); }
BENCHMARK(BM_TickPanorama)->ArgName("turning")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// A Background of sky and ground bands, nothing in front of it. Argument 1:
// the camera turns.
void BM_TickBands(benchmark::State& state) {
  CBrowser world;
  CSceneInputStream stream = CSceneInputStream::FromText(kBandsWorld);
  CSceneReader reader(stream);
  if (!reader.ReadScene(&world.GetScene())) {
    state.SkipWithError(reader.GetMessage().c_str());
    return;
  }
  TickWorld(state, &world, state.range(0) != 0);
}
BENCHMARK(BM_TickBands)->ArgName("turning")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vx
