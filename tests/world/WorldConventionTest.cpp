#include "engine/world/WorldConvention.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/GroupNode.h"
#include "engine/nodes/InlineNode.h"
#include "engine/interface/SceneFile.h"

namespace vx {
namespace {

namespace fs = std::filesystem;

TEST(WorldConvention, TswNamesInAnyCaseGiveTheSystemsAndEveryOtherNameTheStandards) {
  for (const char* name : {"a.tsw", "/worlds/A.TSW", "a.Tsw", "a.tsw.gz", "a.TSW.GZ", "a.tsw#Entry", "a.tsw.gz#Far",
                           "http://example.test/w/a.tsw", "file:///home/u/My%20Worlds/a.tsw"}) {
    EXPECT_EQ(ConventionOfWorldName(name), WorldConvention::kSystem) << name;
  }
  for (const char* name : {"a.wrl", "a.wrl.gz", "a.tsw.wrl", "a.wrl#x.tsw", "tsw", "atsw", "a.tsw/", "a.tsw.gz.gz",
                           "a.wrz", "", "vxlc3.wrl", "a.tsw?v=1"}) {
    EXPECT_EQ(ConventionOfWorldName(name), WorldConvention::kStandard) << name;
  }
}

TEST(WorldConvention, AWorldReadWithoutANameAndNoWorldFollowTheStandard) {
  const CBrowser unnamed;
  EXPECT_EQ(unnamed.GetConvention(), WorldConvention::kStandard);
  EXPECT_EQ(ConventionOf(&unnamed), WorldConvention::kStandard);
  EXPECT_EQ(ConventionOf(nullptr), WorldConvention::kStandard);
  const CBrowser system(WorldConvention::kSystem);
  EXPECT_EQ(ConventionOf(&system), WorldConvention::kSystem);
}

// Scene files in a folder of their own, loaded as the engine interface
// loads them.
class LoadedWorldConvention : public ::testing::Test {
 protected:
  LoadedWorldConvention() {
    folder_ = fs::temp_directory_path() / ("vx-convention-" + std::to_string(getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  ~LoadedWorldConvention() override {
    scene.world.reset();
    fs::remove_all(folder_);
  }

  std::string Write(const std::string& name, const std::string& body) const {
    const fs::path path = folder_ / name;
    std::ofstream(path) << "#VRML V2.0 utf8\n" << body;
    return path.string();
  }
  // Loads the path into the scene; the load must succeed.
  WorldConvention Load(const std::string& path) {
    char buffer[VX_TEXT_BUFFER_SIZE] = {};
    std::strncpy(buffer, path.c_str(), sizeof buffer - 1);
    char error[VX_TEXT_BUFFER_SIZE] = {};
    EXPECT_EQ(LoadSceneFile(&scene, buffer, error), EngineOk) << error;
    return ConventionOf(scene.world.get());
  }

  SceneHandle scene;

 private:
  fs::path folder_;
};

TEST_F(LoadedWorldConvention, ThePathLoadedDecidesWhenTheHostGaveNoUrl) {
  EXPECT_EQ(Load(Write("a.tsw", "")), WorldConvention::kSystem);
  scene = SceneHandle();
  EXPECT_EQ(Load(Write("b.wrl", "")), WorldConvention::kStandard);
  scene = SceneHandle();
  EXPECT_EQ(Load("file://" + Write("My World.TSW", "")), WorldConvention::kSystem) << "a file URL names its file";
}

// A plug-in is handed a browser's copy of the stream, whose name says
// nothing; the URL it gives the scene first names the world.
TEST_F(LoadedWorldConvention, TheUrlTheHostGaveDecidesOverTheNameOfTheLocalCopy) {
  scene.url = "http://example.test/worlds/w.tsw";
  EXPECT_EQ(Load(Write("np0001.wrl", "")), WorldConvention::kSystem);
  scene = SceneHandle();
  scene.url = "http://example.test/worlds/w.wrl";
  EXPECT_EQ(Load(Write("copy.tsw", "")), WorldConvention::kStandard);
}

// Everything a world runs takes the world's convention, whatever its own
// file is called: an inlined ".wrl" file, a PROTO body, an EXTERNPROTO
// library.
TEST_F(LoadedWorldConvention, InlinesPrototypeBodiesAndExternProtoLibrariesTakeTheirWorlds) {
  Write("child.wrl", "DEF Inlined Group { }");
  Write("library.wrl", "PROTO Fetched [ ] { DEF FromLibrary Group { } }");
  const std::string main = Write("main.tsw",
                                 "DEF I Inline { url \"child.wrl\" }\n"
                                 "PROTO Local [ ] { DEF InBody Group { } }\n"
                                 "DEF P Local { }\n"
                                 "EXTERNPROTO Fetched [ ] \"library.wrl#Fetched\"\n"
                                 "DEF E Fetched { }\n");
  ASSERT_EQ(Load(main), WorldConvention::kSystem);
  CBrowser& world = *scene.world;
  auto& inlined = static_cast<CInlineNode&>(*world.FindNode("I"));
  for (int frame = 0; frame < 8 && !inlined.GetChildScene(); ++frame) world.GetRoot()->Traverse(RenderPass::Frame, nullptr);
  ASSERT_NE(inlined.GetChildScene(), nullptr) << inlined.GetMessage();

  auto& local = static_cast<CProtoInstanceNode&>(*world.FindNode("P"));
  auto& fetched = static_cast<CProtoInstanceNode&>(*world.FindNode("E"));
  fetched.Traverse(RenderPass::Frame, nullptr);
  ASSERT_NE(fetched.GetBody(), nullptr) << fetched.GetMessage();
  for (CNode* node : {inlined.GetChildScene()->FindNode("Inlined"), local.GetBody()->FindNode("InBody"),
                      fetched.GetBody()->FindNode("FromLibrary")}) {
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetWorld(), &world);
    EXPECT_EQ(ConventionOf(node->GetWorld()), WorldConvention::kSystem);
  }
}

}  // namespace
}  // namespace vx
