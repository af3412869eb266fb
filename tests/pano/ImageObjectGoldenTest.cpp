// A world with an image object on a quad that faces the viewer and two over
// the frame (one keyed, one cropped and stretched), drawn at 32 bits and
// compared with a golden image in tests/data/nodes.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "engine/world/ViewContext.h"
#include "platform/HeadlessBackend.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/nodes/NodeTestSupport.h"
#include "tests/platform/TestEnvironment.h"
#include "tests/render/GoldenImage.h"

namespace vx::test {
namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kFrames = 4;
constexpr int kTolerance = 2;

// Four quadrants, so that a turned or mirrored picture shows.
std::array<uint8_t, 3> Quadrants(int x, int y) {
  const bool right = x >= 8, bottom = y >= 8;
  if (!right && !bottom) return {40, 40, 220};
  if (right && !bottom) return {40, 200, 40};
  if (!right) return {220, 60, 40};
  return {30, 220, 230};
}

// A ring of orange on the key colour (pure blue), with a gradient inside.
std::array<uint8_t, 3> Ring(int x, int y) {
  const int dx = x - 12, dy = y - 8;
  const int distance = dx * dx + dy * dy;
  if (distance > 64) return {255, 0, 0};
  if (distance > 36) return {0, 140, 255};
  return {static_cast<uint8_t>(x * 10), static_cast<uint8_t>(y * 15), 90};
}

TEST(ImageObjectGolden, AQuadInTheWorldAndTwoPicturesOverTheFrame) {
  Headless().SetScreenDepth(32);
  TemporaryFolder folder("vximobgold");
  const std::string quadrants = folder.Write("quadrants.bmp", Bmp24(16, 16, Quadrants));
  const std::string ring = folder.Write("ring.bmp", Bmp24(24, 16, Ring));
  const std::string scene =
      "Viewpoint { position 0 0 8 }\n"
      "Transform { translation -1 0 0 rotation 0 1 0 0.6 children\n"
      "  WorldIMob { filename \"" +
      quadrants +
      "\" type \"PICT\" width 4 height 3 } }\n"
      "ScreenIMob { filename \"" +
      ring +
      "\" alignment \"TOP_RIGHT\" blueScreen 0 0 1 }\n"
      "Transform { translation 6 -4 0 scale 2 2 1 children\n"
      "  ScreenIMob { filename \"" +
      quadrants + "\" alignment \"BOTTOM_LEFT\" texCoords [ 4 4 16 12 ] } }\n";

  DepthFrame frame(kWidth, kHeight, 32);
  CViewContext view{WindowHandle::None, 0};
  view.SetFrameBuffer(frame.map);
  auto world = ReadWorld(scene);
  world->RenderView(RenderPass::Activate, &view);
  for (int i = 0; i < kFrames; ++i) world->RenderFrame(&view);

  ExpectGoldenImage("nodes/image_objects_32.png", kWidth, kHeight, AsXrgb(frame.map, view.GetColorTable()), kTolerance);
  world->RenderView(RenderPass::Deactivate, &view);
  Headless().Reset();
}

}  // namespace
}  // namespace vx::test
