#include "engine/interface/SceneFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include <csignal>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "engine/hostlink/HostTable.h"
#include "engine/scene/RuntimeFieldNode.h"
#include "engine/scene/GroupNode.h"
#include "platform/Faults.h"
#include "tests/scene/GunzipHost.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class SceneFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vx-scenefile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    setenv("VANTESSEL_ROOT", folder_.c_str(), 1);
    SetHostTable(GunzipHostTable());
  }
  void TearDown() override {
    SetHostTable(nullptr);
    fs::remove_all(folder_);
  }

  // Loads through a caller buffer of the interface's size.
  EngineResult Load(SceneHandle& scene, const std::string& path) {
    path.copy(path_, sizeof path_ - 1);
    path_[std::min(path.size(), sizeof path_ - 1)] = '\0';
    std::strcpy(error_, "untouched");
    return LoadSceneFile(&scene, path_, error_);
  }

  std::string Saved(SceneHandle& scene) {
    const fs::path out = folder_ / "saved.wrl";
    EXPECT_EQ(SaveSceneFile(&scene, out.c_str(), 0), EngineOk);
    return ReadFile(out);
  }

  // The text saved from a scene loaded from path ("" when it does not load).
  std::string LoadAndSave(const fs::path& path) {
    SceneHandle scene;
    return Load(scene, path.string()) == EngineOk ? Saved(scene) : std::string();
  }

  fs::path folder_;
  char path_[VX_TEXT_BUFFER_SIZE];
  char error_[VX_TEXT_BUFFER_SIZE];
};

constexpr std::string_view kSmallScene = "#VRML V2.0 utf8\nDEF G Group { bboxSize 1 2 3 }\n";

TEST_F(SceneFile, LoadsAFileUrlWithEscapesAndNamesTheScene) {
  WriteFile(folder_ / "My Worlds" / "a.wrl", kSmallScene);
  SceneHandle scene;
  ASSERT_EQ(Load(scene, "file://" + folder_.string() + "/My%20Worlds/a.wrl"), EngineOk);
  const std::string local = (folder_ / "My Worlds" / "a.wrl").string();
  EXPECT_EQ(std::string(path_), local) << "the caller's path becomes the local path";
  EXPECT_EQ(scene.url, local);
  EXPECT_EQ(scene.directory, local);
  EXPECT_EQ(scene.name, "a.wrl");
  ASSERT_TRUE(scene.world);
  EXPECT_NE(scene.world->FindNode("G"), nullptr);
  EXPECT_EQ(scene.world->GetWorldDirectory(), (folder_ / "My Worlds").string() + "/");
  EXPECT_STREQ(error_, "untouched");
}

TEST_F(SceneFile, KeepsTheUrlAndDirectoryOfTheFirstLoad) {
  WriteFile(folder_ / "a.wrl", kSmallScene);
  WriteFile(folder_ / "b.wrl", kSmallScene);
  SceneHandle scene;
  scene.url = "http://host.example/worlds/start.wrl";
  ASSERT_EQ(Load(scene, (folder_ / "a.wrl").string()), EngineOk);
  EXPECT_EQ(scene.name, "start.wrl");
  EXPECT_EQ(scene.directory, (folder_ / "a.wrl").string());
  ASSERT_EQ(Load(scene, (folder_ / "b.wrl").string()), EngineOk);
  EXPECT_EQ(scene.url, "http://host.example/worlds/start.wrl");
  EXPECT_EQ(scene.directory, (folder_ / "a.wrl").string());

  // A view still shows the world: it stays until the handle goes.
  scene.viewCount = 1;
  const CBrowser* shown = scene.world.get();
  ASSERT_EQ(Load(scene, (folder_ / "a.wrl").string()), EngineOk);
  ASSERT_EQ(scene.replacedWorlds.size(), 1u);
  EXPECT_EQ(scene.replacedWorlds[0].get(), shown);
  EXPECT_NE(scene.world.get(), shown);
}

