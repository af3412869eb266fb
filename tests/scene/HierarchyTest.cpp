// The hierarchy stays acyclic whichever way a node value reaches a node: a
// value that holds the node itself or a node above it is refused and noted,
// and every walk through the scene still ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/scene/SceneReader.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

// The nested groups of a hostile world, a ROUTE that hands the outer
// group's children to the inner one, and the other kinds of child list.
constexpr const char* kWorld =
    "#VRML V2.0 utf8\n"
    "PROTO Holder [ exposedField MFNode kids [ ] eventIn MFNode addKids ]\n"
    "  { Group { children IS kids addChildren IS addKids } }\n"
    "DEF Outer Group { children [\n"
    "  DEF Inner Group { children [ DEF Body Shape { geometry Box { } } ] }\n"
    "  DEF Choice Switch { whichChoice 0 choice [ DEF InChoice Transform { } ] }\n"
    "  DEF Levels LOD { level [ DEF InLevel Group { } ] }\n"
    "  DEF Holding Holder { }\n"
    "] }\n"
    "ROUTE Outer.children_changed TO Inner.set_children\n";

// An MFNode value of the nodes, which it holds while it lives.
class NodeList {
 public:
  NodeList(std::initializer_list<CNode*> nodes) {
    value_.count = static_cast<int32_t>(nodes.size());
    value_.elements = static_cast<CNodeRef*>(AllocFieldArray(FieldTypeMFNode, value_.count));
    int32_t i = 0;
    for (CNode* node : nodes) value_[i++].SetNode(node);
  }
  ~NodeList() { FreeFieldValue(FieldTypeMFNode, &value_); }
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  const MFNode* operator&() const { return &value_; }

 private:
  MFNode value_{};
};

class HierarchyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto stream = CSceneInputStream::FromText(kWorld);
    CSceneReader reader(stream);
    ASSERT_TRUE(reader.ReadScene(&world_.GetScene())) << reader.GetMessage();
  }

  CNode& Named(const char* name) {
    CNode* node = world_.FindNode(name);
    EXPECT_NE(node, nullptr) << name;
    return *node;
  }
  const MFNode& Children(const char* name, const char* field = "children") {
    return *static_cast<const MFNode*>(Named(name).GetFieldByName(field));
  }
  const std::string& ErrorText() const { return world_.GetScene().GetEventErrorText(); }
  // The children of the group a PROTO instance's body holds.
  static const MFNode& BodyChildren(const CNode& instance) {
    const MFNode& roots = static_cast<const CGroupNode*>(instance.GetInnerRoot())->children;
    EXPECT_EQ(roots.count, 1);
    return *static_cast<const MFNode*>(roots[0]->GetFieldByName("children"));
  }

  // A frame's walk and a search by name both come to an end.
  void ExpectWalksEnd() {
    world_.GetRoot()->Traverse(RenderPass::Frame, nullptr);
    EXPECT_EQ(world_.FindNode("Nobody"), nullptr);
  }

  CBrowser world_;
};

TEST_F(HierarchyTest, AChildListPassedAlongARouteIntoItsOwnChildIsRefusedThere) {
  CNode& inner = Named("Inner");
  // The outer group takes its children again and sends them on to the inner
  // group, which would then hold itself.
  NodeList same{&inner, &Named("Choice"), &Named("Levels"), &Named("Holding")};
  ASSERT_TRUE(Named("Outer").TrySetField("children", &same));
  ASSERT_EQ(Children("Inner").count, 1);
  EXPECT_EQ(Children("Inner")[0].GetNode(), &Named("Body")) << "the inner group keeps its child";
  EXPECT_NE(ErrorText().find("'children' of Group 'Inner'"), std::string::npos) << ErrorText();
  ExpectWalksEnd();
}

