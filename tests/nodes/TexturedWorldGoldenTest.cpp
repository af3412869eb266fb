// A world of quads textured with a JPEG, a GIF and a PixelTexture, plain in
// the top row and through a TextureTransform in the bottom one, drawn at 32,
// 16 and 8 bits and compared with golden images in tests/data/nodes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "engine/world/ViewContext.h"
#include "platform/HeadlessBackend.h"
#include "platform/Random.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/platform/TestEnvironment.h"
#include "tests/render/GoldenImage.h"

namespace vx::test {
namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 160;
constexpr int kLoadFrames = 20;
constexpr int kTolerance = 2;

// Diagonal stripes of the four colours of the test table, two texels wide.
std::string StripedGif() {
  constexpr int kSide = 8;
  GifFrame frame{0, 0, kSide, kSide, {}};
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) frame.indices.push_back(static_cast<uint8_t>((x / 2 + y / 2) % 4));
  return MakeGif(kSide, kSide, {frame}, TestTable(4));
}

// A 4 x 4 checkerboard of blue and yellow.
const std::string kCheckerboard =
    "PixelTexture { image 4 4 3 0x2040E0 0xF0D020 0x2040E0 0xF0D020 0xF0D020 0x2040E0 0xF0D020 0x2040E0"
    " 0x2040E0 0xF0D020 0x2040E0 0xF0D020 0xF0D020 0x2040E0 0xF0D020 0x2040E0 }";

const std::string kTurned = " textureTransform TextureTransform { rotation 0.4 scale 2 2 center 0.5 0.5 }";

std::string Quad(float x, float y, const std::string& texture, const std::string& transform) {
  return "Transform { translation " + std::to_string(x) + " " + std::to_string(y) +
         " 0 children Shape { appearance Appearance { material Material { diffuseColor 1 1 1 } texture " + texture +
         transform +
         " } geometry IndexedFaceSet { coord Coordinate { point [ -0.8 -0.8 0, 0.8 -0.8 0, 0.8 0.8 0, -0.8 0.8 0 ] }"
         " texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1 ] } coordIndex [ 0 1 2 3 -1 ] } } }\n";
}

class TexturedWorldGolden : public ::testing::TestWithParam<int> {
 protected:
  ~TexturedWorldGolden() override { Headless().Reset(); }

  TemporaryFolder folder{"vxtexworld"};
};

TEST_P(TexturedWorldGolden, JpegGifAndPixelTexturesPlainAndTransformed) {
  const int depth = GetParam();
  Headless().SetScreenDepth(depth);
  SeedRandom(1);  // the dither noise of 16-bit pictures
  const std::string jpeg = folder.Write("gradient.jpg", CompressJpeg(Gradient(32, 32), JpegKind::Baseline));
  const std::string gif = folder.Write("stripes.gif", StripedGif());
  std::string body = "Viewpoint { position 0 0 5 }\n";
  for (int row = 0; row < 2; ++row) {
    const float y = row == 0 ? 0.9f : -0.9f;
    const std::string transform = row == 0 ? "" : kTurned;
    body += Quad(-1.8f, y, "ImageTexture { url \"" + jpeg + "\" }", transform);
    body += Quad(0.0f, y, "ImageTexture { url \"" + gif + "\" }", transform);
    body += Quad(1.8f, y, kCheckerboard, transform);
  }

  DepthFrame frame(kWidth, kHeight, depth);
  CViewContext view{WindowHandle::None, 0};
  view.SetFrameBuffer(frame.map);
  auto world = ReadWorld(body);
  world->RenderView(RenderPass::Activate, &view);
  for (int i = 0; i < kLoadFrames; ++i) world->RenderFrame(&view);

  ExpectGoldenImage("nodes/textured_world_" + std::to_string(depth) + ".png", kWidth, kHeight,
                    AsXrgb(frame.map, view.GetColorTable()), kTolerance);
  world->RenderView(RenderPass::Deactivate, &view);
}

INSTANTIATE_TEST_SUITE_P(Depths, TexturedWorldGolden, ::testing::Values(32, 16, 8),
                         [](const ::testing::TestParamInfo<int>& info) { return "Bits" + std::to_string(info.param); });

}  // namespace
}  // namespace vx::test