TEST_F(SceneFile, ReportsLoadFailuresWithTheirCodesAndTexts) {
  SceneHandle scene;
  char path[VX_TEXT_BUFFER_SIZE] = "a.wrl";
  EXPECT_EQ(LoadSceneFile(nullptr, path, error_), EngineNullArgument);
  path[0] = '\0';
  EXPECT_EQ(LoadSceneFile(&scene, path, error_), EngineNullArgument);

  EXPECT_EQ(Load(scene, (folder_ / "missing.wrl").string()), EngineLoadFailed);
  EXPECT_STREQ(error_, "Error:  Could not open VRML file!!!");
  EXPECT_EQ(Load(scene, folder_.string()), EngineOpenFailed) << "a folder does not open as a stream";
  EXPECT_TRUE(scene.url.empty()) << "failures before the read keep the handle as it was";

  WriteFile(folder_ / "old.wrl", "#VRML V1.0 ascii\nSeparator { }\n");
  EXPECT_EQ(Load(scene, (folder_ / "old.wrl").string()), EngineLoadFailed);
  EXPECT_STREQ(error_, "This is not a VRML 2.0 file.");
  EXPECT_FALSE(scene.world);
  EXPECT_EQ(scene.name, "old.wrl");
}

TEST_F(SceneFile, LoadsAGzipFileThroughTheHostsCompression) {
  const fs::path packed = folder_ / "w.wrl.gz";
  gzFile out = gzopen(packed.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(gzwrite(out, kSmallScene.data(), static_cast<unsigned>(kSmallScene.size())),
            static_cast<int>(kSmallScene.size()));
  ASSERT_EQ(gzclose(out), Z_OK);

  SceneHandle scene;
  ASSERT_EQ(Load(scene, packed.string()), EngineOk);
  EXPECT_EQ(std::string(path_), (folder_ / "w.wrl").string());
  ASSERT_TRUE(scene.world);
  EXPECT_NE(scene.world->FindNode("G"), nullptr);
  // The user's file is decompressed as a copy: it stays, loads again, and
  // nothing is left beside it.
  EXPECT_TRUE(fs::exists(packed));
  EXPECT_FALSE(fs::exists(folder_ / "w.wrl"));
  SceneHandle again;
  EXPECT_EQ(Load(again, packed.string()), EngineOk);

  WriteFile(folder_ / "broken.wrl.gz", "not gzip at all");
  EXPECT_EQ(Load(scene, (folder_ / "broken.wrl.gz").string()), EngineLoadFailed);
  EXPECT_STREQ(error_, "Error Decompressing GZip File!!!");
  EXPECT_TRUE(scene.world) << "the world of the last good load stays";

  SetHostTable(nullptr);
  WriteFile(folder_ / "x.wrl.gz", "");
  EXPECT_EQ(Load(scene, (folder_ / "x.wrl.gz").string()), EngineLoadFailed) << "no host to decompress";
  EXPECT_STREQ(error_, "Error Decompressing GZip File!!!");
}

TEST_F(SceneFile, AGzipStreamIsDecompressedWhateverTheFileIsCalled) {
  const fs::path packed = folder_ / "w.wrl";
  gzFile out = gzopen(packed.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(gzwrite(out, kSmallScene.data(), static_cast<unsigned>(kSmallScene.size())),
            static_cast<int>(kSmallScene.size()));
  ASSERT_EQ(gzclose(out), Z_OK);
  const std::string bytes = ReadFile(packed);

  SceneHandle scene;
  ASSERT_EQ(Load(scene, packed.string()), EngineOk) << error_;
  EXPECT_EQ(std::string(path_), packed.string()) << "the world keeps its name";
  ASSERT_TRUE(scene.world);
  EXPECT_NE(scene.world->FindNode("G"), nullptr);
  EXPECT_EQ(ReadFile(packed), bytes) << "the user's file stays as it was";
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1) << "nothing left beside it";
}

TEST_F(SceneFile, ALoadThatWentOnWithoutSomethingSucceedsAndSaysWhat) {
  WriteFile(folder_ / "a.wrl", "#VRML V2.0 utf8\nDEF G Group { }\nROUTE G.nothing TO G.set_bboxSize\n"
                               "ROUTE G.bboxSize TO H.bboxSize\n");
  SceneHandle scene;
  ASSERT_EQ(Load(scene, (folder_ / "a.wrl").string()), EngineOk);
  EXPECT_STREQ(error_, "ROUTE G.nothing TO G.set_bboxSize: the events do not exist, or their types differ.");
  EXPECT_NE(scene.world->FindNode("G"), nullptr);
}

TEST_F(SceneFile, TheSampleWorldInOtherToolsSyntaxLoadsWithoutProblems) {
  SceneHandle scene;
  fs::copy_file(fs::path(VX_TEST_DATA_DIR) / "scene" / "sample_world.wrl", folder_ / "sample.wrl");
  ASSERT_EQ(Load(scene, (folder_ / "sample.wrl").string()), EngineOk) << error_;
  EXPECT_STREQ(error_, "untouched") << "no problem to report";
  CBrowser& world = *scene.world;
  auto field = [&](CNode* node, const char* name) -> void* { return node ? node->GetFieldByName(name) : nullptr; };

  EXPECT_EQ(static_cast<SFVec3f*>(field(world.FindNode("Post"), "translation"))->z, 3.0f);
  CNode* pick = world.FindNode("Pick");
  EXPECT_EQ(*static_cast<int32_t*>(field(pick, "whichChoice")), 1);
  const auto& choice = *static_cast<MFNode*>(field(pick, "choice"));
  ASSERT_EQ(choice.count, 2);
  EXPECT_EQ(static_cast<SFVec3f*>(field(choice[1].GetNode(), "translation"))->x, 4.0f) << "the closer Post";

  CNode* a = world.FindNode("A");
  CNode* b = world.FindNode("B");
  ASSERT_TRUE(a && b);
  EXPECT_NE(static_cast<CNodeRef*>(field(a, "look"))->GetNode(), static_cast<CNodeRef*>(field(b, "look"))->GetNode());
  CNode* body = CNodeRef(a).Resolve();
  ASSERT_NE(body, a) << "the body with its Script read";
  const SFVec3f moved{2, 3, 4};
  body->SetField("translation", &moved);
  EXPECT_EQ(static_cast<SFVec3f*>(field(a, "where"))->y, 3.0f);
  EXPECT_EQ(static_cast<SFVec3f*>(field(world.FindNode("Follower"), "translation"))->z, 4.0f)
      << "out of the body, through the instance and a ROUTE by bare names";
}

TEST_F(SceneFile, ASavedSceneReloadsAsTheSameScene) {
  WriteFile(folder_ / "a.wrl", kSmallScene);
  SceneHandle scene;
  ASSERT_EQ(Load(scene, (folder_ / "a.wrl").string()), EngineOk);
  const std::string saved = Saved(scene);
  EXPECT_EQ(saved, "#VRML V2.0 utf8\n\n\nDEF G Group {\n\tbboxSize 1 2 3\n}\n\n");
  EXPECT_EQ(LoadAndSave(folder_ / "saved.wrl"), saved);
}

TEST_F(SceneFile, AFailedSaveReportsItAndLeavesTheOldFile) {
  WriteFile(folder_ / "a.wrl", kSmallScene);
  SceneHandle scene;
  EXPECT_EQ(SaveSceneFile(nullptr, "x.wrl", 0), EngineNullArgument);
  EXPECT_EQ(SaveSceneFile(&scene, (folder_ / "x.wrl").c_str(), 0), EngineNullArgument) << "no world";
  EXPECT_FALSE(fs::exists(folder_ / "x.wrl"));
  ASSERT_EQ(Load(scene, (folder_ / "a.wrl").string()), EngineOk);

  const fs::path kept = folder_ / "kept.wrl";
  const std::string old(4096, '#');
  WriteFile(kept, old);
  {
    ScopedFault fault(FaultKind::kOpen, 1);
    EXPECT_EQ(SaveSceneFile(&scene, kept.c_str(), 0), EngineOpenFailed);
  }
  {
    // The disk fills up half-way through the text.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit small = before;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    const EngineResult result = SaveSceneFile(&scene, kept.c_str(), 0);
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_EQ(result, EngineOpenFailed);
  }
  EXPECT_EQ(ReadFile(kept), old);
  EXPECT_EQ(SaveSceneFile(&scene, (folder_ / "no" / "such" / "folder.wrl").c_str(), 0), EngineOpenFailed);
  fs::create_directories(folder_ / "folder.wrl" / "inside");
  EXPECT_EQ(SaveSceneFile(&scene, (folder_ / "folder.wrl").c_str(), 0), EngineOpenFailed);
  EXPECT_TRUE(fs::exists(folder_ / "folder.wrl" / "inside"));

  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().filename().string().find(".vxsave"), std::string::npos) << "a temporary file was left";
  }

  EXPECT_EQ(SaveSceneFile(&scene, kept.c_str(), 0), EngineOk);
  EXPECT_EQ(ReadFile(kept), Saved(scene)) << "a good save replaces the whole file";
}

