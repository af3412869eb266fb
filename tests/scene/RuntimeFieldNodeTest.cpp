#include <gtest/gtest.h>

#include "engine/scene/ProtoDeclaration.h"
#include "engine/world/nodes/ScriptNode.h"
#include "tests/scene/TestNodes.h"

namespace vx {
namespace {

TEST(RuntimeFieldNode, DeclaredFieldsFollowTheFixedOnesAndStartEmpty) {
  CNodeRef script = MakeNode<CScriptNode>();
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::Field, "size", "SFVec3f"));
  EXPECT_EQ(script->FindField("size"), 3);
  EXPECT_EQ(script->GetFieldType("size"), FieldTypeSFVec3f);
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::Field, "names", "MFString"));
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::Field, "target", "SFNode"));
  EXPECT_EQ(static_cast<MFString*>(script->GetFieldByName("names"))->count, 0);
  EXPECT_FALSE(*static_cast<CNodeRef*>(script->GetFieldByName("target")));
  EXPECT_EQ(script->GetFieldAddress(6), nullptr);

  EXPECT_FALSE(script->AddFieldByTypeName(FieldKind::Field, "size", "SFFloat")) << "already a field";
  EXPECT_FALSE(script->AddFieldByTypeName(FieldKind::EventIn, "size", "SFFloat")) << "the name is a field";
  EXPECT_TRUE(script->AddFieldByTypeName(FieldKind::EventIn, "set_size", "SFVec3f"));
  EXPECT_FALSE(script->AddFieldByTypeName(FieldKind::Field, "flag", "SFBOOL"));
  EXPECT_FALSE(script->AddFieldByTypeName(FieldKind::Field, "flag", "MFBool"));
  EXPECT_FALSE(script->AddFieldByTypeName(FieldKind::Field, "url", "MFString")) << "a fixed field";
  EXPECT_FALSE(script->AddFieldByTypeName(FieldKind::Field, std::string(32, 'n'), "SFInt32"));
  EXPECT_TRUE(script->AddFieldByTypeName(FieldKind::Field, std::string(31, 'n'), "SFInt32"));
}

TEST(RuntimeFieldNode, SectionsHoldSixtyFourEntries) {
  CNodeRef proto = MakeNode<CProtoDeclaration>(false);
  int fields = 0;
  while (proto->AddFieldByTypeCode(FieldKind::Field, "f" + std::to_string(fields), FieldTypeSFInt32)) ++fields;
  EXPECT_EQ(fields, 61) << "three entries are the class's own";
  int events = 0;
  while (proto->AddFieldByTypeCode(FieldKind::EventOut, "e" + std::to_string(events), FieldTypeSFTime)) ++events;
  EXPECT_EQ(events, 64);
  const int32_t value = 7;
  proto->SetField("f60", &value);
  EXPECT_TRUE(proto->IsFieldSet(63));
}

TEST(RuntimeFieldNode, DeclaredEventsTakePartInRoutesAtOnce) {
  CNodeRef script = MakeNode<CScriptNode>();
  CNodeRef probe = MakeNode<test::CProbeNode>();
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::EventOut, "done", "SFFloat"));
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::EventIn, "go", "SFFloat"));
  ASSERT_TRUE(script->AddRoute("done", "set_fraction", probe));
  EXPECT_FALSE(probe->AddRoute("fraction_changed", "go_nowhere", script));
  ASSERT_TRUE(probe->AddRoute("fraction_changed", "go", script));
  const float value = 0.5f;
  script->SendEvent("done", &value);
  EXPECT_EQ(test::Probe(probe).fraction, 0.5f);
  EXPECT_EQ(script->ReceiveEvent("go", &value), 0);
}

}  // namespace
}  // namespace vx
