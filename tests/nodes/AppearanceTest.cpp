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

TEST_F(ShapeMaterial, NoAppearanceGivesTheDefaultAndNoMaterialKeepsTheLastOne) {
  const FloatColor standard = MaterialRecord{}.diffuse;
  ExpectColor(Applied("Shape { appearance Material { diffuseColor 1 0 0 } }").diffuse, standard.r, standard.g,
              standard.b);
  ExpectColor(Applied("Shape { appearance Appearance { } }").diffuse, 0, 1, 0);
  ExpectColor(Applied("Shape { appearance Appearance { material Coordinate { } } }").diffuse, 0, 1, 0);
}

TEST_F(ShapeMaterial, AKeptMaterialLosesItsTexture) {
  std::vector<uint32_t> texels(4 * 4, 0x00FF00FF);
  MaterialRecord textured = test::FlatMaterial({0, 0, 1});
  textured.texture = {reinterpret_cast<uint8_t*>(texels.data()), 4, 4, 4, 16};
  frame.stage.SetMaterial(&textured);
  texels.clear();
  texels.shrink_to_fit();  // the texture's node is gone

  world = test::ReadWorld("Shape { appearance Appearance { } }");
  test::TopNode<CShapeNode>(*world).ApplyAppearance(RenderPass::Frame, nullptr, frame.stage);
  EXPECT_EQ(frame.stage.Material().texture.base, nullptr);
  EXPECT_EQ(frame.stage.Material().spanMode & SpanMode::kTextured, 0u);
}

}  // namespace
}  // namespace vx
