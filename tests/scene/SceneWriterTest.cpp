#include "engine/scene/SceneWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/scene/RuntimeFieldNode.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "tests/scene/AllFieldsNode.h"

namespace vx::test {
namespace {

std::string Write(CBrowser& world, bool resolveUrls = false) {
  CSceneWriter writer;
  writer.WriteScene(&world.GetScene(), resolveUrls);
  return writer.GetText();
}

TEST(SceneWriter, NestsNodesWithOneTabPerLevel) {
  CBrowser world;
  CNodeRef group = MakeNode<CGroupNode>();
  CNodeRef outer = MakeNode<CAllFieldsNode>();
  CNodeRef inner = MakeNode<CAllFieldsNode>();
  outer->SetField("sfNode", &inner);
  SetList(group, "children", {outer});
  AddTopLevel(world, group);
  world.GetScene().AddPendingRoute(PendingRoute::Make("A.sfFloat_changed", "B.set_sfFloat"));

  EXPECT_EQ(Write(world),
            "#VRML V2.0 utf8\n"
            "\n"
            "\n"
            "Group {\n"
            "\tchildren \n"
            "\t\tAllFields {\n"
            "\t\t\tsfNode AllFields {\n"
            "\t\t\t}\n"
            "\t\t}\n"
            "\t\n"
            "}\n"
            "\n"
            "ROUTE A.sfFloat_changed TO B.set_sfFloat\n");
}

TEST(SceneWriter, WritesOnlySetFieldsInTableOrder) {
  CBrowser world;
  CNodeRef node = MakeNode<CAllFieldsNode>();
  const double time = 0.1;
  const int32_t integer = -7;
  node->SetField("sfTime", &time);
  node->SetField("sfInt32", &integer);
  AddTopLevel(world, node);
  EXPECT_EQ(Write(world), "#VRML V2.0 utf8\n\n\nAllFields {\n\tsfInt32 -7\n\tsfTime 0.1\n}\n\n");
}

TEST(SceneWriter, FormatsEverySingleValuedType) {
  CBrowser world;
  CNodeRef node = MakeNode<CAllFieldsNode>();
  CAllFieldsNode& all = AllFields(node);
  const int16_t on = 1;
  const SFColor color{1.0f, 0.1f, 0.333333343f};
  const float fraction = 0.5f;
  uint32_t pixels[] = {0x11, 0x22, 0x33, 0xff00ff};  // two rows of two, top row first
  const SFImage image{pixels, 2, 2, 3};
  const SFRotation rotation{0, 1, 0, 1.57079637f};
  const SFVec2f vec2{-1.5f, 1e-7f};
  const SFVec3f vec3{1e20f, -0.0f, 3};
  all.SetField("sfBool", &on);
  all.SetField("sfColor", &color);
  all.SetField("sfFloat", &fraction);
  all.SetField("sfImage", &image);
  all.SetField("sfRotation", &rotation);
  SetString(node, "sfString", "say \"hi\" to C:\\dir");
  all.SetField("sfVec2f", &vec2);
  all.SetField("sfVec3f", &vec3);
  AddTopLevel(world, node);

  EXPECT_EQ(Write(world),
            "#VRML V2.0 utf8\n\n\nAllFields {\n"
            "\tsfBool TRUE\n"
            "\tsfColor 1 0.1 0.33333334\n"
            "\tsfFloat 0.5\n"
            "\tsfImage 2 2 3 0x33 0xff00ff 0x11 0x22\n"
            "\tsfRotation 0 1 0 1.5707964\n"
            "\tsfString \"say \\\"hi\\\" to C:\\\\dir\"\n"
            "\tsfVec2f -1.5 1e-07\n"
            "\tsfVec3f 1e+20 -0 3\n"
            "}\n\n");
}

TEST(SceneWriter, WritesListsWithBracketsUnlessExactlyOneElement) {
  CBrowser world;
  CNodeRef node = MakeNode<CAllFieldsNode>();
  SetList<float>(node, "mfFloat", {0.5f});
  SetList<int32_t>(node, "mfInt32", {1, -2});
  SetList<double>(node, "mfTime", {});
  SetList<SFVec2f>(node, "mfVec2f", {{1, 2}, {3, 4}});
  SetStrings(node, "mfString", {"a b", "\\"});
  AddTopLevel(world, node);

  EXPECT_EQ(Write(world),
            "#VRML V2.0 utf8\n\n\nAllFields {\n"
            "\tmfFloat 0.5\n"
            "\tmfInt32 [1, -2]\n"
            "\tmfString [\"a b\", \"\\\\\"]\n"
            "\tmfTime []\n"
            "\tmfVec2f [1 2, 3 4]\n"
            "}\n\n");
}

TEST(SceneWriter, WritesEmptyNodesAsNullAndNodeListsOnTheirOwnLines) {
  CBrowser world;
  CNodeRef node = MakeNode<CAllFieldsNode>();
  const CNodeRef empty;
  node->SetField("sfNode", &empty);
  SetList<CNodeRef>(node, "mfNode", {MakeNode<CGroupNode>(), empty});
  CNodeRef second = MakeNode<CAllFieldsNode>();
  SetList<CNodeRef>(second, "mfNode", {});
  AddTopLevel(world, node);
  AddTopLevel(world, second);

  EXPECT_EQ(Write(world),
            "#VRML V2.0 utf8\n\n\nAllFields {\n"
            "\tsfNode NULL\n"
            "\tmfNode [\n"
            "\t\tGroup {\n"
            "\t\t},\n"
            "\n"
            "\t\tNULL\n"
            "\t]\n"
            "}\n"
            "AllFields {\n"
            "\tmfNode [\n"
            "\t]\n"
            "}\n\n");
}

TEST(SceneWriter, WritesASharedNodeOnceAndThenUsesItsName) {
  CBrowser world;
  CNodeRef named = MakeNode<CGroupNode>();
  named->SetDefName("A");
  CNodeRef unnamed = MakeNode<CGroupNode>();
  CNodeRef taken = MakeNode<CGroupNode>();  // holds the first generated name already
  taken->SetDefName("Shared_1");
  for (const CNodeRef& node : {named, unnamed, named, unnamed, taken}) AddTopLevel(world, node);

  const std::string expected =
      "#VRML V2.0 utf8\n\n"
      "\nDEF A Group {\n}"
      "\nDEF Shared_2 Group {\n}"
      "\nUSE A"
      "\nUSE Shared_2"
      "\nDEF Shared_1 Group {\n}\n\n";
  EXPECT_EQ(Write(world), expected);
  EXPECT_EQ(Write(world), expected) << "a second save starts afresh";
  EXPECT_TRUE(unnamed->GetDefName().empty()) << "the generated name is the file's, not the node's";
}

TEST(SceneWriter, KeepsANameGivenTwiceWhereEveryUseStillReachesItsNode) {
  CBrowser world;
  CNodeRef first = MakeNode<CGroupNode>();
  first->SetDefName("A");
  CNodeRef second = MakeNode<CGroupNode>();
  second->SetDefName("A");
  for (const CNodeRef& node : {first, first, second, second}) AddTopLevel(world, node);
  EXPECT_EQ(Write(world),
            "#VRML V2.0 utf8\n\n\nDEF A Group {\n}\nUSE A\nDEF A Group {\n}\nUSE A\n\n");

  // Only the middle node is USEd past a later DEF of its name; the first
  // keeps the name, since the renamed one no longer comes between.
  CBrowser three;
  CNodeRef third = MakeNode<CGroupNode>();
  third->SetDefName("A");
  for (const CNodeRef& node : {first, second, first, third, second, third}) AddTopLevel(three, node);
  EXPECT_EQ(Write(three), "#VRML V2.0 utf8\n\n\nDEF A Group {\n}\nDEF Shared_1 Group {\n}\nUSE A\n"
                          "DEF A Group {\n}\nUSE Shared_1\nUSE A\n\n");
}

TEST(SceneWriter, RenamesASharedNodeWhenAnotherNodeOfItsNameComesBetweenItsUses) {
  CBrowser world;
  CNodeRef shared = MakeNode<CGroupNode>();
  shared->SetDefName("A");
  CNodeRef between = MakeNode<CGroupNode>();
  between->SetDefName("A");
  for (const CNodeRef& node : {shared, between, shared}) AddTopLevel(world, node);
  EXPECT_EQ(Write(world),
            "#VRML V2.0 utf8\n\n\nDEF Shared_1 Group {\n}\nDEF A Group {\n}\nUSE Shared_1\n\n");
}

TEST(SceneWriter, ResolvesUrlFieldsOnlyWhenAsked) {
  CBrowser world;
  world.SetWorldUrl("http://host.example/worlds/a.wrl");
  CNodeRef node = MakeNode<CAllFieldsNode>();
  node->SetScene(&world.GetScene());
  SetStrings(node, "url", {"tex/a.jpg"});
  SetStrings(node, "mfString", {"tex/a.jpg"});
  AddTopLevel(world, node);

  EXPECT_EQ(Write(world, true),
            "#VRML V2.0 utf8\n\n\nAllFields {\n\tmfString \"tex/a.jpg\"\n"
            "\turl \"http://host.example/worlds/tex/a.jpg\"\n}\n\n");
  EXPECT_NE(Write(world, false).find("\turl \"tex/a.jpg\""), std::string::npos);
}

TEST(SceneWriter, WritesValuesTheReaderCannotTakeAsFiniteNumbers) {
  CBrowser world;
  CNodeRef node = MakeNode<CAllFieldsNode>();
  const SFVec3f odd{std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity()};
  node->SetField("sfVec3f", &odd);
  AddTopLevel(world, node);
  EXPECT_NE(Write(world).find("\tsfVec3f 0 3.4028235e+38 -3.4028235e+38\n"), std::string::npos);
  EXPECT_EQ(FormatDoubleExact(0.1), "0.1");
  EXPECT_EQ(FormatDoubleExact(-std::numeric_limits<double>::infinity()), "-1.7976931348623157e+308");
}

TEST(SceneWriter, WritesNothingWithoutAWorldAndACommentLineWhenGiven) {
  CSceneWriter writer;
  writer.WriteScene(nullptr, true);
  EXPECT_EQ(writer.GetText(), "");
  CBrowser world;
  writer.WriteScene(&world.GetScene(), true, "saved by a test");
  EXPECT_EQ(writer.GetText(), "#VRML V2.0 utf8\n\n# saved by a test\n\n\n\n");
}

// A node answering the Script type id, with the Script's three fixed fields.
class CTestScript : public CRuntimeFieldNode {
 public:
  CTestScript() : CRuntimeFieldNode(kFixed) { RegisterFixedFields(); }
  NodeTypeId GetTypeId() const override { return NodeTypeScript; }

