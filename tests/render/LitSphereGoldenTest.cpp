// A lit, smooth-shaded sphere rendered at 640x480 in 16 and 32 bits and
// compared with golden images in tests/data/render. Set VX_UPDATE_GOLDEN=1
// to write new golden images (and look at them before committing them); on
// a mismatch the rendered image is written next to the test binary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include "GeometryTestSupport.h"
#include "engine/render/MeshBuffer.h"
#include "platform/Png.h"
#include "tests/platform/OwnPng.h"

namespace vx {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A unit sphere of `segments` around and `bands` from pole to pole, with
// its own normals.
void BuildSphere(CMeshBuffer& mesh, int segments, int bands) {
  mesh.SetVertexCount((segments + 1) * (bands + 1));
  for (int b = 0; b <= bands; ++b) {
    float theta = std::numbers::pi_v<float> * static_cast<float>(b) / static_cast<float>(bands);
    for (int s = 0; s <= segments; ++s) {
      float phi = 2.0f * std::numbers::pi_v<float> * static_cast<float>(s) / static_cast<float>(segments);
      CVec3f p{std::sin(theta) * std::sin(phi), std::cos(theta), std::sin(theta) * std::cos(phi)};
      int i = b * (segments + 1) + s;
      mesh.SetVertex(i, p);
      mesh.SetNormal(i, p);
    }
  }
  mesh.SetPolygonCount(segments * bands);
  for (int b = 0; b < bands; ++b) {
    for (int s = 0; s < segments; ++s) {
      int i = b * (segments + 1) + s;
      MeshPolygon quad;
      quad.vertexCount = 4;
      quad.vertices = {i, i + segments + 1, i + segments + 2, i + 1};
      mesh.SetPolygon(b * segments + s, quad);
    }
  }
}

std::vector<uint32_t> RenderLitSphere(int bytesPerPixel) {
  test::StageFrame f(kWidth, kHeight, bytesPerPixel);
  f.target.cullMode = kCullNone;
  CGeometryStage& stage = f.stage;
  stage.eye = {0, 0, 4};
  stage.lookAt = {0, 0, 0};
  stage.BeginFrame();
  CMatrix4 camera;
  camera.SetPerspective(0.8f, 0.05f, 20000.0f, static_cast<float>(kWidth) / kHeight);
  CMatrix4 view;
  view.SetTranslation(0, 0, -4);
  camera.PreMultiply(view);
  stage.SetProjectionMatrix(&camera);

  LightRecord sun = test::Light(kDirectionalLight, {0.8f, 0.8f, 0.7f}, {1, 1, 2});
  LightRecord lamp = test::Light(kPointLight, {0.3f, 0.3f, 0.7f}, {-3, 2, 3});
  lamp.attenuation = {1.0f, 0.05f, 0.0f};
  lamp.radius = 20.0f;
  LightRecord ambient = test::Light(kAmbientLight, {0.1f, 0.1f, 0.1f});
  for (const LightRecord* light : {&sun, &lamp, &ambient}) (void)stage.AddLight(light);

  MaterialRecord material;
  material.diffuse = {0.9f, 0.5f, 0.2f};
  material.specularColor = {0.6f, 0.6f, 0.6f};
  stage.SetMaterial(&material);
  CMatrix4 model;
  model.SetAxisRotation(1, 0.4f);
  stage.SetModelViewMatrix(&model);

  CMeshBuffer sphere;
  BuildSphere(sphere, 32, 16);
  sphere.Draw(&stage, true, -1);

  std::vector<uint32_t> xrgb;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (bytesPerPixel == 4) {
        xrgb.push_back(f.Xrgb(x, y));
      } else {
        uint16_t p = f.At<uint16_t>(x, y);
        auto expand = [](uint32_t c) { return c << 3 | c >> 2; };
        xrgb.push_back(expand(p >> 10 & 31) << 16 | expand(p >> 5 & 31) << 8 | expand(p & 31));
      }
    }
  }
  return xrgb;
}

// Channel differences above `tolerance` may appear only on a few pixels
// (the silhouette, where coverage rules decide).
void CompareWithGolden(int bytesPerPixel, int tolerance) {
  std::string name = "lit_sphere_" + std::to_string(bytesPerPixel * 8) + ".png";
  std::string golden = std::string(VX_TEST_DATA_DIR) + "/render/" + name;
  std::vector<uint32_t> image = RenderLitSphere(bytesPerPixel);
  if (std::getenv("VX_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePng(golden, kWidth, kHeight, image));
  }

  std::vector<uint32_t> expected = test::ReadOwnPng(golden, kWidth, kHeight);
  ASSERT_EQ(expected.size(), image.size()) << "cannot read " << golden;
  int differing = 0;
  for (size_t i = 0; i < image.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      int a = static_cast<int>(image[i] >> shift & 0xFF);
      int b = static_cast<int>(expected[i] >> shift & 0xFF);
      if (std::abs(a - b) > tolerance) {
        ++differing;
        break;
      }
    }
  }
  bool matches = differing <= kWidth * kHeight / 1000;
  if (!matches) (void)WritePng(std::string(VX_TEST_BINARY_DIR) + "/" + name, kWidth, kHeight, image);
  EXPECT_TRUE(matches) << differing << " pixels differ from " << golden;
}

TEST(LitSphereGolden, ThirtyTwoBits) { CompareWithGolden(4, 2); }

TEST(LitSphereGolden, SixteenBits) { CompareWithGolden(2, 9); }

}  // namespace
}  // namespace vx
