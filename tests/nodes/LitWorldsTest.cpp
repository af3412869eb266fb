// Small lit worlds drawn in both conventions at 640x480, 32 bits: the
// standard's pixels follow VRML 2.0's lighting model, lit per vertex (where
// a highlight or a curve is finer than the vertices, as a VRML 2.0 browser
// lighting per pixel draws it only roughly), the system's are those this
// system has always drawn, but for normals under a non-uniform scale, which
// both carry by the inverse transpose.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "RenderedWorld.h"

namespace vx::test {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

constexpr const char* kSlopes =
    "Viewpoint { position 0 0 10 } Background { skyColor [ 0 0 0.3 ] }"
    " Shape { appearance Appearance { material Material { diffuseColor 0.6 0.6 0.6 } }"
    " geometry IndexedFaceSet { coord Coordinate { point [ -4.5 -1.5 0, -1.5 -1.5 0, -1.5 1.5 0, -4.5 1.5 0,"
    " -1.5 -1.5 0, 1.5 -1.5 0, 1.5 1.5 0, -1.5 1.5 0, 1.5 -1.5 0, 4.5 -1.5 0, 4.5 1.5 0, 1.5 1.5 0 ] }"
    " coordIndex [ 0 1 2 3 -1 4 5 6 7 -1 8 9 10 11 -1 ]"
    " normal Normal { vector [ 0 0 1, 0 0.6 0.8, 0.8 0 0.6 ] } normalPerVertex FALSE normalIndex [ 0 1 2 ] } }";

// Two boxes facing the eye, left and right, under the light given, with the
// appearances given; headlight off.
std::string TwoBoxes(const std::string& light, const std::string& left, const std::string& right,
                     const std::string& extra = "") {
  auto box = [](float x, const std::string& appearance) {
    return " Transform { translation " + std::to_string(x) + " 0 0 children Shape { appearance Appearance { " +
           appearance + " } geometry Box { size 2 2 0.1 } } }";
  };
  return "NavigationInfo { headlight FALSE } Viewpoint { position 0 0 10 } " + extra + light + box(-1.5f, left) +
         box(1.5f, right);
}

std::string WhiteTexture(const char* texel) {
  return std::string("material Material { diffuseColor 1 1 1 } texture PixelTexture { image 2 2 3 ") + texel + " " +
         texel + " " + texel + " " + texel + " }";
}

constexpr const char* kShininess =
    "NavigationInfo { headlight FALSE } Viewpoint { position 0 0 10 } Background { skyColor [ 0 0 0.3 ] }"
    " DirectionalLight { direction 0 0 -1 }"
    " Transform { translation -2.5 0 0 children Shape { appearance Appearance { material Material {"
    " diffuseColor 0 0 0 specularColor 1 1 1 shininess 0.01 } } geometry Sphere { radius 2 } } }"
    " Transform { translation 2.5 0 0 children Shape { appearance Appearance { material Material {"
    " diffuseColor 0 0 0 specularColor 1 1 1 shininess 1 } } geometry Sphere { radius 2 } } }";

constexpr const char* kScaledCylinder =
    "NavigationInfo { headlight FALSE } Viewpoint { position 0 0 10 } Background { skyColor [ 0 0 0.3 ] }"
    " DirectionalLight { direction 0 0 -1 }"
    " Transform { translation -2 0 0 scale 0.25 1 1 children Shape { appearance Appearance { material Material {"
    " diffuseColor 1 1 1 } } geometry Cylinder { radius 4 height 4 top FALSE bottom FALSE } } }"
    " Transform { translation 2 0 0 children Shape { appearance Appearance { material Material {"
    " diffuseColor 1 1 1 } } geometry Cylinder { radius 1 height 4 top FALSE bottom FALSE } } }";

struct Probe {
  int x, y;
  int r, g, b;
};

struct LitWorld {
  const char* name;
  std::string body;
  std::vector<Probe> standard;
  std::vector<Probe> system;  // as the system's worlds draw it
};

// Box centres: columns 233 (left) and 407 (right), row 240.
std::vector<LitWorld> LitWorldList() {
  const std::string red = "DirectionalLight { direction 0 0 -1 color 1 0 0 }";
  const std::string pink = "PointLight { location 0 0 5 color 1 0.5 0.5 ambientIntensity 1 }";
  const std::string white = "material Material { diffuseColor 1 1 1 }";
  return {
      {"headlight slopes, no ambient light, the sum clamped at the end",
       kSlopes,
       {{120, 240, 152, 152, 152}, {320, 240, 122, 122, 122}, {520, 240, 92, 92, 92}},
       {{120, 240, 152, 152, 152}, {320, 240, 152, 152, 152}, {520, 240, 152, 152, 152}}},
      {"ambientIntensity of the light and of the material",
       TwoBoxes("DirectionalLight { direction 0 0 1 ambientIntensity 1 }",
                "material Material { diffuseColor 0 1 0 ambientIntensity 1 }",
                "material Material { diffuseColor 0 1 0 ambientIntensity 0 }"),
       {{233, 240, 0, 255, 0}, {407, 240, 0, 0, 0}},
       {{233, 240, 2, 64, 2}, {407, 240, 2, 64, 2}}},
      {"a red light on a white texture",
       TwoBoxes(red, WhiteTexture("0xFFFFFF"), white),
       {{233, 240, 253, 2, 2}, {407, 240, 253, 2, 2}},
       {{233, 240, 253, 253, 253}, {407, 240, 253, 64, 64}}},
      {"a pink point light with ambient on a white texture",
       TwoBoxes(pink, WhiteTexture("0xFFFFFF"), white),
       {{233, 240, 253, 143, 143}, {407, 240, 253, 143, 143}},
       {{233, 240, 253, 253, 253}, {407, 240, 253, 176, 176}}},
      {"fog on a green texture",
       TwoBoxes("DirectionalLight { direction 0 0 -1 }", WhiteTexture("0x00FF00"),
                "material Material { diffuseColor 0 1 0 }",
                "Background { skyColor [ 0 0 1 ] } Fog { color 0 0 1 visibilityRange 20 } "),
       {{233, 240, 5, 128, 132}, {407, 240, 0, 128, 127}},
       {{233, 240, 0, 125, 0}, {407, 240, 2, 125, 129}}},
      {"the highlight's size follows shininess",
       kShininess,
       // Where the eye sees the light mirrored.
       {{157, 240, 242, 242, 242},
        {157, 200, 215, 215, 215},
        {157, 150, 141, 141, 141},
        {483, 240, 45, 45, 45},
        {483, 200, 21, 21, 21},
        {483, 150, 2, 2, 2}},
       {{175, 240, 145, 145, 145},
        {175, 200, 74, 74, 74},
        {175, 150, 10, 10, 10},
        {465, 240, 148, 148, 148},
        {465, 200, 75, 75, 75},
        {465, 150, 10, 10, 10}}},
      {"normals under a non-uniform scale",
       kScaledCylinder,
       {{160, 240, 174, 174, 174}, {200, 240, 81, 81, 81}, {240, 240, 34, 34, 34}},
       {{160, 240, 203, 203, 203}, {200, 240, 144, 144, 144}, {240, 240, 97, 97, 97}}},
  };
}

// One world in one convention, each in a view of its own.
class LitWorlds : public RenderedWorld, public ::testing::WithParamInterface<std::tuple<size_t, WorldConvention>> {};

TEST_P(LitWorlds, DrawAsTheirConventionLightsThem) {
  const LitWorld w = LitWorldList()[std::get<0>(GetParam())];
  convention = std::get<1>(GetParam());
  const bool standard = convention == WorldConvention::kStandard;
  SCOPED_TRACE(w.name);
  Load(w.body, kWidth, kHeight);
  for (const Probe& p : standard ? w.standard : w.system) {
    const uint32_t pixel = Pixel(p.x, p.y);
    const int actual[3] = {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF),
                           static_cast<int>(pixel & 0xFF)};
    const int expected[3] = {p.r, p.g, p.b};
    for (int c = 0; c < 3; ++c) {
      EXPECT_LE(std::abs(actual[c] - expected[c]), standard ? 4 : 1)
          << "at " << p.x << "," << p.y << ": " << actual[0] << " " << actual[1] << " " << actual[2];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothConventions, LitWorlds,
                         ::testing::Combine(::testing::Range(size_t{0}, LitWorldList().size()),
                                            ::testing::Values(WorldConvention::kStandard, WorldConvention::kSystem)));

}  // namespace
}  // namespace vx::test
