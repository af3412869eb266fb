#include <gtest/gtest.h>

#include <optional>

#include <cmath>
#include <numbers>

#include "NodeTestSupport.h"
#include "engine/render/GeometryStage.h"
#include "engine/math/Matrix4.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/BillboardNode.h"
#include "engine/nodes/CollisionNode.h"
#include "engine/nodes/LODNode.h"
#include "engine/nodes/SwitchNode.h"
#include "engine/nodes/TransformNode.h"
#include "engine/world/WorldLimits.h"
#include "tests/render/GeometryTestSupport.h"

namespace vx {
namespace {

using test::CProbeNode;
using test::LoggingProbe;

using Log = std::vector<std::string>;

MFNode* ChildrenOf(CNode& node) { return static_cast<MFNode*>(node.GetFieldByName("children")); }

// Every node with children takes the same two grouping events.
class GroupingEvents : public ::testing::TestWithParam<const char*> {};

TEST_P(GroupingEvents, AddTwiceThenRemoveTakesBothAndOnlyAddSendsTheChange) {
  CNodeRef group = NodeFactory(GetParam(), NodeCreation{});
  CNodeRef probe = MakeNode<CProbeNode>();
  ASSERT_TRUE(group->AddRouteToNode("children_changed", "set_nodes", probe.Get()));
  CNodeRef child = MakeNode<CProbeNode>();
  CNodeRef other = MakeNode<CProbeNode>();
  CNodeRef added[] = {child, other};
  MFNode value{2, added};

  EXPECT_EQ(group->ReceiveEvent("addChildren", &value), 0);
  value.count = 1;
  EXPECT_EQ(group->ReceiveEvent("addChildren", &value), 0);
  MFNode& children = *ChildrenOf(*group.Get());
  ASSERT_EQ(children.count, 3);
  EXPECT_EQ(children[0].Get(), child.Get());
  EXPECT_EQ(children[2].Get(), child.Get()) << "a node already present is added again";
  const int changes = test::As<CProbeNode>(probe).eventsReceived;
  EXPECT_EQ(changes, 2);

  EXPECT_EQ(group->ReceiveEvent("removeChildren", &value), 0);
  ASSERT_EQ(children.count, 1);
  EXPECT_EQ(children[0].Get(), other.Get());
  EXPECT_EQ(test::As<CProbeNode>(probe).eventsReceived, changes) << "removal sends no change";

  MFNode empty{};
  EXPECT_EQ(group->ReceiveEvent("addChildren", &empty), 0);
  EXPECT_EQ(children.count, 1);
}

INSTANTIATE_TEST_SUITE_P(EveryGroupingNode, GroupingEvents,
                         ::testing::Values("Group", "Transform", "Billboard", "Collision"));

// Collects the placement operations of a Transform onto one matrix, each
// applied before the ones already there.
struct MatrixComposer {
  void Translate(const CVec3f& v) { Multiply(CMatrix4().SetTranslation(v.x, v.y, v.z)); }
  void Rotate(const std::array<float, 4>& r) { Multiply(CMatrix4().SetRotation({r[0], r[1], r[2]}, r[3])); }
  void Scale(const CVec3f& v) { Multiply(CMatrix4().SetScale(v.x, v.y, v.z)); }
  void Multiply(const CMatrix4& m) {
    top.PreMultiply(m);
    ++operations;
  }
  CMatrix4 top;
  int operations = 0;
};

// Rodrigues' rotation of p about the axis by the angle, right-handed.
CVec3f Rotated(CVec3f p, CVec3f axis, float angle) {
  axis.Normalize();
  const float c = std::cos(angle), s = std::sin(angle);
  return p * c + axis.Cross(p) * s + axis * (axis.Dot(p) * (1.0f - c));
}

void ExpectNear(const CVec3f& actual, const CVec3f& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-4f);
  EXPECT_NEAR(actual.y, expected.y, 1e-4f);
  EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

TEST(Transform, PlacementMatchesTheStepsAppliedOneByOneUnderTheParent) {
  auto world = test::ReadWorld(
      "Transform { translation 1 2 3 rotation 0 1 0 0.5 scale 2 3 4 scaleOrientation 1 0 0 0.3 center 0.5 0 -1 }");
  const auto& transform = test::TopNode<CTransformNode>(*world);
  MatrixComposer stack;
  stack.top.SetTranslation(10, 0, 0);  // the parent's placement
  transform.ApplyPlacement(stack);

  const CVec3f c{0.5f, 0, -1}, t{1, 2, 3}, so{1, 0, 0};
  for (CVec3f p : {CVec3f{0, 0, 0}, CVec3f{1, 0, 0}, CVec3f{-2, 3, 0.5f}}) {
    CVec3f expected = Rotated(p - c, so, -0.3f);
    expected = {expected.x * 2, expected.y * 3, expected.z * 4};
    expected = Rotated(Rotated(expected, so, 0.3f), {0, 1, 0}, 0.5f) + c + t + CVec3f{10, 0, 0};
    CVec3f actual = p;
    stack.top.TransformPoint(actual);
    ExpectNear(actual, expected);
  }
}

TEST(Transform, OnlyFieldsThatWereSetTakePart) {
  auto world = test::ReadWorld("Transform { rotation 0 0 1 1.5707963 } Transform { }");
  MatrixComposer rotationOnly, unset;
  test::TopNode<CTransformNode>(*world).ApplyPlacement(rotationOnly);
  test::TopNode<CTransformNode>(*world, 1).ApplyPlacement(unset);
  EXPECT_EQ(rotationOnly.operations, 1);
  CVec3f p{1, 0, 0};
  rotationOnly.top.TransformPoint(p);
  ExpectNear(p, {0, 1, 0});
  EXPECT_EQ(unset.operations, 0) << "children keep the parent's matrix";
}

class ChoiceFixture : public ::testing::Test {
 protected:
  Log log;
  CNodeRef first = LoggingProbe(log, "a");
  CNodeRef second = LoggingProbe(log, "b");
};

TEST_F(ChoiceFixture, SwitchTellsTheLeavingAndTheArrivingChoice) {
  CNodeRef node = NodeFactory("Switch", NodeCreation{});
  auto& sw = test::As<CSwitchNode>(node);
  CNodeRef list[] = {first, second};
  test::SetValue(sw, "choice", MFNode{2, list});

  sw.Traverse(RenderPass::Frame, nullptr);
  EXPECT_TRUE(log.empty()) << "whichChoice -1 draws nothing";
  int32_t choice = 0;
  sw.SetField("whichChoice", &choice);
  sw.Traverse(RenderPass::Frame, nullptr);
  sw.Traverse(RenderPass::Frame, nullptr);
  choice = 1;
  sw.SetField("whichChoice", &choice);
  sw.Traverse(RenderPass::Frame, nullptr);
  choice = 7;
  sw.SetField("whichChoice", &choice);
  sw.Traverse(RenderPass::Frame, nullptr);
  sw.Traverse(RenderPass::Frame, nullptr);
  EXPECT_EQ(log, (Log{"a:1", "a:0", "a:0", "a:2", "b:1", "b:0", "b:2"}));
}

TEST_F(ChoiceFixture, LodChoosesByDistanceScaledByTheFieldOfView) {
  CNodeRef node = NodeFactory("LOD", NodeCreation{});
  auto& lod = test::As<CLODNode>(node);
  CNodeRef list[] = {first, second};
  test::SetValue(lod, "level", MFNode{2, list});
  EXPECT_EQ(lod.ChooseLevel(12, kInitialFieldOfView), -1) << "no ranges";

  float ranges[] = {10, 20, 30};
  test::SetValue(lod, "range", MFFloat{1, ranges});
  EXPECT_EQ(lod.ChooseLevel(12, kInitialFieldOfView), 1);
  EXPECT_EQ(lod.ChooseLevel(12, kInitialFieldOfView / 2), 0) << "zooming in brings the detail nearer";
  test::SetValue(lod, "range", MFFloat{3, ranges});
  EXPECT_EQ(lod.ChooseLevel(100, kInitialFieldOfView), 1) << "limited to the last level";
}

TEST_F(ChoiceFixture, LodActivatesANewLevelAndDeactivatesAllAtTheEnd) {
  CNodeRef node = NodeFactory("LOD", NodeCreation{});
  auto& lod = test::As<CLODNode>(node);
  CNodeRef list[] = {first, second};
  test::SetValue(lod, "level", MFNode{2, list});
  lod.TraverseLevel(1, RenderPass::Frame, nullptr);
  lod.TraverseLevel(1, RenderPass::Frame, nullptr);
  lod.TraverseLevel(0, RenderPass::Frame, nullptr);
  lod.Traverse(RenderPass::Deactivate, nullptr);
  EXPECT_EQ(log, (Log{"b:1", "b:0", "b:0", "a:1", "a:0", "a:2", "b:2"}));
}

TEST(Billboard, FacingTurnsAboutBothAxesAndAnAxisTurnOnlyAboutTheAxis) {
  const float quarter = std::numbers::pi_v<float> / 2;
  EXPECT_NEAR(FacingAngles({0, 0, 1}, {1, 0, 0}).yaw, quarter, 1e-6f);
  EXPECT_NEAR(FacingAngles({0, 0, 1}, {0, 1, 0}).pitch, -quarter, 1e-6f);
  const float r = std::sqrt(0.5f);
  EXPECT_NEAR(AngleAboutAxis({0, 0, 1}, {r, 0, r}, {0, 1, 0}), quarter / 2, 1e-5f);
  EXPECT_NEAR(AngleAboutAxis({0, 0, 1}, {-r, 0, r}, {0, 1, 0}), -quarter / 2, 1e-5f);
  EXPECT_NEAR(AngleAboutAxis({0, 0, 1}, {r, r, 0}, {0, 1, 0}), quarter, 1e-5f) << "height is ignored";
}

TEST(Billboard, AnglesStayNumbersAtTheEdges) {
  // A cosine a rounding step above 1, and an eye straight along the axis.
  EXPECT_FLOAT_EQ(AngleAboutAxis({0, 0, 1.0000002f}, {0, 0, 1}, {0, 1, 0}), 0.0f);
  EXPECT_FALSE(std::isnan(AngleAboutAxis({0, 0, -1.0000002f}, {0, 0, 1}, {0, 1, 0})));
  EXPECT_FALSE(std::isnan(AngleAboutAxis({0, 0, 1}, {0, 1, 0}, {0, 1, 0})));
  const FacingTurn turn = FacingAngles({0, 0, 0}, {0, 0, 0});
  EXPECT_FALSE(std::isnan(turn.yaw) || std::isnan(turn.pitch));
}

// A hit of the box test, as geometry at the origin inside the box makes it.
void HitTheBox(CGeometryStage& stage) {
  PolygonRecord atOrigin;
  atOrigin.count = 3;
  stage.PickTestPolygon(atOrigin);
}

// What a Collision's children and proxy see of the stage's box test.
class CollisionFlags : public ::testing::Test {
 protected:
  void SetUp() override {
    node = NodeFactory("Collision", NodeCreation{&world.GetScene()});
    auto& c = Collision();
    CNodeRef list[] = {child};
    test::SetValue(c, "children", MFNode{1, list});
    ASSERT_TRUE(c.AddRouteToNode("collideTime", "set_time", timeProbe.Get()));
    frame.stage.SetPickSegment({-1, -1, -1}, {1, 1, 1});
    Probe(child).onTraverse = [this](RenderPass) {
      childSaw = frame.stage.GetBoxTestMode();
      if (childHits) HitTheBox(frame.stage);
    };
  }
  void Traverse() { Collision().TraverseTested(RenderPass::Frame, nullptr, &frame.stage); }
  CCollisionNode& Collision() { return test::As<CCollisionNode>(node); }
  static CProbeNode& Probe(const CNodeRef& ref) { return test::As<CProbeNode>(ref); }
  int Collisions() { return Probe(timeProbe).eventsReceived; }

