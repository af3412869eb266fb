#include <gtest/gtest.h>

#include "NodeTestSupport.h"
#include "RenderedWorld.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/AppearanceNodes.h"
#include "engine/nodes/ShapeNode.h"
#include "tests/render/GeometryTestSupport.h"

namespace vx {
namespace {

void ExpectColor(const FloatColor& actual, float r, float g, float b) {
  EXPECT_FLOAT_EQ(actual.r, r);
  EXPECT_FLOAT_EQ(actual.g, g);
  EXPECT_FLOAT_EQ(actual.b, b);
}

TEST(Material, HighlightsOnlyForAShinyMaterialWithASpecularColour) {
  auto world = test::ReadWorld(
      "Material { diffuseColor 1 0 0 }\n"
      "Material { shininess 0.001 specularColor 1 1 1 }\n"
      "Material { shininess 0.5 specularColor 0.3 0.4 0.5 transparency 1 }\n");
  MaterialRecord records[3];
  for (int i = 0; i < 3; ++i) {
    test::TopNode<CMaterialNode>(*world, i).FillMaterialRecord(records[i], WorldConvention::kSystem);
  }
  ExpectColor(records[0].diffuse, 1, 0, 0);
  EXPECT_EQ(records[0].specular, 0) << "the default specular colour is black";
  EXPECT_EQ(records[1].specular, 0);
  ExpectColor(records[1].diffuse, 0.8f, 0.8f, 0.8f);
  EXPECT_EQ(records[2].specular, 1);
  ExpectColor(records[2].specularColor, 0.3f, 0.4f, 0.5f);
  EXPECT_EQ(records[2].smooth, 1);
  EXPECT_FLOAT_EQ(records[2].alpha, 1.0f) << "transparency takes no part in drawing";
}

class ShapeMaterial : public ::testing::Test {
 protected:
  // The stage's material after the first top-level Shape of the text applied
  // its appearance, over a material marked by its green colour.
  const MaterialRecord& Applied(const std::string& body, WorldConvention convention = WorldConvention::kStandard) {
    world = test::ReadWorld(body, convention);
    MaterialRecord marked = test::FlatMaterial({0, 1, 0});
    frame.stage.SetMaterial(&marked);
    test::TopNode<CShapeNode>(*world).ApplyAppearance(RenderPass::Frame, nullptr, frame.stage);
    return frame.stage.Material();
  }

  test::StageFrame frame{4, 4, 4};
  std::unique_ptr<CBrowser> world;
};

TEST_F(ShapeMaterial, TheStageSeesTheMaterialOfTheAppearance) {
  const MaterialRecord& m = Applied("Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } } }");
  ExpectColor(m.diffuse, 1, 0, 0);
  EXPECT_EQ(m.smooth, 1);
  EXPECT_EQ(m.specular, 0);
  EXPECT_EQ(m.spanMode, 0u);
}

// The default: unlit white in the standard's worlds, the lit tan of the
// stage's default material in the system's.
TEST_F(ShapeMaterial, WithoutAMaterialOfItsOwnAShapeGetsTheDefaultNotTheLastOne) {
  const FloatColor tan = MaterialRecord{}.diffuse;
  for (const char* body : {"Shape { }", "Shape { appearance Material { diffuseColor 1 0 0 } }",
                           "Shape { appearance Appearance { } }",
                           "Shape { appearance Appearance { material Coordinate { } } }",
                           "Shape { appearance Appearance { material Box { } } }"}) {
    const MaterialRecord& system = Applied(body, WorldConvention::kSystem);
    ExpectColor(system.diffuse, tan.r, tan.g, tan.b);
    EXPECT_EQ(system.unlit, 0) << body;
    EXPECT_EQ(system.texture.base, nullptr) << body;
    const MaterialRecord& standard = Applied(body, WorldConvention::kStandard);
    ExpectColor(standard.diffuse, 1, 1, 1);
    EXPECT_EQ(standard.unlit, 1) << body;
    EXPECT_EQ(standard.specular, 0) << body;
    EXPECT_EQ(standard.texture.base, nullptr) << body;
  }
}

TEST_F(ShapeMaterial, AMaterialMadeByAPrototypeFillsTheRecord) {
  const MaterialRecord& m = Applied(
      "PROTO Red [ field SFColor tint 1 0 0 ] { Material { diffuseColor IS tint } }\n"
      "Shape { appearance Appearance { material Red { tint 0 0 1 } } }");
  ExpectColor(m.diffuse, 0, 0, 1);
}

// Drawn under nothing but the view's ambient light, which dims whatever it
// lights to a quarter.
class UnlitShapes : public test::RenderedWorld {
 protected:
  uint32_t Drawn(WorldConvention kind, const std::string& shape) {
    convention = kind;
    Load("NavigationInfo { headlight FALSE } Viewpoint { position 0 0 0 }"
         " Transform { translation 0 0 -3 children " + shape + " }");
    return Center() & 0x00FFFFFFu;
  }
};

TEST_F(UnlitShapes, AShapeWithoutAMaterialIsUnlitWhiteInTheStandardsWorldsAndLitTanInTheSystems) {
  const std::string quad =
      " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
      " coordIndex [ 0 1 2 3 -1 ] } }";
  const FloatColor tan = MaterialRecord{}.diffuse;
  for (const std::string& shape : {"Shape {" + quad, "Shape { appearance Appearance { }" + quad}) {
    EXPECT_EQ(Drawn(WorldConvention::kStandard, shape), test::PixelOf(1, 1, 1)) << shape;
    EXPECT_TRUE(test::PixelsNear(Drawn(WorldConvention::kSystem, shape),
                                 test::PixelOf(0.25f * tan.r, 0.25f * tan.g, 0.25f * tan.b)))
        << shape;
  }
  const std::string lines =
      "Shape { geometry IndexedLineSet { coord Coordinate { point [ -1 0 0, 1 0 0 ] } coordIndex [ 0 1 ] } }";
  EXPECT_EQ(Drawn(WorldConvention::kStandard, lines), 0x00FFFFFFu) << "lines too, drawn in the colour itself";
}

// A texture without a material shows its own colours in the standard's
// worlds; in the system's it is lit like any material.
TEST_F(UnlitShapes, ATextureWithoutAMaterialShowsItsOwnColoursInTheStandardsWorlds) {
  const std::string textured =
      "Shape { appearance Appearance { texture PixelTexture { image 1 1 3 0x80C040 } }"
      " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
      " coordIndex [ 0 1 2 3 -1 ] texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1 ] } } }";
  EXPECT_EQ(Drawn(WorldConvention::kStandard, textured), 0x0080C040u);
  const uint32_t lit = Drawn(WorldConvention::kSystem, textured);
  EXPECT_LT(lit >> 8 & 0xFF, 0x60u) << "dimmed by the ambient light";
}

}  // namespace
}  // namespace vx
