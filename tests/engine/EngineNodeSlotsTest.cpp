// Nodes and field values through the engine module's slots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

}  // namespace
}  // namespace vx::test
