// Nodes and field values through the engine module's slots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

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
  for (const char* text : {"", "abc def ghi", "1,2"}) {
    block = reinterpret_cast<void*>(1);
    EXPECT_NE(parse(scene_, nullptr, text, FieldTypeSFVec3f, &block), 0) << '"' << text << '"';
    EXPECT_EQ(block, nullptr) << "nothing the host could set";
  }
  EXPECT_NE(parse(scene_, nullptr, "3,1,2", FieldTypeMFFloat, &block), 0);
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


constexpr const char* kBindableWorld =
    "#VRML V2.0 utf8\n"
    "DEF View Viewpoint { position 0 0 5 }\n"
    "DEF Nav NavigationInfo { type \"FLY\" }\n"
    "DEF Mist Fog { visibilityRange 10 }\n"
    "DEF Box Transform { translation 1 2 3 }\n";

// A reference is one node pointer wide.
void* NodeOf(VxNodeRef* ref) { return *reinterpret_cast<void**>(ref); }

// What a host may still do with references it holds once their world is
// gone: the nodes answer as nodes without a world.
class HeldNodesTest : public EngineSceneRoundTripTest {
 protected:
  void HoldNodes(SceneHandle* scene) {
    ASSERT_EQ(Load(scene, folder_.Write("bindables.wrl", kBindableWorld)), EngineOk) << error_;
    for (const char* name : {"View", "Nav", "Mist", "Box"}) held_.push_back(Find(scene, name));
    VxNodeRef* bound = nullptr;
    ASSERT_EQ(Host().Engine<VxGetBoundNodeRefFn>(VxEngineGetBoundNodeRef)(scene, NodeTypeViewpoint, &bound), EngineOk);
    held_.push_back(bound);
    for (VxNodeRef* ref : held_) ASSERT_NE(ref, nullptr);
  }

  // Slots 44 to 49 on every held reference, through the given scene handle.
  void UseHeldNodes(SceneHandle* scene) {
    const int16_t on = 1, off = 0;
    for (VxNodeRef* ref : held_) {
      int32_t type = 0;
      EXPECT_EQ(Host().Engine<VxGetNodeTypeIdFn>(VxEngineGetNodeTypeId)(scene, ref, &type), EngineOk);
      EXPECT_NE(type, 0);
      EXPECT_EQ(Host().Engine<VxGetNodeMemberTypeFn>(VxEngineGetNodeEventInType)(scene, ref, "set_bind", &type),
                EngineOk);
      auto send = Host().Engine<VxSetNodeValueFn>(VxEngineSendNodeEvent);
      EXPECT_EQ(send(scene, ref, "set_bind", const_cast<int16_t*>(&on)), EngineOk);
      EXPECT_EQ(send(scene, ref, "set_bind", const_cast<int16_t*>(&off)), EngineOk);
    }
    SFVec3f moved{4.0f, 5.0f, 6.0f};
    EXPECT_EQ(Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField)(scene, held_[0], "position", &moved), EngineOk);
    int32_t type = 0;
    EXPECT_EQ(Host().Engine<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(scene, held_[3], "translation", &type),
              EngineOk);
    EXPECT_EQ(type, FieldTypeSFVec3f);
    void* value = nullptr;
    EXPECT_EQ(Host().Engine<VxGetNodeFieldValueFn>(VxEngineGetNodeFieldValue)(scene, held_[0], "position", &value),
              EngineOk);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(static_cast<SFVec3f*>(value)->z, 6.0f);
  }

  void ReleaseHeldNodes() {
    for (VxNodeRef* ref : held_) Release(ref);
    held_.clear();
  }

  std::vector<VxNodeRef*> held_;
};

TEST_F(HeldNodesTest, ReferencesHeldAcrossAReloadReachNoFreedWorld) {
  HoldNodes(scene_);
  ASSERT_EQ(Load(scene_, folder_.Write("other.wrl", "#VRML V2.0 utf8\nDEF View Viewpoint { }\n")), EngineOk);
  UseHeldNodes(scene_);
  VxNodeRef* bound = nullptr;
  EXPECT_EQ(Host().Engine<VxGetBoundNodeRefFn>(VxEngineGetBoundNodeRef)(scene_, NodeTypeViewpoint, &bound), EngineOk);
  ASSERT_NE(bound, nullptr) << "the new world binds its own Viewpoint";
  EXPECT_NE(NodeOf(bound), NodeOf(held_[0]));
  Release(bound);
  ReleaseHeldNodes();
}