  CBrowser world;
  test::StageFrame frame{4, 4, 4};
  CNodeRef node;
  CNodeRef child = MakeNode<CProbeNode>();
  CNodeRef timeProbe = MakeNode<CProbeNode>();
  std::optional<BoxTestMode> childSaw;
  bool childHits = false;
};

TEST_F(CollisionFlags, CollideFalseOrAProxyKeepsTheChildrenOutOfTheTest) {
  frame.stage.SetBoxTestMode(BoxTestMode::kTestAndDraw);
  int16_t off = 0;
  Collision().SetField("collide", &off);
  Traverse();
  EXPECT_EQ(childSaw, BoxTestMode::kOff);
  EXPECT_EQ(frame.stage.GetBoxTestMode(), BoxTestMode::kTestAndDraw) << "the test is on again afterwards";

  std::optional<BoxTestMode> proxySaw;
  CNodeRef proxy = MakeNode<CProbeNode>();
  Probe(proxy).onTraverse = [&](RenderPass) {
    proxySaw = frame.stage.GetBoxTestMode();
    HitTheBox(frame.stage);
  };
  Collision().SetField("proxy", &proxy);
  off = 1;
  Collision().SetField("collide", &off);
  Traverse();
  EXPECT_EQ(proxySaw, BoxTestMode::kTestOnly) << "the proxy is tested, not drawn";
  EXPECT_EQ(childSaw, BoxTestMode::kOff);
  EXPECT_EQ(frame.stage.GetBoxTestMode(), BoxTestMode::kTestAndDraw);
  EXPECT_EQ(Collisions(), 1) << "a hit of the proxy is the node's collision";
  EXPECT_TRUE(frame.stage.GetBoxTestResult().hit);
}

TEST_F(CollisionFlags, AHitAmongTheChildrenSendsCollideTimeAndAnEarlierHitIsKept) {
  frame.stage.SetBoxTestMode(BoxTestMode::kTestAndDraw);
  HitTheBox(frame.stage);
  Traverse();
  EXPECT_EQ(childSaw, BoxTestMode::kTestAndDraw);
  EXPECT_EQ(Collisions(), 0) << "the hit came before this node";
  EXPECT_TRUE(frame.stage.GetBoxTestResult().hit);

  childHits = true;
  (void)frame.stage.BeginFrame();
  Traverse();
  EXPECT_EQ(Collisions(), 1);
  EXPECT_TRUE(frame.stage.GetBoxTestResult().hit);

  childHits = false;
  (void)frame.stage.BeginFrame();
  frame.stage.SetBoxTestMode(BoxTestMode::kOff);
  Traverse();
  EXPECT_EQ(childSaw, BoxTestMode::kOff);
  EXPECT_EQ(Collisions(), 1) << "no test, no collision";
}

}  // namespace
}  // namespace vx
