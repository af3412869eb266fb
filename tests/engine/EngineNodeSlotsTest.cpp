// Nodes and field values through the engine module's slots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <vantessel/NodeTypes.h>

#include "tests/engine/EngineTestHost.h"

namespace vx::test {
namespace {

EngineTestHost& Host() { return EngineTestHost::Get(); }

class EngineNodeSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = Host().Engine<VxCreateEngineInstanceFn>(VxEngineCreateEngineInstance)();
    scene_ = Host().Engine<VxCreateSceneFn>(VxEngineCreateScene)(instance_);
    ASSERT_NE(scene_, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(Host().Engine<VxDestroySceneFn>(VxEngineDestroyScene)(scene_), EngineOk);
    EXPECT_EQ(Host().Engine<VxDestroyEngineInstanceFn>(VxEngineDestroyEngineInstance)(instance_), EngineOk);
  }

  // The text of a value parsed from text by the engine; the block is freed
  // with free, as a host does.
  std::string RoundTrip(const char* text, FieldType type) {
    void* block = nullptr;
    int32_t parsed = parse(scene_, nullptr, text, type, &block);
    EXPECT_EQ(parsed, 0) << text;
    if (!block) return "<none>";
    char out[VX_TEXT_BUFFER_SIZE] = {};
    EXPECT_EQ(format(block, type, out), EngineOk);
    auto* list = static_cast<MFValue*>(block);
    if (type >= FieldTypeMFColor) std::free(list->elements);
    std::free(block);
    return out;
  }

  VxParseFieldValueFn parse = Host().Engine<VxParseFieldValueFn>(VxEngineParseFieldValue);
  VxFormatFieldValueFn format = Host().Engine<VxFormatFieldValueFn>(VxEngineFormatFieldValue);
  EngineInstance* instance_ = nullptr;
  SceneHandle* scene_ = nullptr;
};

TEST_F(EngineNodeSlotsTest, FieldValuesGoFromTextToBlocksAndBack) {
  EXPECT_EQ(RoundTrip("1.00,2.50,-3.00", FieldTypeSFVec3f), "1.00,2.50,-3.00");
  EXPECT_EQ(RoundTrip("2,0.500,1.000", FieldTypeMFFloat), "2,0.500,1.000");
  EXPECT_EQ(RoundTrip("1", FieldTypeSFBool), "1");
}

TEST_F(EngineNodeSlotsTest, RefusedTextAndMissingArgumentsMakeNoValue) {
  void* block = reinterpret_cast<void*>(1);
  EXPECT_NE(parse(nullptr, nullptr, "-4,1.0", FieldTypeMFFloat, &block), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_NE(parse(scene_, nullptr, nullptr, FieldTypeSFFloat, &block), 0);
  char out[VX_TEXT_BUFFER_SIZE];
  EXPECT_EQ(format(nullptr, FieldTypeSFFloat, out), EngineNullArgument);
}

TEST_F(EngineNodeSlotsTest, AnEmptyWorldHasNoNodesAndNullArgumentsGiveTwo) {
  auto find = Host().Engine<VxFindNodeByNameFn>(VxEngineFindNodeByName);
  VxNodeRef* ref = reinterpret_cast<VxNodeRef*>(1);
  EXPECT_EQ(find(scene_, "Lamp", &ref), EngineOk);
  EXPECT_EQ(ref, nullptr);
  EXPECT_EQ(find(nullptr, "Lamp", &ref), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxGetBoundNodeRefFn>(VxEngineGetBoundNodeRef)(nullptr, 29, &ref), EngineNullArgument);

  int32_t type = -1;
  EXPECT_EQ(Host().Engine<VxGetNodeTypeIdFn>(VxEngineGetNodeTypeId)(scene_, nullptr, &type), EngineNullArgument);
  EXPECT_EQ(Host().Engine<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(nullptr, ref, "on", &type),
            EngineNullArgument);
  EXPECT_EQ(type, -1);
}

// A scene file in a folder of its own, removed afterwards.
class SceneFolder {
 public:
  SceneFolder() {
    folder_ = std::filesystem::temp_directory_path() /
              ("vx_engine_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(folder_);
  }
  ~SceneFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(folder_ / name) << text;
    return Path(name);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path folder_;
};

constexpr const char* kWorld =
    "#VRML V2.0 utf8\n"
    "DEF Box Transform { translation 1 2 3 }\n"
    "DEF S Script { url [ \"vxn:math\" ] }\n";

class EngineSceneRoundTripTest : public EngineNodeSlotsTest {
 protected:
  EngineResult Load(SceneHandle* scene, const std::string& file) {
    std::strncpy(path_, file.c_str(), sizeof path_ - 1);
    return Host().Engine<VxLoadSceneFileFn>(VxEngineLoadSceneFile)(scene, path_, error_);
  }
  VxNodeRef* Find(SceneHandle* scene, const char* name) {
    VxNodeRef* ref = nullptr;
    EXPECT_EQ(Host().Engine<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene, name, &ref), EngineOk) << name;
    return ref;
  }
  void* FieldOf(VxNodeRef* ref, const char* field) {
    void* value = nullptr;
    EXPECT_EQ(Host().Engine<VxGetNodeFieldValueFn>(VxEngineGetNodeFieldValue)(scene_, ref, field, &value), EngineOk);
    return value;
  }
  void Release(VxNodeRef* ref) { EXPECT_EQ(Host().Engine<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(ref), EngineOk); }

  SceneFolder folder_;
  char path_[VX_TEXT_BUFFER_SIZE] = {};
  char error_[VX_TEXT_BUFFER_SIZE] = {};
};

TEST_F(EngineSceneRoundTripTest, LoadQuerySetAndSaveThroughTheSlots) {
  ASSERT_EQ(Load(scene_, folder_.Write("a.wrl", kWorld)), EngineOk) << error_;
  VxNodeRef* box = Find(scene_, "Box");
  ASSERT_NE(box, nullptr);
  int32_t type = 0;
  EXPECT_EQ(Host().Engine<VxGetNodeTypeIdFn>(VxEngineGetNodeTypeId)(scene_, box, &type), EngineOk);
  EXPECT_EQ(type, NodeTypeTransform);
  EXPECT_EQ(Host().Engine<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(scene_, box, "translation", &type),
            EngineOk);
  EXPECT_EQ(type, FieldTypeSFVec3f);
  EXPECT_EQ(static_cast<SFVec3f*>(FieldOf(box, "translation"))->y, 2.0f);

  void* block = nullptr;
  ASSERT_EQ(parse(scene_, nullptr, "4.00,5.00,6.00", FieldTypeSFVec3f, &block), 0);
  EXPECT_EQ(Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField)(scene_, box, "translation", block), EngineOk);
  std::free(block);
  char text[VX_TEXT_BUFFER_SIZE] = {};
  EXPECT_EQ(format(FieldOf(box, "translation"), FieldTypeSFVec3f, text), EngineOk);
  EXPECT_STREQ(text, "4.00,5.00,6.00");

  // A list value is taken by the field; the caller's block keeps no array.
  VxNodeRef* script = Find(scene_, "S");
  ASSERT_EQ(parse(scene_, nullptr, "1,vxn:logic", FieldTypeMFString, &block), 0);
  EXPECT_EQ(Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField)(scene_, script, "url", block), EngineOk);
  EXPECT_EQ(static_cast<MFValue*>(block)->elements, nullptr);
  std::free(block);
  EXPECT_STREQ(static_cast<SFString*>(static_cast<MFValue*>(FieldOf(script, "url"))->elements)[0].text, "vxn:logic");
  Release(script);
  Release(box);