TEST_F(HeldNodesTest, ReferencesHeldAcrossADestroyedSceneCanBeUsedWithOtherScenesAndReleased) {
  SceneHandle* doomed = Host().Engine<VxCreateSceneFn>(VxEngineCreateScene)(instance_);
  HoldNodes(doomed);
  ASSERT_EQ(Host().Engine<VxDestroySceneFn>(VxEngineDestroyScene)(doomed), EngineOk);
  ASSERT_EQ(Load(scene_, folder_.Write("live.wrl", kBindableWorld)), EngineOk) << error_;
  UseHeldNodes(scene_);
  ReleaseHeldNodes();
  VxNodeRef* box = Find(scene_, "Box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(static_cast<SFVec3f*>(FieldOf(box, "translation"))->y, 2.0f) << "the live scene is untouched";
  Release(box);
}

TEST_F(EngineSceneRoundTripTest, ANodeValueSetOnAFieldIsTakenFromTheCallersBlock) {
  ASSERT_EQ(Load(scene_, folder_.Write("shape.wrl", "#VRML V2.0 utf8\nDEF S Shape { }\n")), EngineOk) << error_;
  VxNodeRef* shape = Find(scene_, "S");
  ASSERT_NE(shape, nullptr);
  void* block = nullptr;
  ASSERT_EQ(parse(scene_, nullptr, "Box", FieldTypeSFNode, &block), 0);
  ASSERT_NE(static_cast<SFNode*>(block)->node, nullptr);
  EXPECT_EQ(Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField)(scene_, shape, "geometry", block), EngineOk);
  EXPECT_EQ(static_cast<SFNode*>(block)->node, nullptr) << "the host frees the block with free";
  std::free(block);
  char text[VX_TEXT_BUFFER_SIZE] = {};
  void* geometry = FieldOf(shape, "geometry");
  ASSERT_NE(geometry, nullptr);
  EXPECT_NE(static_cast<SFNode*>(geometry)->node, nullptr);
  EXPECT_EQ(format(geometry, FieldTypeSFNode, text), EngineOk);
  Release(shape);
}

// A node put inside itself would send every later walk through the scene
// round until the stack overflows; the value is still taken from the block.
TEST_F(EngineSceneRoundTripTest, ANodeValueThatWouldHoldItsTargetIsRefused) {
  ASSERT_EQ(Load(scene_, folder_.Write("nest.wrl", "#VRML V2.0 utf8\nDEF Outer Group { children DEF Inner Group { } }\n")),
            EngineOk)
      << error_;
  VxNodeRef* inner = Find(scene_, "Inner");
  ASSERT_NE(inner, nullptr);
  auto set = Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField);
  for (const char* text : {"1,Outer", "1,Inner"}) {
    void* block = nullptr;
    ASSERT_EQ(parse(scene_, nullptr, text, FieldTypeMFNode, &block), 0) << text;
    EXPECT_EQ(set(scene_, inner, "children", block), EngineValueRefused) << text;
    EXPECT_EQ(static_cast<MFValue*>(block)->elements, nullptr) << "the host frees the block with free";
    std::free(block);
  }
  EXPECT_EQ(static_cast<MFValue*>(FieldOf(inner, "children"))->count, 0);
  Release(inner);
}

// A ROUTE that hands the outer group's children to the inner one, and a
// Script free to name what lies above it.
constexpr const char* kRoutedWorld =
    "#VRML V2.0 utf8\n"
    "DEF Outer Group { children [\n"
    "  DEF Inner Group { children [ Shape { geometry Box { } } ] }\n"
    "  DEF Keeper Script { field MFNode held [ ] }\n"
    "] }\n"
    "ROUTE Outer.children_changed TO Inner.set_children\n";

// Both slots that take a node value refuse one that would make the hierarchy
// a cycle, directly or further along a ROUTE, and take any node for a
// Script's field; the scene still goes whole when it is destroyed. Text
// through slot 50 into slot 48 is also the road of a plug-in's SetProperty
// parameter.
TEST_F(EngineSceneRoundTripTest, SlotsRefuseACycleWhereverItWouldFormAndScriptFieldsTakeAnyNode) {
  ASSERT_EQ(Load(scene_, folder_.Write("routed.wrl", kRoutedWorld)), EngineOk) << error_;
  VxNodeRef* outer = Find(scene_, "Outer");
  VxNodeRef* inner = Find(scene_, "Inner");
  VxNodeRef* keeper = Find(scene_, "Keeper");
  auto set = Host().Engine<VxSetNodeValueFn>(VxEngineSetNodeField);
  auto send = Host().Engine<VxSetNodeValueFn>(VxEngineSendNodeEvent);
  // The value of the text through the slot; an event's nodes are handed
  // back through slot 48, into the Script's field.
  auto deliver = [&](VxSetNodeValueFn slot, VxNodeRef* node, const char* member, const char* text) {
    void* block = nullptr;
    EXPECT_EQ(parse(scene_, nullptr, text, FieldTypeMFNode, &block), 0) << text;
    const EngineResult result = slot(scene_, node, member, block);
    if (slot == send) {
      EXPECT_EQ(set(scene_, keeper, "held", block), EngineOk) << text;
    }
    std::free(block);
    return result;
  };
  EXPECT_EQ(deliver(send, inner, "set_children", "1,Outer"), EngineValueRefused);
  EXPECT_EQ(deliver(send, inner, "addChildren", "1,Inner"), EngineValueRefused);
  EXPECT_EQ(deliver(set, inner, "children", "1,Outer"), EngineValueRefused);
  EXPECT_EQ(deliver(set, outer, "children", "2,Inner,Keeper"), EngineOk) << "the ROUTE's end refuses";
  EXPECT_EQ(deliver(send, outer, "set_children", "2,Inner,Keeper"), EngineOk);
  EXPECT_EQ(static_cast<MFValue*>(FieldOf(inner, "children"))->count, 1);
  EXPECT_EQ(deliver(set, keeper, "held", "2,Outer,Keeper"), EngineOk);
  EXPECT_EQ(static_cast<MFValue*>(FieldOf(keeper, "held"))->count, 2);
  VxNodeRef* nobody = nullptr;
  EXPECT_EQ(Host().Engine<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene_, "Nobody", &nobody), EngineNodeNotFound)
      << "a search through the whole scene still ends";
  Release(keeper);
  Release(inner);
  Release(outer);
}