  MFString url{};
  int16_t mustEvaluate = 0;
  int16_t directOutput = 0;

 private:
  static constexpr FieldSpec kFixed[] = {
      Field<&CTestScript::url>("url"),
      Field<&CTestScript::mustEvaluate>("mustEvaluate"),
      Field<&CTestScript::directOutput>("directOutput"),
  };
};

TEST(SceneWriter, WritesScriptDeclarationsWithTheirTypes) {
  CBrowser world;
  world.SetWorldUrl("http://host.example/");
  CNodeRef script = MakeNode<CTestScript>();
  script->SetScene(&world.GetScene());
  SetStrings(script, "url", {"vxn:math"});
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::Field, "unset", "SFFloat"));
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::Field, "name", "SFString"));
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::EventIn, "go", "SFBool"));
  ASSERT_TRUE(script->AddFieldByTypeName(FieldKind::EventOut, "done", "MFTime"));
  SetString(script, "name", "n");
  AddTopLevel(world, script);

  EXPECT_EQ(Write(world, true),
            "#VRML V2.0 utf8\n\n\nScript {\n"
            "\turl \"vxn:math\"\n"
            "\tfield SFFloat unset 0\n"
            "\tfield SFString name \"n\"\n"
            "\teventIn SFBool go\n"
            "\teventOut MFTime done\n"
            "}\n\n")
      << "a Script's url is written as it is, and a declared field always with its value";
}

TEST(SceneWriter, TypeNamesByIdAndUnsupportedForTheBase) {
  EXPECT_EQ(NodeTypeName(NodeTypeIMobSensor), "IMobSensor");
  EXPECT_EQ(NodeTypeName(NodeTypeWorldInfo), "WorldInfo");
  EXPECT_EQ(NodeTypeName(NodeTypeBase), "Unsupported");
}

}  // namespace
}  // namespace vx::test
