// The version-1.0 Vista in a headless view: bound by the world's activation,
// its file names tried in turn, the camera placed at its position, zoom
// navigation by default, and nothing left bound once the world is left.
#include <gtest/gtest.h>

#include <numbers>
#include <string>

#include "VistaTestSupport.h"
#include "platform/Clock.h"

namespace vx::test {
namespace {

constexpr float kTurn = 2 * std::numbers::pi_v<float>;
constexpr int32_t kForwardKey = 56;

class LegacyVistaTest : public VistaWorldTest {
 protected:
  CVistaLegacyNode& Legacy(const char* name) { return static_cast<CVistaLegacyNode&>(Named(name)); }
  void LookAtStripe(int stripe) {
    Context().SetOrientation(0, (stripe + 0.5f) / 8 * kTurn, 0, true);
    Ticks(2);
  }
};

TEST_F(LegacyVistaTest, AWorldWithoutThePrototypeShowsTheLegacyNodesPicture) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load("DEF L Vista { filename [ \"missing.jpg\" \"stripes.jpg\" ] position 1 2 3 type \"WOBBLE\" }", 5);
  CVistaLegacyNode& legacy = Legacy("L");
  EXPECT_TRUE(world.IsLegacyPanorama());
  EXPECT_TRUE(legacy.IsBound());
  EXPECT_EQ(world.GetLegacyVista(), &legacy);
  EXPECT_EQ(legacy.GetProjection(), 1) << "an unknown keyword draws as a sphere";
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0], std::make_pair(int32_t{ViewEventVistaBound}, std::string("L")));
  const CVec3f position = Context().GetPosition();
  EXPECT_EQ(position.x, 1.0f);
  EXPECT_EQ(position.y, 2.0f);
  EXPECT_EQ(position.z, 3.0f);

  LookAtStripe(6);
  EXPECT_EQ(StripeOf(Center()), 6);
  const int16_t on = 1;
  EXPECT_LT(legacy.ReceiveEvent("set_bind", &on), 0) << "the legacy node has no set_bind";

  // Without a NavigationInfo the forward key zooms, by the time it is held.
  const float before = Context().GetFieldOfView();
  ManualClock clock;
  Ticks(1);
  view->SetHostKey(kForwardKey, true);
  clock.Advance(33);
  Ticks(1);
  view->SetHostKey(kForwardKey, false);
  EXPECT_LT(Context().GetFieldOfView(), before);
}

TEST_F(LegacyVistaTest, WalkingWorldsKeepTheCameraWhereItIs) {
  Load("NavigationInfo { type \"WALK\" } Vista { position 1 2 3 }");
  EXPECT_EQ(Context().GetPosition().x, 0.0f);
  Load("NavigationInfo { type \"VISTA\" } Vista { position 1 2 3 }");
  EXPECT_EQ(Context().GetPosition().x, 1.0f);
}

TEST_F(LegacyVistaTest, WhenEveryFileFailsTheFrameIsCleared) {
  folder.Write("broken.jpg", "not a picture");
  Load("DEF L Vista { filename [ \"missing.jpg\" \"broken.jpg\" ] }", 5);
  EXPECT_TRUE(Legacy("L").IsBound());
  EXPECT_EQ(Center(), 0u);
}

TEST_F(LegacyVistaTest, LeavingTheWorldUnbindsItAndItsPanoramaIsNoLongerAsked) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load("DEF L Vista { filename \"stripes.jpg\" }", 4);
  CVistaLegacyNode& legacy = Legacy("L");
  const CNodeRef held(&legacy);
  world.RenderView(RenderPass::Activate, &Context());
  EXPECT_EQ(events.size(), 1u) << "activating again binds once";

  world.RenderView(RenderPass::Deactivate, &Context());
  EXPECT_FALSE(legacy.IsBound());
  EXPECT_EQ(legacy.GetPanoContext(), nullptr);
  EXPECT_EQ(world.GetLegacyVista(), nullptr);
  EXPECT_FALSE(world.IsLegacyVistaActive());
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1], std::make_pair(int32_t{ViewEventVistaUnbound}, std::string("L")));
  // The camera is limited as without any panorama.
  Context().SetFieldOfView(1.5f, true);
  EXPECT_FLOAT_EQ(Context().GetFieldOfView(), 1.2f);
  Ticks(1);
  EXPECT_EQ(Center(), 0u);
}

}  // namespace
}  // namespace vx::test
