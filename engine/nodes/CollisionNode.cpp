#include "engine/nodes/CollisionNode.h"

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kCollisionFields[] = {
    Field<&CCollisionNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CCollisionNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CCollisionNode::children>("children"),
    Field<&CCollisionNode::collide>("collide", DefaultBool(true)),
    Field<&CCollisionNode::proxy>("proxy"),
};
constexpr FieldSpec kCollisionEventOuts[] = {
    Event("collideTime", FieldTypeSFTime),
};
constexpr FieldTable kCollisionTable{Section(kCollisionFields), Section(kGroupingEventIns),
                                     Section(kCollisionEventOuts)};

}  // namespace

CCollisionNode::CCollisionNode() { RegisterFields(kCollisionTable); }

void CCollisionNode::Traverse(RenderPass pass, CViewContext* view) {
  TraverseTested(pass, view, view ? view->GetStage() : nullptr);
}

int CCollisionNode::OnEventIn(bool isField, int index, const void* value) {
  return OnGroupingEventIn(*this, children, isField, index, value);
}

void CCollisionNode::TraverseTested(RenderPass pass, CViewContext* view, CGeometryStage* stage) {
  if (!stage) {
    PickChildSensors(pass, view, children);
    return;
  }
  const BoxTestMode outer = stage->GetBoxTestMode();
  const bool testing = collide && outer != BoxTestMode::kOff;
  // With a proxy, the proxy is tested in place of the children, which are
  // drawn untested.
  bool hit = false;
  {
    CBoxTestScope own(*stage, testing && !proxy ? outer : BoxTestMode::kOff);
    if (testing && proxy) {
      CBoxTestScope proxyTest(*stage, BoxTestMode::kTestOnly);
      proxy->Traverse(pass, view);
    }
    PickChildSensors(pass, view, children);
    hit = own.Hit();
  }
  if (hit) {
    const double now = GetWorld() ? GetWorld()->GetWorldTime() : 0.0;
    SendEvent("collideTime", &now);
  }
}

void RegisterCollisionNode(NodeClassTable& table) { table.Add<CCollisionNode>("Collision"); }

}  // namespace vx
