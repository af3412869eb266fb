#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RenderedWorld.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/LightNodes.h"
#include "engine/world/WorldLimits.h"

namespace vx::test {
namespace {

constexpr float kAmbient = 0.25f;  // the view's own ambient light

class LightNodes : public RenderedWorld {
 protected:
  CLightNode& Light(const char* name) { return static_cast<CLightNode&>(Named(name)); }
  const LightRecord& Slot(int32_t slot) { return *view.GetStage()->Light(slot); }
};

TEST_F(LightNodes, ASwitchGivesTheLightsSlotBackWhenItLeavesItsChoiceAndANewOneWhenItReturns) {
  Read("DEF T PointLight { }"
       " DEF S Switch { whichChoice 0 choice [ DEF L DirectionalLight { color 1 0 0 intensity 0.5 } ] }");
  CLightNode& light = Light("L");
  Frame();
  EXPECT_EQ(Light("T").GetSlot(), -1) << "a frame before the activation leaves a light out";
  ASSERT_EQ(light.GetSlot(), kViewLightSlots) << "a Switch activates its choice on its first traversal";
  Show();
  EXPECT_EQ(Light("T").GetSlot(), kViewLightSlots + 1);
  const LightRecord& slot = Slot(light.GetSlot());
  EXPECT_EQ(slot.free, 0);
  EXPECT_EQ(slot.on, 1);
  EXPECT_EQ(slot.color, (CVec3f{0.5f, 0.0f, 0.0f})) << "colour times intensity";

  SetValue(Named("S"), "whichChoice", int32_t{-1});
  Frame();
  EXPECT_EQ(light.GetSlot(), -1);
  EXPECT_EQ(Slot(kViewLightSlots).free, 1);

  SetValue(Named("S"), "whichChoice", int32_t{0});
  Frame();
  EXPECT_EQ(light.GetSlot(), kViewLightSlots);
  EXPECT_EQ(Slot(kViewLightSlots).on, 1);
}

TEST_F(LightNodes, LightsPastTheLimitGetNoSlotWhileTheOthersStayLit) {
  static_assert(kMaxSceneLights == kLightSlots - 2, "the view context keeps two slots");
  Load("Group { }");
  std::vector<CNodeRef> lights;
  for (int i = 0; i <= kMaxSceneLights; ++i) {
    lights.push_back(NodeFactory(i < kMaxSceneLights ? "PointLight" : "SpotLight", NodeCreation{}));
    lights.back()->Traverse(RenderPass::Activate, &view);
  }
  for (const CNodeRef& light : lights) light->Traverse(RenderPass::Frame, &view);
  auto slotOf = [&lights](int i) { return static_cast<CLightNode&>(*lights[static_cast<size_t>(i)].Get()).GetSlot(); };
  for (int i = 0; i < kMaxSceneLights; ++i) {
    ASSERT_EQ(slotOf(i), kViewLightSlots + i);
    EXPECT_EQ(Slot(slotOf(i)).on, 1);
  }
  CNode& extra = *lights.back().Get();
  EXPECT_EQ(slotOf(kMaxSceneLights), -1) << "one past the limit";
  EXPECT_EQ(Slot(1).type, kDirectionalLight) << "the headlight keeps its slot";

  lights.front()->Traverse(RenderPass::Deactivate, &view);
  extra.Traverse(RenderPass::Deactivate, &view);
  extra.Traverse(RenderPass::Activate, &view);
  extra.Traverse(RenderPass::Frame, &view);
  EXPECT_EQ(slotOf(kMaxSceneLights), kViewLightSlots) << "a freed slot goes to the next light activated";
  EXPECT_EQ(Slot(kViewLightSlots).type, kSpotLight);
}

// A white quad facing the eye, lit by the view's ambient light (which
// lights the system's worlds) and one directional light under a Transform;
// the headlight is off.
class DirectionalLightUnderATransform : public LightNodes {
 protected:
  void LoadTurnedBy(const char* rotation) {
    convention = WorldConvention::kSystem;
    Load(std::string("NavigationInfo { headlight FALSE }"
                     " Transform { translation 3 4 5 rotation ") +
         rotation +
         " children DEF L DirectionalLight { color 1 0.5 0.25 } }"
         " Transform { translation 0 0 -5 children " +
         kWhiteQuad + " }");
  }
};

TEST_F(DirectionalLightUnderATransform, TheRotationTurnsTheLightAndTheTranslationDoesNot) {
  // Turned 60 degrees about x, the light meets the quad's normal at cos 60.
  LoadTurnedBy("1 0 0 1.0471976");
  const float k = 0.5f;
  EXPECT_TRUE(PixelsNear(Center(), PixelOf(kAmbient + k, kAmbient + 0.5f * k, kAmbient + 0.25f * k)));
  const CVec3f towardLight = Slot(Light("L").GetSlot()).direction;
  EXPECT_NEAR(towardLight.z, 0.5f, 1e-5f);
  EXPECT_NEAR(towardLight.Length(), 1.0f, 1e-5f);

  SetValue(Named("L"), "on", int16_t{0});
  Frame();
  EXPECT_TRUE(PixelsNear(Center(), PixelOf(kAmbient, kAmbient, kAmbient))) << "off: the ambient light alone";
}

}  // namespace
}  // namespace vx::test
