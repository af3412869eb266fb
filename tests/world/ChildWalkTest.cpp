#include <gtest/gtest.h>

#include <array>

#include "WorldTestNodes.h"
#include "engine/scene/GroupNode.h"

namespace vx {
namespace {

// Counts its traversals; the first one empties the group it sits in, as a
// Script that switches its own group's children would.
class CListEmptier : public CNode {
 public:
  void Traverse(RenderPass, CViewContext*) override {
    ++traversals;
    if (!group) return;
    MFNode none{};
    group->SetField("children", &none);
    group = nullptr;
  }
  CNode* group = nullptr;
  int traversals = 0;

 protected:
  ~CListEmptier() override = default;
};

class CCounter : public CNode {
 public:
  void Traverse(RenderPass, CViewContext*) override { ++traversals; }
  int traversals = 0;

 protected:
  ~CCounter() override = default;
};

// The group's walk, the scene's own without a view and the view's with one
// (which picks the sensor among the children), never reaches the freed list.
TEST(ChildWalk, AChildThatEmptiesItsGroupEndsTheWalkWithOrWithoutAView) {
  test::HeadlessView h(32, 32);
  for (CViewContext* view : {static_cast<CViewContext*>(nullptr), &h.view}) {
    const CNodeRef group = MakeNode<CGroupNode>();
    const CNodeRef emptier = MakeNode<CListEmptier>();
    const CNodeRef counter = MakeNode<CCounter>();
    static_cast<CListEmptier&>(*emptier.Get()).group = group.Get();
    std::array<CNodeRef, 4> children{MakeNode<test::CSensorNode>(NodeTypeTouchSensor), emptier,
                                     MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -4.0f, FloatColor{}),
                                     counter};
    MFNode list{static_cast<int32_t>(children.size()), children.data()};
    group->SetField("children", &list);

    group->Traverse(RenderPass::Frame, view);
    EXPECT_EQ(static_cast<CListEmptier&>(*emptier.Get()).traversals, 1) << (view ? "view" : "no view");
    EXPECT_EQ(static_cast<CCounter&>(*counter.Get()).traversals, 0) << "taken out before its turn";
    EXPECT_EQ(static_cast<CGroupNode&>(*group.Get()).children.count, 0);
  }
}

}  // namespace
}  // namespace vx
