#include <gtest/gtest.h>

#include <cmath>

#include "EventRecorder.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/InterpolatorNodes.h"

namespace vx::test {
namespace {

template <typename T, size_t N>
void Store(CNode& node, std::string_view field, const T (&values)[N]) {
  MF<T> list{static_cast<int32_t>(N), const_cast<T*>(values)};
  node.SetField(field, &list);
}

void SendFraction(CNode& node, float fraction) { ASSERT_EQ(node.ReceiveEvent("set_fraction", &fraction), 0); }

CEventRecorder& Recorded(const CNodeRef& recorder) { return static_cast<CEventRecorder&>(*recorder.Get()); }

CNodeRef Make(std::string_view typeName) { return NodeFactory(typeName, {}); }

void ExpectVec3(const SFVec3f& actual, float x, float y, float z) {
  EXPECT_FLOAT_EQ(actual.x, x);
  EXPECT_FLOAT_EQ(actual.y, y);
  EXPECT_FLOAT_EQ(actual.z, z);
}

TEST(KeySelection, PicksTheIntervalAFractionLiesIn) {
  const float keys[] = {0.0f, 0.5f, 1.0f};
  EXPECT_EQ(SelectKeys(keys, -1.0f).to, 0);
  EXPECT_EQ(SelectKeys(keys, 2.0f).from, 2);
  const KeySelection between = SelectKeys(keys, 0.75f);
  EXPECT_EQ(between.from, 1);
  EXPECT_EQ(between.to, 2);
  EXPECT_FLOAT_EQ(between.t, 0.5f);
  // Exactly on an inner key: the end of the interval that closes there.
  const KeySelection onKey = SelectKeys(keys, 0.5f);
  EXPECT_EQ(onKey.from, 0);
  EXPECT_FLOAT_EQ(onKey.t, 1.0f);
}

TEST(KeySelection, UnsortedKeysStayInsideTheList) {
  const float single[] = {0.5f};
  EXPECT_EQ(SelectKeys(single, 9.0f).to, 0);
  // The last key is below the fraction while the first is above: every block
  // chosen is inside the list and the interval has positive width.
  const float keys[] = {0.2f, 0.9f, 0.1f, 0.6f};
  for (float f : {0.0f, 0.15f, 0.3f, 0.7f, 0.95f, 2.0f}) {
    const KeySelection at = SelectKeys(keys, f);
    EXPECT_GE(at.from, 0);
    EXPECT_LT(at.to, 4);
    EXPECT_TRUE(std::isfinite(at.t)) << f;
    EXPECT_GE(at.t, 0.0f);
    EXPECT_LE(at.t, 1.0f);
  }
}

TEST(PositionInterpolator, SendsValuesAtAndBetweenKeys) {
  for (std::string_view type : {"PositionInterpolator", "NormalInterpolator"}) {
    CNodeRef node = Make(type);
    Store(*node.Get(), "key", {0.0f, 1.0f});
    Store(*node.Get(), "keyValue", {SFVec3f{0, 0, 0}, SFVec3f{10, 0, 0}});
    CNodeRef recorder = RecordInto(*node.Get(), "value_changed", "vec3");
    SendFraction(*node.Get(), 0.25f);
    ExpectVec3(Recorded(recorder).vec3, 2.5f, 0, 0);
    SendFraction(*node.Get(), -1.0f);
    ExpectVec3(Recorded(recorder).vec3, 0, 0, 0);
    SendFraction(*node.Get(), 2.0f);
    ExpectVec3(Recorded(recorder).vec3, 10, 0, 0);
    SendFraction(*node.Get(), 1.0f);
    ExpectVec3(Recorded(recorder).vec3, 10, 0, 0);
    EXPECT_EQ(Recorded(recorder).log.size(), 4u);
  }
}

TEST(PositionInterpolator, MismatchedOrEmptyKeysSendNothing) {
  CNodeRef node = Make("PositionInterpolator");
  CNodeRef recorder = RecordInto(*node.Get(), "value_changed", "vec3");
  SendFraction(*node.Get(), 0.5f);
  Store(*node.Get(), "key", {0.0f, 0.5f, 1.0f});
  Store(*node.Get(), "keyValue", {SFVec3f{0, 0, 0}, SFVec3f{1, 1, 1}});
  SendFraction(*node.Get(), 0.5f);
  EXPECT_TRUE(Recorded(recorder).log.empty());
}

TEST(PositionInterpolator, SettingKeysSendsOnlyKeyChanged) {
  CNodeRef node = Make("PositionInterpolator");
  Store(*node.Get(), "key", {0.0f, 1.0f});
  Store(*node.Get(), "keyValue", {SFVec3f{0, 0, 0}, SFVec3f{10, 0, 0}});
  CNodeRef values = RecordInto(*node.Get(), "value_changed", "vec3");
  CNodeRef keys = RecordInto(*node.Get(), "key_changed", "keys");
  const float newKeys[] = {0.0f, 0.5f};
  MFFloat list{2, const_cast<float*>(newKeys)};
  EXPECT_EQ(node->ReceiveEvent("set_key", &list), 0);
  EXPECT_TRUE(Recorded(values).log.empty());
  EXPECT_EQ(Recorded(keys).keys.count, 2);
  SendFraction(*node.Get(), 0.25f);
  ExpectVec3(Recorded(values).vec3, 5, 0, 0);
}

TEST(OrientationInterpolator, InterpolatesAxisAndAngleLinearly) {
  CNodeRef node = Make("OrientationInterpolator");
  Store(*node.Get(), "key", {0.0f, 1.0f});
  Store(*node.Get(), "keyValue", {SFRotation{0, 1, 0, 0}, SFRotation{1, 0, 0, 3.14f}});
  CNodeRef recorder = RecordInto(*node.Get(), "value_changed", "rotation");
  SendFraction(*node.Get(), 0.5f);
  const SFRotation& r = Recorded(recorder).rotation;
  EXPECT_FLOAT_EQ(r.x, 0.5f);
  EXPECT_FLOAT_EQ(r.y, 0.5f);
  EXPECT_FLOAT_EQ(r.z, 0.0f);
  EXPECT_FLOAT_EQ(r.angle, 1.57f);
}

TEST(ColorAndScalarInterpolators, SendValuesBetweenKeys) {
  CNodeRef color = Make("ColorInterpolator");
  Store(*color.Get(), "key", {0.0f, 0.5f, 1.0f});
  Store(*color.Get(), "keyValue", {SFColor{1, 0, 0}, SFColor{0, 1, 0}, SFColor{0, 0, 1}});
  CNodeRef colors = RecordInto(*color.Get(), "value_changed", "color");
  SendFraction(*color.Get(), 0.75f);
  EXPECT_FLOAT_EQ(Recorded(colors).color.r, 0.0f);
  EXPECT_FLOAT_EQ(Recorded(colors).color.g, 0.5f);
  EXPECT_FLOAT_EQ(Recorded(colors).color.b, 0.5f);

  CNodeRef scalar = Make("ScalarInterpolator");
  Store(*scalar.Get(), "key", {0.0f, 0.5f, 1.0f});
  Store(*scalar.Get(), "keyValue", {2.0f, 4.0f, 0.0f});
  CNodeRef numbers = RecordInto(*scalar.Get(), "value_changed", "number");
  SendFraction(*scalar.Get(), 0.5f);
  EXPECT_FLOAT_EQ(Recorded(numbers).number, 4.0f);
  SendFraction(*scalar.Get(), 0.25f);
  EXPECT_FLOAT_EQ(Recorded(numbers).number, 3.0f);
}

TEST(CoordinateInterpolator, SendsWholeBlocks) {
  CNodeRef node = Make("CoordinateInterpolator");
  Store(*node.Get(), "key", {0.0f, 1.0f});
  Store(*node.Get(), "keyValue", {SFVec3f{0, 0, 0}, SFVec3f{1, 1, 1}, SFVec3f{2, 2, 2}, SFVec3f{10, 0, 0},
                            SFVec3f{11, 1, 1}, SFVec3f{12, 2, 2}});
  CNodeRef recorder = RecordInto(*node.Get(), "value_changed", "vectors");
  SendFraction(*node.Get(), 0.5f);
  const MFVec3f& sent = Recorded(recorder).vectors;
  ASSERT_EQ(sent.count, 3);
  ExpectVec3(sent[0], 5, 0, 0);
  ExpectVec3(sent[2], 7, 2, 2);

  Store(*node.Get(), "keyValue", {SFVec3f{0, 0, 0}, SFVec3f{1, 1, 1}, SFVec3f{2, 2, 2}, SFVec3f{3, 3, 3},
                            SFVec3f{4, 4, 4}});
  SendFraction(*node.Get(), 0.5f);
  EXPECT_EQ(Recorded(recorder).log.size(), 1u);
  Store(*node.Get(), "keyValue", {SFVec3f{0, 0, 0}});
  SendFraction(*node.Get(), 0.5f);
  EXPECT_EQ(Recorded(recorder).log.size(), 1u);
}

}  // namespace
}  // namespace vx::test