  ASSERT_EQ(Host().Engine<VxSaveSceneFileFn>(VxEngineSaveSceneFile)(scene_, folder_.Path("b.wrl").c_str(), 1),
            EngineOk);
  SceneHandle* reloaded = Host().Engine<VxCreateSceneFn>(VxEngineCreateScene)(instance_);
  ASSERT_EQ(Load(reloaded, folder_.Path("b.wrl")), EngineOk) << error_;
  box = Find(reloaded, "Box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(static_cast<SFVec3f*>(FieldOf(box, "translation"))->z, 6.0f);
  Release(box);
  EXPECT_EQ(Host().Engine<VxDestroySceneFn>(VxEngineDestroyScene)(reloaded), EngineOk);
}

TEST_F(EngineSceneRoundTripTest, AWorldInOtherToolsSyntaxLoadsWithItsValues) {
  ASSERT_EQ(Load(scene_, std::string(VX_TEST_DATA_DIR) + "/scene/sample_world.wrl"), EngineOk) << error_;
  EXPECT_STREQ(error_, "") << "nothing the load went on without";
  VxNodeRef* pick = Find(scene_, "Pick");
  VxNodeRef* post = Find(scene_, "Post");
  VxNodeRef* lamp = Find(scene_, "A");
  ASSERT_TRUE(pick && post && lamp);
  EXPECT_EQ(*static_cast<int32_t*>(FieldOf(pick, "whichChoice")), 1);
  EXPECT_EQ(static_cast<SFVec3f*>(FieldOf(post, "translation"))->z, 3.0f);
  int32_t type = 0;
  EXPECT_EQ(Host().Engine<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(scene_, lamp, "where", &type), EngineOk);
  EXPECT_EQ(type, FieldTypeSFVec3f);
  EXPECT_EQ(static_cast<SFVec3f*>(FieldOf(lamp, "where"))->y, 1.0f);
  for (VxNodeRef* ref : {pick, post, lamp}) Release(ref);
}

TEST_F(EngineSceneRoundTripTest, UnknownNamesAndFailedLoadsAreReported) {
  ASSERT_EQ(Load(scene_, folder_.Write("a.wrl", kWorld)), EngineOk) << error_;
  VxNodeRef* ref = reinterpret_cast<VxNodeRef*>(1);
  EXPECT_EQ(Host().Engine<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene_, "Nobody", &ref), EngineNodeNotFound);
  EXPECT_EQ(ref, nullptr);

  // A misspelt field from the host changes nothing and is no fault of ours.
  VxNodeRef* box = Find(scene_, "Box");
  ASSERT_NE(box, nullptr);
  SFVec3f moved{7.0f, 7.0f, 7.0f};
  EXPECT_EQ(Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField)(scene_, box, "translatoin", &moved), EngineOk);
  EXPECT_EQ(static_cast<SFVec3f*>(FieldOf(box, "translation"))->x, 1.0f);
  Release(box);

  char name[VX_TEXT_BUFFER_SIZE];
  EXPECT_EQ(Host().Engine<VxGetSceneTextFn>(VxEngineGetSceneUrl)(scene_, name), EngineOk);
  EXPECT_EQ(std::string(name), folder_.Path("a.wrl"));

  EXPECT_EQ(Load(scene_, folder_.Path("missing.wrl")), EngineLoadFailed);
  EXPECT_STREQ(error_, "Error:  Could not open VRML file!!!");

  Host().decompressResult = 1;
  EXPECT_EQ(Load(scene_, folder_.Write("c.wrl.gz", "x")), EngineLoadFailed);
  Host().decompressResult = 0;
  EXPECT_STREQ(error_, "Error Decompressing GZip File!!!");
  ASSERT_FALSE(Host().decompressed.empty());
  EXPECT_TRUE(Host().decompressed.back().ends_with("c.wrl.gz"));
}

}  // namespace
}  // namespace vx::test