// Strings keep every character through a load and a save: quotes and
// backslashes are escaped, brackets inside strings are not touched.
TEST_F(SceneFile, StringsSurviveLoadAndSave) {
  WriteFile(folder_ / "s.wrl",
            "#VRML V2.0 utf8\n"
            "DEF S Script {\n"
            "  url \"vxn:math\"\n"
            "  field SFString s \"say \\\"hi\\\" to C:\\\\dir\"\n"
            "  field MFString m [\"{a}\" \"[b]\" \"\\\\\"]\n"
            "}\n");
  SceneHandle scene;
  ASSERT_EQ(Load(scene, (folder_ / "s.wrl").string()), EngineOk) << error_;
  CNode* script = scene.world->FindNode("S");
  ASSERT_NE(script, nullptr);
  EXPECT_STREQ(static_cast<const SFString*>(script->GetFieldByName("s"))->text, "say \"hi\" to C:\\dir");
  const auto& list = *static_cast<const MFString*>(script->GetFieldByName("m"));
  ASSERT_EQ(list.count, 3);
  EXPECT_STREQ(list[0].text, "{a}");
  EXPECT_STREQ(list[1].text, "[b]");
  EXPECT_STREQ(list[2].text, "\\");

  const std::string saved = Saved(scene);
  EXPECT_NE(saved.find("field SFString s \"say \\\"hi\\\" to C:\\\\dir\"\n"), std::string::npos) << saved;
  EXPECT_EQ(LoadAndSave(folder_ / "saved.wrl"), saved);
}

// write(read(write(x))) == write(x) for every scene file of the test data
// that loads.
TEST_F(SceneFile, EveryTestDataSceneSurvivesASaveAndReload) {
  int roundTrips = 0;
  for (const auto& entry : fs::recursive_directory_iterator(VX_TEST_DATA_DIR)) {
    if (entry.path().extension() != ".wrl") continue;
    const fs::path copy = folder_ / entry.path().filename();
    fs::copy_file(entry.path(), copy, fs::copy_options::overwrite_existing);
    const std::string first = LoadAndSave(copy);
    if (first.empty()) continue;
    const fs::path saved = folder_ / "first.wrl";
    WriteFile(saved, first);
    const std::string second = LoadAndSave(saved);
    EXPECT_EQ(second, first) << entry.path();
    ++roundTrips;
  }
  EXPECT_GE(roundTrips, 4);
}

}  // namespace
}  // namespace vx::test
