// Small worlds that ask for unbounded work: each ends in bounded time and
// memory, drawn, partly drawn with a note, or refused with a message.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "WorldTestNodes.h"
#include "engine/scene/GroupNode.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

constexpr int kSize = 48;
const std::string kHeader = "#VRML V2.0 utf8\nViewpoint { position 0 0 10 }\n";

std::string Repeated(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string Nested(int levels, const std::string& inside) {
  return Repeated("Group { children [ ", levels) + inside + Repeated(" ] }", levels);
}

// A chain of Transforms, each USE-ing the one before twice: 2^length paths.
std::string DoublingChain(int length) {
  std::string text = "DEF G0 Shape { geometry Box { } }\n";
  for (int i = 1; i <= length; ++i) {
    const std::string before = "USE G" + std::to_string(i - 1);
    text += "DEF G" + std::to_string(i) + " Transform { children [ " + before + " " + before + " ] }\n";
  }
  return text;
}

// A world read from text and drawn through a view of its own.
struct DrawnWorld {
  explicit DrawnWorld(const std::string& text, const std::string& folder = {}) {
    if (!folder.empty()) world.SetWorldDirectory(folder + "/");
    auto stream = CSceneInputStream::FromText(text);
    CSceneReader reader(stream);
    read = reader.ReadScene(&world.GetScene());
    message = read ? reader.GetProblem() : reader.GetMessage();
  }
  // Pixels the frames left lit.
  int Draw(int frames = 3) {
    world.RenderView(RenderPass::Activate, &h.view);
    for (int i = 0; i < frames; ++i) world.RenderFrame(&h.view);
    int lit = 0;
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) lit += h.frame.Xrgb(x, y) != 0 ? 1 : 0;
    }
    return lit;
  }
  const std::string& ErrorText() const { return world.GetScene().GetEventErrorText(); }

  test::HeadlessView h{kSize, kSize};
  CBrowser world{WorldConvention::kStandard};
  bool read = false;
  std::string message;
};

constexpr char kTooDeep[] = "Nodes are nested too deeply in this file.";

TEST(BoundedWork, NestingCountsAcrossPrototypeBodiesAndSharedNodes) {
  const std::string box = "Shape { geometry Box { } }";
  struct Case {
    const char* what;
    std::string body;
    bool refused;
  } cases[] = {
      {"two bodies of 200 levels",
       "PROTO A [] { " + Nested(200, box) + " }\nPROTO B [] { " + Nested(200, "A { }") + " }\nB { }", false},
      {"three bodies of 200 levels",
       "PROTO A [] { " + Nested(200, box) + " }\nPROTO B [] { " + Nested(200, "A { }") + " }\nPROTO C [] { " +
           Nested(200, "B { }") + " }\nC { }",
       true},
      {"a shared node of 300 levels used 300 levels deep",
       "Switch { choice DEF A " + Nested(300, box) + " }\n" + Nested(300, "USE A"), true},
      {"a shared node of 200 levels used 200 levels deep",
       "Switch { choice DEF A " + Nested(200, box) + " }\n" + Nested(200, "USE A"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DrawnWorld world(kHeader + c.body);
    EXPECT_EQ(world.message.find(kTooDeep) != std::string::npos, c.refused) << world.message;
    const int lit = world.Draw(1);
    EXPECT_EQ(lit > 0, !c.refused) << "what is read within the bound draws";
  }
}

TEST(BoundedWork, AnInlineFileCountsTheLevelsAboveTheInline) {
  const test::TemporaryFolder folder("vx-bounded-inline-");
  std::ofstream(folder.Path() + "/inner.wrl") << "#VRML V2.0 utf8\n" << Nested(300, "Shape { geometry Box { } }");
  for (const auto& [levels, drawn] : {std::pair{100, true}, std::pair{300, false}}) {
    SCOPED_TRACE(levels);
    DrawnWorld world(kHeader + Nested(levels, "Inline { url \"inner.wrl\" }"), folder.Path());
    ASSERT_TRUE(world.read) << world.message;
    EXPECT_EQ(world.Draw(4) > 0, drawn);
  }
}

TEST(BoundedWork, APassOverSharedPathsStopsAtItsBudgetAndSaysSo) {
  for (const int length : {8, 30}) {
    SCOPED_TRACE(length);
    DrawnWorld world(kHeader + "Switch { whichChoice -1 choice [\n" + DoublingChain(length) + "] }\n" +
                     "Transform { children USE G" + std::to_string(length) + " }\n");
    ASSERT_TRUE(world.read) << world.message;
    EXPECT_GT(world.Draw(1), 0) << "what was drawn before the stop shows";
    const bool cut = world.ErrorText().find("too large to go through whole") != std::string::npos;
    EXPECT_EQ(cut, length == 30) << world.ErrorText();
  }
}

TEST(BoundedWork, OversizedMeshesAreRefusedOnceAndNotBuiltAgain) {
  const std::string grid = "ElevationGrid { xDimension 700 zDimension 700 height [" + Repeated("0 ", 700 * 700) + "] }";
  const std::string faces = "IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 1 1 0] } coordIndex [" +
                            Repeated("0 1 2 -1 ", 700000) + "] }";
  const std::string sweep = "Extrusion { spine [" + Repeated("0 0 0, 0 1 0, ", 1100) + "] crossSection [" +
                            Repeated("1 1, -1 1, ", 1100) + "] }";
  for (const std::string& geometry : {grid, faces, sweep}) {
    SCOPED_TRACE(geometry.substr(0, 14));
    DrawnWorld world(kHeader + "Shape { geometry " + geometry + " }");
    ASSERT_TRUE(world.read) << world.message;
    EXPECT_EQ(world.Draw(1), 0);
    EXPECT_NE(world.ErrorText().find("is too large to draw"), std::string::npos) << world.ErrorText();
    world.world.GetScene().NoteEventError("");
    EXPECT_EQ(world.Draw(2), 0);
    EXPECT_EQ(world.ErrorText(), "") << "the refusal is told once";
  }
}

TEST(BoundedWork, AHierarchyGrownNodeByNodeStopsAtTheNestingBoundAndSavesFlat) {
  DrawnWorld world(kHeader + "DEF N0 Group { }");
  CScene& scene = world.world.GetScene();
  CNode* last = world.world.FindNode("N0");
  int added = 0;
  for (; added < kMaxNodeNesting + 10; ++added) {
    CNodeRef next = MakeNode<CGroupNode>();
    next->SetScene(&scene);
    MFNode value{1, &next};
    if (!last->TrySetField("children", &value)) break;
    last = next.GetNode();
  }
  // The scene's root and N0 stand above the chain.
  EXPECT_EQ(added, kMaxNodeNesting - 2);
  EXPECT_NE(world.ErrorText().find("would nest too deeply"), std::string::npos) << world.ErrorText();
  EXPECT_EQ(world.Draw(1), 0);

  CSceneWriter writer;
  writer.WriteScene(&scene, false);
  const std::string& text = writer.GetText();
  EXPECT_EQ(text.find(std::string(kMaxWrittenIndent + 1, '\t')), std::string::npos);
  DrawnWorld reread(text);
  EXPECT_TRUE(reread.read) << reread.message;
}

}  // namespace
}  // namespace vx
