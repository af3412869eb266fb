// Worlds with a Background drawn at 32, 16 and 8 bits and compared with
// golden images in tests/data/nodes, as the system's worlds draw them (the
// last ground colour reaching the horizon): sky and ground bands behind a
// quad, and
// a cube of six pictures made here, each its own colour with a white mark
// in its top left corner, so that a face in the wrong place, mirrored or
// upside down shows at once.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "engine/world/ViewContext.h"
#include "platform/HeadlessBackend.h"
#include "platform/Random.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/platform/TestEnvironment.h"
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

// A face of the cube: its url field and colour (B, G, R).
struct CubeFace {
  const char* field;
  std::array<uint8_t, 3> bgr;
};
constexpr std::array<CubeFace, 6> kCubeFaces = {{
    {"frontUrl", {40, 40, 220}},    // red
    {"rightUrl", {40, 200, 40}},    // green
    {"backUrl", {220, 60, 40}},     // blue
    {"leftUrl", {40, 210, 230}},    // yellow
    {"topUrl", {220, 200, 60}},     // cyan
    {"bottomUrl", {200, 50, 200}},  // magenta
}};

// The face's colour with a white square in the top left quarter and a dark
// bar along the bottom edge.
std::string MarkedFace(const std::array<uint8_t, 3>& bgr, int side) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const bool mark = x >= side / 8 && x < side * 3 / 8 && y >= side / 8 && y < side * 3 / 8;
      const bool bar = y >= side * 7 / 8;
      if (mark) {
        PushTriple(pixels, 255, 255, 255);
      } else if (bar) {
        PushTriple(pixels, bgr[0] / 4, bgr[1] / 4, bgr[2] / 4);
      } else {
        PushTriple(pixels, bgr[0], bgr[1], bgr[2]);
      }
    }
  return MakeBmp(BmpSpec{side, side, 24, false, 0, {}, pixels});
}

class BackgroundGolden : public ::testing::TestWithParam<int> {
 protected:
  ~BackgroundGolden() override { Headless().Reset(); }

  void Draw(const std::string& body, const std::string& golden) {
    const int depth = GetParam();
    Headless().SetScreenDepth(depth);
    SeedRandom(1);
    DepthFrame frame(kWidth, kHeight, depth);
    CViewContext view{WindowHandle::None, 0};
    view.SetFrameBuffer(frame.map);
    auto world = ReadWorld(body, WorldConvention::kSystem);
    world->RenderView(RenderPass::Activate, &view);
    for (int i = 0; i < kFrames; ++i) world->RenderFrame(&view);
    ExpectGoldenImage("nodes/" + golden + "_" + std::to_string(depth) + ".png", kWidth, kHeight,
                      AsXrgb(frame.map, view.GetColorTable()), kTolerance);
    world->RenderView(RenderPass::Deactivate, &view);
  }

  // A wide view of the cube along the camera's orientation; faces of
  // different sizes all fill their tiles.
  std::string CubeWorld(const char* orientation) {
    std::string body = "Viewpoint { fieldOfView 1.6 orientation " + std::string(orientation) + " }\nBackground {";
    int side = 16;
    for (const CubeFace& face : kCubeFaces) {
      const std::string path = folder_.Write(std::string(face.field) + ".bmp", MarkedFace(face.bgr, side));
      body += std::string(" ") + face.field + " \"" + path + "\"";
      side += 8;
    }
    return body + " }\n";
  }

 private:
  TemporaryFolder folder_{"vxbgcube"};
};

TEST_P(BackgroundGolden, SkyAndGroundBandsBehindAQuad) { Draw(kSkyAndGround, "background_bands"); }

// Tilted up: the front face below, the top one above it with its bottom
// edge (the dark bar) on the front's top edge, the left and right faces at
// the sides.
TEST_P(BackgroundGolden, CubeSeenFromTheFrontLookingUp) {
  Draw(CubeWorld("1 0 0 0.7"), "background_cube_front");
}

// Turned round to the left past the left face and tilted down: the back face
// with the left one on its right, and the bottom below them.
TEST_P(BackgroundGolden, CubeSeenFromBehindLookingDown) {
  Draw(CubeWorld("-0.0819 0.9657 0.2466 2.5206"), "background_cube_back");
}

INSTANTIATE_TEST_SUITE_P(Depths, BackgroundGolden, ::testing::Values(32, 16, 8),
                         [](const ::testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

}  // namespace
}  // namespace vx::test
