#include "engine/scene/nodes/CollisionNode.h"

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/GroupNode.h"
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
  const uint8_t testWasOn = stage->boxTestOn;
  if (!collide) stage->boxTestOn = 0;
  // A hit of geometry before this node is kept aside, so that the hit flag
  // tells afterwards whether this node's own geometry was touched.
  const uint8_t earlierHit = stage->boxHit;
  stage->boxHit = 0;
  if (stage->boxTestOn && proxy) {
    stage->testOnly = 1;
    proxy->Traverse(pass, view);
    stage->testOnly = 0;
    stage->boxTestOn = 0;
  }
  PickChildSensors(pass, view, children);
  if (stage->boxHit) {
    const double now = GetWorld() ? GetWorld()->GetWorldTime() : 0.0;
    SendEvent("collideTime", &now);
  } else if (earlierHit) {
    stage->boxHit = 1;
  }
  stage->boxTestOn = testWasOn;
}

void RegisterCollisionNode(NodeClassTable& table) { table.Add<CCollisionNode>("Collision"); }

}  // namespace vx
