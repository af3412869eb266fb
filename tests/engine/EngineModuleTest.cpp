// The engine module as a host sees it: the builder's registration, the
// instance and scene slots, the download slots and the module's exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "tests/engine/EngineTestHost.h"

namespace vx::test {
namespace {

EngineTestHost& Host() { return EngineTestHost::Get(); }

TEST(EngineModuleTest, RegistersVexlinWithFiftyNineSlotsAsVersionTwoTwo) {
  EXPECT_EQ(Host().DefinedName(), "Vexlin");
  EXPECT_EQ(Host().DefinedValue(), 0);
  EXPECT_EQ(Host().SlotCountCall(), (std::array<int32_t, 4>{59, 0, 2, 2}));
  EXPECT_EQ(Host().BuilderResult(), 0);

  // Every slot but 5 is set, in this order.
  const std::vector<int16_t> order = {1,  0,  2,  3,  4,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20,
                                      21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 54, 32, 33, 55, 56, 34, 35, 36, 37,
                                      38, 39, 40, 41, 42, 53, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 57, 58};
  EXPECT_EQ(Host().SetOrder(), order);
  EXPECT_EQ(Host().Slot(VxEngineEmptySlot5), nullptr);
  for (int16_t slot : order) EXPECT_NE(Host().Slot(slot), nullptr) << "slot " << slot;
}

TEST(EngineModuleTest, ReportsInterfaceVersionOneElevenAndReservedSlotsAnswerZero) {
  uint16_t major = 0;
  uint16_t minor = 0;
  EXPECT_EQ(Host().Engine<VxGetEngineVersionFn>(VxEngineGetEngineVersion)(&major, &minor), EngineOk);
  EXPECT_EQ(major, 1);
  EXPECT_EQ(minor, 11);
  EXPECT_EQ(Host().Engine<VxReservedSlotFn>(VxEngineReservedSlot9)(), EngineOk);
  EXPECT_EQ(Host().Engine<VxReservedSlotFn>(VxEngineReservedSlot10)(), EngineOk);
}

// The module's dynamic symbol table holds nothing but the builder.
TEST(EngineModuleTest, ExportsOnlyTheBuilder) {
  std::string command = std::string("nm -D --defined-only '") + VX_ENGINE_MODULE + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    text.erase(text.find_last_not_of("\r\n") + 1);
    names.insert(text.substr(text.find_last_of(' ') + 1));
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(names, (std::set<std::string>{"Vexlin", "VxExport1"}));
}

class EngineInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = Host().Engine<VxCreateEngineInstanceFn>(VxEngineCreateEngineInstance)();
    ASSERT_NE(instance_, nullptr);
  }
  void TearDown() override {
    for (SceneHandle* scene : scenes_) EXPECT_EQ(destroyScene(scene), EngineOk);
    EXPECT_EQ(destroyInstance(instance_), EngineOk);
  }
  SceneHandle* AddScene() {
    SceneHandle* scene = createScene(instance_);
    if (scene) scenes_.push_back(scene);
    return scene;
  }

  VxCreateSceneFn createScene = Host().Engine<VxCreateSceneFn>(VxEngineCreateScene);
  VxDestroySceneFn destroyScene = Host().Engine<VxDestroySceneFn>(VxEngineDestroyScene);
  VxDestroyEngineInstanceFn destroyInstance =
      Host().Engine<VxDestroyEngineInstanceFn>(VxEngineDestroyEngineInstance);
  EngineInstance* instance_ = nullptr;
  std::vector<SceneHandle*> scenes_;
};

TEST_F(EngineInstanceTest, HoldsThirtyTwoScenesAndRefusesTeardownWhileScenesRemain) {
  for (int i = 0; i < 32; ++i) ASSERT_NE(AddScene(), nullptr) << "scene " << i;
  EXPECT_EQ(createScene(instance_), nullptr);

  EXPECT_EQ(destroyInstance(instance_), EngineInstanceHasScenes);
  EXPECT_EQ(destroyScene(scenes_[1]), EngineOk);
  scenes_.erase(scenes_.begin() + 1);
  EXPECT_NE(AddScene(), nullptr) << "a destroyed scene frees its place";
}

TEST_F(EngineInstanceTest, TakesTheDownloadServiceOnceForAllInstancesAndGivesItBackWithTheLast) {
  int acquired = Host().Download().acquired;
  EngineInstance* second = Host().Engine<VxCreateEngineInstanceFn>(VxEngineCreateEngineInstance)();
  EXPECT_EQ(Host().Download().acquired, acquired);
  int released = Host().Download().released;
  EXPECT_EQ(destroyInstance(second), EngineOk);
  EXPECT_EQ(Host().Download().released, released);
}

