#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "engine/scene/GroupNode.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneLimits.h"
#include "tests/platform/TestEnvironment.h"
#include "tests/scene/TestNodes.h"

namespace vx {
namespace {

using test::CProbeNode;
using test::Probe;

CNodeRef AddProbe(CScene& scene, const char* defName) {
  CNodeRef node = MakeNode<CProbeNode>();
  node->SetDefName(defName);
  node->SetScene(&scene);
  MFNode list{1, &node};
  scene.GetRoot()->ReceiveEvent("addChildren", &list);
  return node;
}

TEST(Scene, BaseUrlAndDirectoryKeepTheTextUpToTheLastSeparator) {
  CScene world;
  world.SetWorldUrl("http://host/a/b/world.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "http://host/a/b/");
  world.SetWorldUrl("C:\\worlds\\a.wrl");
  EXPECT_EQ(world.GetWorldUrl(), "C:\\worlds\\");
  world.SetWorldDirectory("/home/u/w/a.wrl");
  EXPECT_EQ(world.GetWorldDirectory(), "/home/u/w/");
  EXPECT_EQ(world.GetRoot()->GetDefName(), "Vexlin_Scene_Root");
}

TEST(Scene, ResolveUrlUsesTheBaseDirectoryWhenTheFileIsThereElseTheBaseUrl) {
  const test::TemporaryFolder temporary("vx-resolve-url-");
  const std::filesystem::path folder = temporary.Path();
  std::FILE* file = std::fopen((folder / "tex.jpg").c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fclose(file);

  CScene world;
  world.SetWorldDirectory(folder.string() + "/world.wrl");
  world.SetWorldUrl("http://host/w/world.wrl");
  CNodeRef node = AddProbe(world, "n");
  std::string out;
  EXPECT_EQ(node->ResolveUrl("", out), 2);
  ASSERT_EQ(node->ResolveUrl("tex.jpg", out), 0);
  EXPECT_EQ(out, folder.string() + "/tex.jpg");
  ASSERT_EQ(node->ResolveUrl("missing.jpg", out), 0);
  EXPECT_EQ(out, "http://host/w/missing.jpg");
  ASSERT_EQ(node->ResolveUrl("http://other/x.wrl", out), 0);
  EXPECT_EQ(out, "http://other/x.wrl");
  ASSERT_EQ(node->ResolveUrl("file:///home/a%20b/c.wrl", out), 0);
  EXPECT_EQ(out, "/home/a b/c.wrl");
  ASSERT_EQ(node->ResolveUrl("/srv/tex.jpg", out), 0);
  EXPECT_EQ(out, "/srv/tex.jpg") << "an absolute path, as a saved world names its files, is kept";
  EXPECT_EQ(node->ResolveUrl(std::string(400, 'z'), out), 2) << "a result cut to a path buffer would name another file";
  EXPECT_EQ(out, "");
}

TEST(Scene, TheFirstNotesAreKeptEveryOneIsCountedAndAResetForgetsThem) {
  CScene scene;
  const size_t noted = kMaxKeptSceneMessages + 8;
  for (size_t i = 0; i < noted; ++i) scene.NoteEventError("note " + std::to_string(i));
  ASSERT_EQ(scene.GetKeptMessages().size(), kMaxKeptSceneMessages);
  EXPECT_EQ(scene.GetKeptMessages().front(), "note 0");
  EXPECT_EQ(scene.GetKeptMessages().back(), "note " + std::to_string(kMaxKeptSceneMessages - 1));
  EXPECT_EQ(scene.GetMessageCount(), noted);
  EXPECT_EQ(scene.GetEventErrorText(), "note " + std::to_string(noted - 1)) << "the latest";
  scene.Reset();
  EXPECT_EQ(scene.GetMessageCount(), 0u);
  EXPECT_TRUE(scene.GetKeptMessages().empty());
}

TEST(Scene, PendingRoutesAreWiredOnceTheirNodesExist) {
  CScene world;
  world.AddPendingRoute(PendingRoute::Make("A.fraction_changed", "B.set_fraction"));
  world.AddPendingRoute(PendingRoute::Make("A.position_changed", "B.set_fraction"));  // types differ
  world.AddPendingRoute(PendingRoute::Make("A.fraction_changed", "Nobody.set_fraction"));
  world.AddPendingRoute(PendingRoute::Make("no dot here", "B.set_fraction"));
  CNodeRef a = AddProbe(world, "A");
  CNodeRef b = AddProbe(world, "B");
  world.ResolvePendingRoutes();
  EXPECT_EQ(a->GetRoutes(FieldKind::Field, 1).size(), 1u);
  EXPECT_TRUE(a->GetRoutes(FieldKind::Field, 0).empty());
  EXPECT_EQ(world.GetPendingRoutes().size(), 4u) << "records stay until the scene is reset";
  EXPECT_EQ(world.FindNode("B"), b.GetNode());
  EXPECT_EQ(world.FindNode("B"), b.GetNode()) << "again, from the cache";
}

TEST(Scene, ProtoListHoldsAHundredDeclarations) {
  CScene world;
  for (int i = 0; i < kMaxProtoDeclarations; ++i) ASSERT_NE(world.CreateProto("P" + std::to_string(i), false), nullptr);
  EXPECT_EQ(world.CreateProto("Overflow", true), nullptr);
  EXPECT_EQ(world.FindProto("P7"), world.GetProto(7));
  EXPECT_EQ(world.FindProto("p7"), nullptr);
  EXPECT_EQ(world.GetProto(-1), nullptr);
  EXPECT_EQ(world.GetProto(kMaxProtoDeclarations), nullptr);
}

}  // namespace
}  // namespace vx
