// A world of sky and ground bands behind a quad, looked at slightly upwards,
// drawn at 32 and 16 bits and compared with golden images in tests/data/nodes.
#include <gtest/gtest.h>

#include <string>

#include "NodeTestSupport.h"
#include "engine/world/ViewContext.h"
#include "platform/HeadlessBackend.h"
#include "platform/Random.h"
#include "tests/render/GoldenImage.h"

namespace vx::test {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kFrames = 4;
constexpr int kTolerance = 2;

const char* const kSkyAndGround =
    "Viewpoint { position 0 0 5 orientation 1 0 0 0.25 }\n"
    "Background {\n"
    "  skyColor [ 0.05 0.1 0.4, 0.3 0.5 0.9, 0.95 0.9 0.8 ] skyAngle [ 0.9, 1.5 ]\n"
    "  groundColor [ 0.1 0.08 0.05, 0.3 0.45 0.15, 0.55 0.6 0.35 ] groundAngle [ 1.0, 1.45 ]\n"
    "}\n"
    "Shape { appearance Appearance { material Material { diffuseColor 0.9 0.3 0.2 } }"
    " geometry IndexedFaceSet { coord Coordinate { point [ -1 -0.5 0, 1 -0.5 0, 1 0.5 0, -1 0.5 0 ] }"
    " coordIndex [ 0 1 2 3 -1 ] } }\n";

class BackgroundGolden : public ::testing::TestWithParam<int> {
 protected:
  ~BackgroundGolden() override { Headless().Reset(); }
};

TEST_P(BackgroundGolden, SkyAndGroundBandsBehindAQuad) {
  const int depth = GetParam();
  Headless().SetScreenDepth(depth);
  SeedRandom(1);
  DepthFrame frame(kWidth, kHeight, depth);
  CViewContext view{WindowHandle::None, 0};
  view.SetFrameBuffer(frame.map);
  auto world = ReadWorld(kSkyAndGround);
  world->RenderView(RenderPass::Activate, &view);
  for (int i = 0; i < kFrames; ++i) world->RenderFrame(&view);

  ExpectGoldenImage("nodes/background_bands_" + std::to_string(depth) + ".png", kWidth, kHeight,
                    AsXrgb(frame.map, view.GetColorTable()), kTolerance);
  world->RenderView(RenderPass::Deactivate, &view);
}

INSTANTIATE_TEST_SUITE_P(Depths, BackgroundGolden, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

}  // namespace
}  // namespace vx::test