// An EXTERNPROTO whose file could not be fetched is still an instance, of
// the PROTO instance type; the slots that need a node to act on find none.
TEST_F(EngineSceneRoundTripTest, AnInstanceWithoutItsBodyHasTheInstanceType) {
  ASSERT_EQ(Load(scene_, folder_.Write("missing.wrl",
                                       "#VRML V2.0 utf8\n"
                                       "EXTERNPROTO Missing [ field SFFloat value ] \"no-such-file.wrl\"\n"
                                       "DEF X Missing { value 1 }\n")),
            EngineOk)
      << error_;
  VxNodeRef* instance = Find(scene_, "X");
  ASSERT_NE(instance, nullptr);
  int32_t type = -1;
  EXPECT_EQ(Host().Engine<VxGetNodeTypeIdFn>(VxEngineGetNodeTypeId)(scene_, instance, &type), EngineOk);
  EXPECT_EQ(type, NodeTypeProtoInstance);
  EXPECT_EQ(Host().Engine<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(scene_, instance, "value", &type),
            EngineNodeNotFound);
  Release(instance);
}

// The count in front of a list text, and its element words.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t start = 0;
  for (size_t comma = text.find(','); comma != std::string::npos; comma = text.find(',', start)) {
    words.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  words.push_back(text.substr(start));
  return words;
}

TEST_F(EngineNodeSlotsTest, ALongListIsCutBetweenElementsAndTheCutIsReported) {
  std::string text = "100";
  for (int i = 0; i < 100; ++i) text += ",123.456";
  void* block = nullptr;
  ASSERT_EQ(parse(scene_, nullptr, text.c_str(), FieldTypeMFFloat, &block), 0);
  char out[VX_TEXT_BUFFER_SIZE];
  EXPECT_EQ(format(block, FieldTypeMFFloat, out), EngineTextCut);
  std::free(static_cast<MFValue*>(block)->elements);
  std::free(block);

  const std::vector<std::string> words = Words(out);
  ASSERT_GT(words.size(), 1u);
  EXPECT_EQ(words.front(), std::to_string(words.size() - 1)) << out;
  for (size_t i = 1; i < words.size(); ++i) EXPECT_EQ(words[i], "123.456") << out;

  // What was cut reads back as the elements it shows.
  ASSERT_EQ(parse(scene_, nullptr, out, FieldTypeMFFloat, &block), 0);
  EXPECT_EQ(static_cast<MFValue*>(block)->count, static_cast<int32_t>(words.size() - 1));
  EXPECT_EQ(static_cast<float*>(static_cast<MFValue*>(block)->elements)[words.size() - 2], 123.456f);
  std::free(static_cast<MFValue*>(block)->elements);
  std::free(block);
}

TEST_F(EngineNodeSlotsTest, LargeTimesReadBackAndOnesThatDoNotFitAreReported) {
  const double large = 1e61;
  char out[VX_TEXT_BUFFER_SIZE];
  ASSERT_EQ(format(&large, FieldTypeSFTime, out), EngineOk);
  void* block = nullptr;
  ASSERT_EQ(parse(scene_, nullptr, out, FieldTypeSFTime, &block), 0) << out;
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(*static_cast<double*>(block), large);
  std::free(block);

  const double largest = -std::numeric_limits<double>::max();
  EXPECT_EQ(format(&largest, FieldTypeSFTime, out), EngineTextCut);
  EXPECT_STREQ(out, "") << "no number cut short";
}

}  // namespace
}  // namespace vx::test