// Every way a value enters a node goes through the one test: a field set by
// name (a file, a host, a controller), an event along a ROUTE or from a host
// (set_ and the grouping eventIns), and an IS into a PROTO's body.
TEST_F(HierarchyTest, EveryMemberOfTheHierarchyRefusesTheNodeOrOneAboveIt) {
  CNode& outer = Named("Outer");
  CNode& inner = Named("Inner");
  CNode& holder = Named("Holding");
  const NodeList outerOnly{&outer};
  const NodeList innerOnly{&inner};
  const NodeList holderOnly{&holder};
  const NodeList choiceOnly{&Named("Choice")};
  const NodeList levelsOnly{&Named("Levels")};
  const CNodeRef outerRef(&outer);

  EXPECT_FALSE(inner.TrySetField("children", &innerOnly));
  EXPECT_FALSE(inner.TrySetField("children", &outerOnly));
  EXPECT_EQ(inner.ReceiveEvent("set_children", &outerOnly), kEventRefused);
  EXPECT_EQ(inner.ReceiveEvent("addChildren", &outerOnly), kEventRefused);
  EXPECT_EQ(inner.ReceiveEvent("removeChildren", &outerOnly), kEventRefused);
  EXPECT_EQ(Named("InChoice").ReceiveEvent("addChildren", &choiceOnly), kEventRefused);
  EXPECT_EQ(Named("Choice").ReceiveEvent("set_choice", &outerOnly), kEventRefused);
  EXPECT_EQ(Named("InLevel").ReceiveEvent("set_children", &levelsOnly), kEventRefused);
  EXPECT_EQ(Named("Levels").ReceiveEvent("set_level", &outerOnly), kEventRefused);
  EXPECT_EQ(Named("Body").ReceiveEvent("set_geometry", &outerRef), kEventRefused)
      << "a shape's geometry is drawn as its child";
  EXPECT_FALSE(holder.TrySetField("kids", &holderOnly)) << "the instance's field is the body's child list";
  EXPECT_EQ(holder.ReceiveEvent("kids", &outerOnly), kEventRefused);
  EXPECT_EQ(holder.ReceiveEvent("addKids", &outerOnly), kEventRefused);

  EXPECT_EQ(Children("Inner").count, 1);
  EXPECT_EQ(Children("InChoice").count, 0);
  EXPECT_EQ(Children("Choice", "choice").count, 1);
  EXPECT_EQ(Children("InLevel").count, 0);
  EXPECT_EQ(Children("Levels", "level").count, 1);
  EXPECT_EQ(Children("Holding", "kids").count, 0);
  EXPECT_EQ(BodyChildren(holder).count, 0);
  EXPECT_FALSE(ErrorText().empty());
  ExpectWalksEnd();
}

TEST_F(HierarchyTest, ValuesThatKeepTheHierarchyAcyclicAreTaken) {
  CNode& inner = Named("Inner");
  CNode& holder = Named("Holding");
  const NodeList shared{&Named("Body"), &Named("Body")};
  EXPECT_TRUE(Named("InLevel").TrySetField("children", &shared)) << "a node may be reached many ways";
  const NodeList sibling{&Named("Levels")};
  EXPECT_EQ(inner.ReceiveEvent("addChildren", &sibling), 0);
  EXPECT_EQ(Children("Inner").count, 2);
  EXPECT_EQ(holder.ReceiveEvent("addKids", &sibling), 0);
  EXPECT_EQ(BodyChildren(holder).count, 1) << "IS passed the added node into the body";
  EXPECT_TRUE(ErrorText().empty()) << ErrorText();
  ExpectWalksEnd();
}

// A Script's fields, also one inside a PROTO's body reached through IS, may
// name the nodes above it; when the world lets its scene go, what they hold
// is let go first, so that those nodes are freed all the same.
TEST(HierarchyScripts, AScriptMayNameTheNodesAboveItAndTheyAreStillFreedWithTheWorld) {
  auto world = std::make_unique<CBrowser>();
  {
    auto stream = CSceneInputStream::FromText(
        "#VRML V2.0 utf8\n"
        "PROTO Keeps [ field MFNode held [ ] ] { Script { field MFNode held IS held } }\n"
        "DEF Outer Group { children [ DEF Direct Script { field SFNode above NULL } DEF Inside Keeps { } ] }\n");
    CSceneReader reader(stream);  // which holds the nodes it named while it lives
    ASSERT_TRUE(reader.ReadScene(&world->GetScene())) << reader.GetMessage();
  }
  CNode* outer = world->FindNode("Outer");
  {
    const CNodeRef above(outer);
    const NodeList aboveList{outer};
    EXPECT_TRUE(world->FindNode("Direct")->TrySetField("above", &above));
    CNode& inside = *world->FindNode("Inside");
    EXPECT_TRUE(inside.TrySetField("held", &aboveList));
    CNode& bodyScript = *static_cast<CGroupNode*>(inside.GetInnerRoot())->children[0].GetNode();
    EXPECT_EQ(static_cast<const MFNode*>(bodyScript.GetFieldByName("held"))->count, 1)
        << "IS passed the node into the body's Script";
    EXPECT_EQ(world->FindNode("Nobody"), nullptr);
  }
  const CNodeWeakRef outerLeft(outer);
  world.reset();
  EXPECT_EQ(outerLeft.Get(), nullptr);
}

// A chain of groups each of which holds the next one twice reaches its last
// group in 2^40 ways; the test and the search by name visit each node once.
TEST_F(HierarchyTest, ANodeSharedManyWaysIsVisitedOnce) {
  std::vector<CNodeRef> chain;
  for (int i = 0; i < 41; ++i) chain.push_back(MakeNode<CGroupNode>());
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    const NodeList twice{chain[i + 1].GetNode(), chain[i + 1].GetNode()};
    ASSERT_TRUE(chain[i]->TrySetField("children", &twice));
  }
  const NodeList top{chain.front().GetNode()};
  ASSERT_TRUE(Named("InLevel").TrySetField("children", &top));
  const NodeList bottom{&Named("InLevel")};
  EXPECT_FALSE(chain.back()->TrySetField("children", &bottom));
  EXPECT_EQ(world_.FindNode("Nobody"), nullptr);
}

}  // namespace
}  // namespace vx