TEST_F(EngineInstanceTest, NullHandlesGiveTwo) {
  EXPECT_EQ(destroyInstance(nullptr), EngineNullArgument);
  EXPECT_EQ(destroyScene(nullptr), EngineNullArgument);
  EXPECT_EQ(createScene(nullptr), nullptr);
  char text[VX_TEXT_BUFFER_SIZE];
  uint32_t limit = 0;
  EXPECT_EQ(Host().Engine<VxGetDownloadStatusTextFn>(VxEngineGetDownloadStatusText)(nullptr, text),
            EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxClearDownloadCacheFn>(VxEngineClearDownloadCache)(nullptr), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxGetCacheSizeLimitFn>(VxEngineGetCacheSizeLimit)(nullptr, &limit), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxSetCacheSizeLimitFn>(VxEngineSetCacheSizeLimit)(nullptr, 1), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxPollDownloadsFn>(VxEnginePollDownloads)(nullptr), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxSetNetworkEnabledFn>(VxEngineSetNetworkEnabled)(nullptr, 1), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxStartEngineDownloadFn>(VxEngineStartEngineDownload)(instance_, nullptr, nullptr, nullptr),
            EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxSetSceneTextFn>(VxEngineSetSceneUrl)(nullptr, "a"), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxGetSceneTextFn>(VxEngineGetSceneUrl)(nullptr, text), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxSetSceneTextFn>(VxEngineSetSceneDirectory)(nullptr, "a"), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxGetSceneTextFn>(VxEngineGetSceneDirectory)(nullptr, text), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(nullptr), EngineNullArgument);
  Host().Engine<VxRunRemoteCommandsFn>(VxEngineRunRemoteCommands)(nullptr);
}

// A caller's buffer gets at most 255 characters and a terminator, however
// long the text kept.
TEST_F(EngineInstanceTest, SceneUrlAndDirectoryComeBackCutToTheCallersBuffer) {
  SceneHandle* scene = AddScene();
  std::string longUrl = "http://example.test/" + std::string(400, 'u');
  ASSERT_EQ(Host().Engine<VxSetSceneTextFn>(VxEngineSetSceneUrl)(scene, longUrl.c_str()), EngineOk);
  ASSERT_EQ(Host().Engine<VxSetSceneTextFn>(VxEngineSetSceneDirectory)(scene, "/worlds/"), EngineOk);

  char out[VX_TEXT_BUFFER_SIZE + 1];
  std::memset(out, '#', sizeof out);
  ASSERT_EQ(Host().Engine<VxGetSceneTextFn>(VxEngineGetSceneUrl)(scene, out), EngineOk);
  EXPECT_EQ(std::string(out), longUrl.substr(0, VX_TEXT_BUFFER_SIZE - 1));
  EXPECT_EQ(out[VX_TEXT_BUFFER_SIZE], '#');
  ASSERT_EQ(Host().Engine<VxGetSceneTextFn>(VxEngineGetSceneDirectory)(scene, out), EngineOk);
  EXPECT_STREQ(out, "/worlds/");
}

TEST_F(EngineInstanceTest, DownloadSlotsCallTheHostsDownloadService) {
  DownloadDouble& download = Host().Download();
  uint32_t limit = 0;
  ASSERT_EQ(Host().Engine<VxSetCacheSizeLimitFn>(VxEngineSetCacheSizeLimit)(instance_, 1234), EngineOk);
  EXPECT_EQ(Host().Engine<VxGetCacheSizeLimitFn>(VxEngineGetCacheSizeLimit)(instance_, &limit), EngineOk);
  EXPECT_EQ(limit, 1234u);
  EXPECT_GT(download.configWritten, 0);

  int32_t request = -5;
  EXPECT_EQ(Host().Engine<VxStartEngineDownloadFn>(VxEngineStartEngineDownload)(instance_, "a.wrl", nullptr, &request),
            EngineOk);
  EXPECT_EQ(request, download.nextRequest);
  EXPECT_EQ(download.lastUrl, "a.wrl");
  EXPECT_EQ(Host().Engine<VxStartEngineDownloadToFileFn>(VxEngineStartEngineDownloadToFile)(
                instance_, "b.jpg", "/tmp/b.jpg", nullptr, nullptr),
            EngineOk);
  EXPECT_EQ(download.lastLocalPath, "/tmp/b.jpg");

  int polls = download.polls;
  EXPECT_EQ(Host().Engine<VxPollDownloadsFn>(VxEnginePollDownloads)(instance_), EngineOk);
  EXPECT_EQ(download.polls, polls + 1);

  download.progressText = "Loading 3 of 4";
  char text[VX_TEXT_BUFFER_SIZE] = {};
  EXPECT_EQ(Host().Engine<VxGetDownloadStatusTextFn>(VxEngineGetDownloadStatusText)(instance_, text), EngineOk);
  EXPECT_STREQ(text, "Loading 3 of 4");
}

}  // namespace
}  // namespace vx::test
