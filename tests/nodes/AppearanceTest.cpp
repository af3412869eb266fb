#include <gtest/gtest.h>

#include "NodeTestSupport.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/AppearanceNodes.h"
#include "engine/scene/nodes/ShapeNode.h"
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
    test::TopNode<CMaterialNode>(*world, i).FillMaterialRecord(records[i]);
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
  const MaterialRecord& Applied(const std::string& body) {
    world = test::ReadWorld(body);
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

TEST_F(ShapeMaterial, WithoutAMaterialOfItsOwnAShapeGetsTheDefaultNotTheLastOne) {
  const FloatColor standard = MaterialRecord{}.diffuse;
  for (const char* body : {"Shape { appearance Material { diffuseColor 1 0 0 } }", "Shape { appearance Appearance { } }",
                           "Shape { appearance Appearance { material Coordinate { } } }",
                           "Shape { appearance Appearance { material Box { } } }"}) {
    const MaterialRecord& m = Applied(body);
    ExpectColor(m.diffuse, standard.r, standard.g, standard.b);
    EXPECT_EQ(m.texture.base, nullptr) << body;
  }
}

TEST_F(ShapeMaterial, AMaterialMadeByAPrototypeFillsTheRecord) {
  const MaterialRecord& m = Applied(
      "PROTO Red [ field SFColor tint 1 0 0 ] { Material { diffuseColor IS tint } }\n"
      "Shape { appearance Appearance { material Red { tint 0 0 1 } } }");
  ExpectColor(m.diffuse, 0, 0, 1);
}

}  // namespace
}  // namespace vx
