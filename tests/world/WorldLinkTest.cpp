// Nodes and scenes that outlive their world: a host may hold a node, and a
// PROTO instance or an Inline its scene, after the world is gone.
#include <gtest/gtest.h>

#include <memory>
#include <string_view>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

void Read(CBrowser& world, std::string_view text) {
  auto stream = CSceneInputStream::FromText(text);
  CSceneReader reader(stream);
  ASSERT_TRUE(reader.ReadScene(&world.GetScene())) << reader.GetMessage();
}

TEST(WorldLink, NodesKeptBeyondTheirWorldHaveNoWorldAndBindNothing) {
  CNodeRef kept[3];
  {
    CBrowser world;
    Read(world, "#VRML V2.0 utf8\nDEF V Viewpoint { }\nDEF N NavigationInfo { }\nDEF F Fog { }\n");
    int i = 0;
    for (const char* name : {"V", "N", "F"}) kept[i++].SetNode(world.FindNode(name));
    for (const CNodeRef& node : kept) {
      ASSERT_TRUE(node);
      EXPECT_EQ(node->GetWorld(), &world);
    }
  }
  const int16_t on = 1;
  for (const CNodeRef& node : kept) {
    EXPECT_EQ(node->GetScene(), nullptr);
    EXPECT_EQ(node->GetWorld(), nullptr);
    (void)node->ReceiveEvent("set_bind", &on);
  }
}

TEST(WorldLink, AnInnerSceneKeptBeyondItsWorldHasNoWorld) {
  std::unique_ptr<CScene> inner;
  {
    CBrowser world;
    inner = std::make_unique<CScene>(WorldLinkOf(&world.GetScene()));
    EXPECT_EQ(inner->GetWorld(), &world);
    EXPECT_EQ(inner->GetRootRef()->GetWorld(), &world);
  }
  EXPECT_EQ(inner->GetWorld(), nullptr);
  EXPECT_EQ(inner->GetRootRef()->GetWorld(), nullptr);
}

}  // namespace
}  // namespace vx
