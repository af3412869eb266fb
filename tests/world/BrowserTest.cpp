#include <gtest/gtest.h>

#include <string>

#include "WorldTestNodes.h"
#include "engine/scene/GroupNode.h"
#include "platform/Clock.h"

namespace vx {
namespace {

using test::BindEvent;
using test::MakeBindable;

TEST(WorldBase, LocalPathsAndUrlsKeepTheTextUpToTheLastSeparator) {
  CBrowser world;
  world.SetWorldUrl("/data/u/w/a.wrl");
  world.SetWorldDirectory("/data/u/w/a.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "/data/u/w/") << "a local world has a base";
  EXPECT_EQ(world.GetWorldDirectory(), "/data/u/w/");
  world.SetWorldUrl("/a.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "/");
  world.SetWorldUrl("http://host/a/b.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "http://host/a/");
  world.SetWorldUrl("C:\\w\\a.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "C:\\w\\");
  world.SetWorldUrl("a.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "");
  world.SetWorldUrl("\\a.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "") << "a backslash in first place is no cut point";
  world.SetWorldDirectory("/" + std::string(400, 'd') + "/a.wrl");
  EXPECT_EQ(world.GetWorldDirectory().size(), 255u);
}

TEST(WorldRoutes, RouteTextsAreCutToTheirSlotsAndKeptUntilAReset) {
  CBrowser world;
  const std::string longText = std::string(100, 'n') + ".set_x";
  world.GetScene().AddPendingRoute(PendingRoute::Make(longText, "target.set_y"));
  ASSERT_EQ(world.GetScene().GetPendingRoutes().size(), 1u);
  EXPECT_EQ(std::string(world.GetScene().GetPendingRoutes()[0].source.data()), longText.substr(0, 63));
  EXPECT_EQ(std::string(world.GetScene().GetPendingRoutes()[0].target.data()), "target.set_y");
  world.GetScene().ResolvePendingRoutes();
  EXPECT_EQ(world.GetScene().GetPendingRoutes().size(), 1u);
  world.ResetScene(WorldConvention::kStandard);
  EXPECT_TRUE(world.GetScene().GetPendingRoutes().empty());
}

TEST(WorldBinding, ANinthNavigationInfoDropsTheOldestAndAResetLetsThemAllGo) {
  CBrowser world;
  std::vector<CNodeRef> nodes;
  for (int i = 0; i < 9; ++i) {
    nodes.push_back(MakeBindable(NodeTypeNavigationInfo, ("n" + std::to_string(i)).c_str()));
    world.BindNavigationInfo(nodes.back().Get(), true);
  }
  EXPECT_EQ(nodes[0]->GetRefCount(), 1) << "dropped out of the stack";
  EXPECT_EQ(nodes[1]->GetRefCount(), 2);
  EXPECT_EQ(world.GetNavigationInfo(), nodes[8].Get());
  world.BindNavigationInfo(nullptr, true);
  EXPECT_EQ(world.GetNavigationInfo(), nodes[8].Get()) << "a null node would hide the stack";
  world.BindNavigationInfo(nodes[7].Get(), false);
  EXPECT_EQ(world.GetNavigationInfo(), nodes[8].Get()) << "one below the top leaves the top in force";
  world.BindNavigationInfo(nodes[8].Get(), false);
  EXPECT_EQ(world.GetNavigationInfo(), nodes[6].Get()) << "the one unbound before does not come back";
  world.ResetScene(WorldConvention::kStandard);
  EXPECT_EQ(world.GetNavigationInfo(), nullptr);
  for (const CNodeRef& node : nodes) EXPECT_EQ(node->GetRefCount(), 1);
}

TEST(WorldBinding, ViewpointsAreToldWhenTheirBindingChanges) {
  ManualClock clock(0);
  CBrowser world;
  world.ResetClock();
  std::vector<BindEvent> log;
  CNodeRef a = MakeBindable(NodeTypeViewpoint, "a", &log), b = MakeBindable(NodeTypeViewpoint, "b", &log);
  world.BindViewpoint(a.Get(), true);
  clock.Advance(2000);
  world.BindViewpoint(b.Get(), true);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[2].node, "a");
  EXPECT_FALSE(log[2].isBound);
  EXPECT_EQ(log[3].time, 2.0);
  EXPECT_EQ(log[4].node, "b");
  EXPECT_TRUE(log[4].isBound);

  log.clear();
  world.BindViewpoint(b.Get(), true);
  ASSERT_EQ(log.size(), 4u) << "a node on top is unbound and bound again";
  EXPECT_FALSE(log[0].isBound);
  EXPECT_TRUE(log[2].isBound);
  EXPECT_EQ(log[1].time, log[3].time);

  log.clear();
  world.BindViewpoint(a.Get(), false);
  EXPECT_TRUE(log.empty()) << "a node below the top leaves quietly";
  world.BindViewpoint(a.Get(), true);
  log.clear();
  world.BindViewpoint(a.Get(), false);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[2].node, "b");
  EXPECT_TRUE(log[2].isBound);
  EXPECT_EQ(world.GetViewpoint(), b.Get());
}

TEST(WorldBinding, ABackgroundBoundTwiceIsPushedAndPoppedAndTakesTheSavedCamera) {
  CBrowser world;
  CViewContext view(WindowHandle::None, 0);
  world.SaveCamera(0.1f, 0.2f, 0.3f, 0.7f);
  world.ResetScene(WorldConvention::kStandard);
  EXPECT_TRUE(world.IsCameraSaved()) << "a saved camera outlives a reset";

  CNodeRef background = MakeBindable(NodeTypeBackground, "bg");
  world.BindBackground(background.Get(), &view);
  EXPECT_TRUE(world.IsBackgroundActive());
  EXPECT_EQ(world.GetBoundNode(NodeTypeBackground), background.Get());
  EXPECT_FALSE(world.IsCameraSaved());
  EXPECT_EQ(view.GetFieldOfView(), 0.7f);
  float pitch, yaw, roll;
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_EQ(yaw, 0.2f);
  EXPECT_TRUE(view.IsCameraChanged()) << "applied with the next frame";

  world.BindBackground(background.Get(), &view);
  EXPECT_EQ(world.GetBackground(), nullptr);
  EXPECT_FALSE(world.IsBackgroundActive());
}

TEST(WorldBinding, TheLegacyVistaStaysBoundAndAnswersForTheVistaType) {
  CBrowser world;
  CViewContext view(WindowHandle::None, 0);
  CNodeRef legacy = MakeBindable(NodeTypeVista, "legacy");
  world.BindLegacyVista(legacy.Get(), &view);
  world.BindLegacyVista(legacy.Get(), &view);
  EXPECT_TRUE(world.IsLegacyVistaActive());
  EXPECT_EQ(world.GetBoundNode(NodeTypeVista), legacy.Get());
  CNodeRef vista = MakeBindable(NodeTypeVista, "vista");
  world.BindVista(vista.Get(), &view);
  EXPECT_EQ(world.GetBoundNode(NodeTypeVista), vista.Get());
  EXPECT_EQ(world.GetBoundNode(NodeTypeGroup), nullptr);
}

TEST(WorldBinding, ABoundPanoramaThatIsDeletedIsNeverReached) {
  CBrowser world;
  test::HeadlessView h(8, 8, 4, 0x55);
  CViewContext& view = h.view;
  const test::TestFrame& frame = h.frame;
  CNodeRef first = MakeBindable(NodeTypeVista, "first");
  CNodeRef second = MakeBindable(NodeTypeVista, "second");
  world.BindVista(first.Get(), &view);
  world.BindVista(second.Get(), &view);
  second = CNodeRef();
  EXPECT_EQ(world.GetVista(), first.Get());
  first = CNodeRef();
  EXPECT_EQ(world.GetBoundNode(NodeTypeVista), nullptr);
  world.RenderFrame(&view);
  EXPECT_EQ(frame.Xrgb(3, 3), 0u) << "with no panorama left the frame is cleared";
}

TEST(WorldBinding, TheFrameDrawsTheBoundBackgroundInsteadOfClearing) {
  CBrowser world;
  test::HeadlessView h(8, 8, 4, 0x55);
  CViewContext& view = h.view;
  const test::TestFrame& frame = h.frame;
  CNodeRef background = MakeBindable(NodeTypeBackground, "bg");
  CNodeRef viewpoint = MakeBindable(NodeTypeViewpoint, "vp");
  world.BindBackground(background.Get(), &view);
  world.BindViewpoint(viewpoint.Get(), true);
  world.RenderFrame(&view);
  EXPECT_EQ(test::Bindable(background).frameCount, 1);
  EXPECT_TRUE(background->TakeFramePass(world.GetFrameNumber())) << "it was handed the frame's pass";
  EXPECT_EQ(test::Bindable(viewpoint).frameCount, 1) << "in the frame, not on attaching";
  EXPECT_EQ(frame.Xrgb(3, 3), 0x55555555u) << "the background paints, nothing clears";
}

TEST(WorldOverlays, LargerLayersComeFirstAndEqualLayersKeepTheirOrder) {
  CBrowser world;
  CNodeRef nodes[4] = {MakeBindable(NodeTypeBase, "1"), MakeBindable(NodeTypeBase, "5a"),
                       MakeBindable(NodeTypeBase, "5b"), MakeBindable(NodeTypeBase, "3")};
  const int layers[4] = {1, 5, 5, 3};
  for (int i = 0; i < 4; ++i) world.AddOverlay({{}, {}, {}, 0, nodes[i].Get(), layers[i]});
  std::vector<std::string> order;
  for (const OverlayEntry& entry : world.GetOverlays()) order.push_back(entry.node->GetDefName());
  EXPECT_EQ(order, (std::vector<std::string>{"5a", "5b", "3", "1"}));

  world.RemoveOverlay(nodes[2].Get());
  EXPECT_EQ(world.GetOverlays()[1].node, nodes[3].Get());
  for (int i = 0; i < kMaxOverlays; ++i) world.AddOverlay({{}, {}, {}, 0, nullptr, 0});
  EXPECT_EQ(world.GetOverlays().size(), static_cast<size_t>(kMaxOverlays));
}

TEST(WorldClock, FrameRateIsFifteenUntilFifteenFramesThenMeasured) {
  ManualClock clock(5000);
  CBrowser world;
  test::HeadlessView h(4, 4);
  CViewContext& view = h.view;
  world.ResetClock();
  for (int i = 0; i < 14; ++i) {
    world.RenderFrame(&view);
    clock.Advance(200);
  }
  EXPECT_EQ(world.GetFrameRate(), 15.0) << "14 frames are too few";
  world.RenderFrame(&view);
  EXPECT_DOUBLE_EQ(world.GetFrameRate(), 15.0 / 2.8);
  clock.Advance(200);
  EXPECT_DOUBLE_EQ(world.GetFrameRate(), 5.0);
  EXPECT_DOUBLE_EQ(world.GetWorldTime(), 3.0);

  world.ResetFrameCounter();
  for (int i = 0; i < 15; ++i) world.RenderFrame(&view);
  EXPECT_EQ(world.GetFrameRate(), 15.0) << "no time has passed: no division by zero";
}

TEST(WorldReset, AResetEmptiesTheSceneAndKeepsTheDirectoryAndClock) {
  ManualClock clock(0);
  CBrowser world;
  CViewContext view(WindowHandle::None, 0);
  world.ResetClock();
  world.SetWorldUrl("/w/a.wrl");
  world.SetWorldDirectory("/w/a.wrl");
  CNodeRef child = MakeBindable(NodeTypeBase, "child");
  test::AddToScene(world, child);
  CNodeRef vista = MakeBindable(NodeTypeVista, "v");
  world.BindVista(vista.Get(), &view);
  world.SetLegacyPanorama(true);
  const CNodeWeakRef oldRoot(world.GetRoot());
  const CNodeWeakRef oldChild(child.Get());
  child = CNodeRef();
  clock.Advance(1500);

  world.ResetScene(WorldConvention::kStandard);
  EXPECT_EQ(oldRoot.Get(), nullptr) << "the old scene is let go";
  EXPECT_EQ(oldChild.Get(), nullptr);
  EXPECT_EQ(world.GetRoot()->children.count, 0);
  EXPECT_EQ(world.GetRoot()->GetDefName(), "Vexlin_Scene_Root");
  EXPECT_EQ(world.FindNode("child"), nullptr);
  EXPECT_EQ(world.GetVista(), nullptr);
  EXPECT_FALSE(world.IsVistaActive());
  EXPECT_FALSE(world.IsLegacyPanorama());
  EXPECT_EQ(world.GetWorldUrl(), "");
  EXPECT_EQ(world.GetWorldDirectory(), "/w/");
  EXPECT_DOUBLE_EQ(world.GetWorldTime(), 1.5);
}

}  // namespace
}  // namespace vx
