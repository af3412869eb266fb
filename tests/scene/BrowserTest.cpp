#include <gtest/gtest.h>

#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "platform/Clock.h"
#include "tests/scene/TestNodes.h"

namespace vx {
namespace {

using test::CProbeNode;
using test::Probe;

CNodeRef AddProbe(CBrowser& world, const char* defName) {
  CNodeRef node = MakeNode<CProbeNode>();
  node->SetDefName(defName);
  node->SetScene(&world.GetScene());
  MFNode list{1, &node};
  world.GetRoot()->ReceiveEvent("addChildren", &list);
  return node;
}

TEST(WorldBindStacks, BindStacksKeepTheLastEightAndViewpointsReportTheirBinding) {
  ManualClock clock(1000);
  CBrowser world;
  world.ResetClock();
  std::vector<CNodeRef> nodes;
  for (int i = 0; i < 9; ++i) {
    nodes.push_back(AddProbe(world, "n"));
    world.BindNavigationInfo(nodes.back().GetNode(), true);
  }
  EXPECT_EQ(world.GetNavigationInfo(), nodes[8].GetNode());
  for (int i = 8; i >= 1; --i) world.BindNavigationInfo(nodes[static_cast<size_t>(i)].GetNode(), false);
  EXPECT_EQ(world.GetNavigationInfo(), nullptr) << "the first one had dropped out";

  CNodeRef first = AddProbe(world, "v1"), second = AddProbe(world, "v2");
  CNodeRef watcher = AddProbe(world, "w");
  ASSERT_TRUE(first->AddRoute("isBound", "set_enabled", watcher));
  world.BindViewpoint(first.GetNode(), true);
  EXPECT_EQ(Probe(watcher).enabled, 1);
  clock.Advance(500);
  world.BindViewpoint(second.GetNode(), true);
  EXPECT_EQ(Probe(watcher).enabled, 0) << "the old top is told it lost the binding";
  world.BindViewpoint(first.GetNode(), false);
  EXPECT_EQ(world.GetViewpoint(), second.GetNode()) << "unbinding below the top changes nothing";
  world.BindViewpoint(second.GetNode(), false);
  EXPECT_EQ(world.GetViewpoint(), nullptr);
  EXPECT_DOUBLE_EQ(world.GetWorldTime(), 0.5);
}

TEST(WorldBindStacks, AViewpointThatDiesLeavesTheStack) {
  CBrowser world;
  CNodeRef kept = AddProbe(world, "kept");
  world.BindViewpoint(kept.GetNode(), true);
  {
    CNodeRef gone = MakeNode<CProbeNode>();
    world.BindViewpoint(gone.GetNode(), true);
  }
  EXPECT_EQ(world.GetViewpoint(), kept.GetNode());
}

}  // namespace
}  // namespace vx
