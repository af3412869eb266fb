#include "engine/nodes/TransformNode.h"

#include "engine/scene/NodeFactory.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kTransformFields[] = {
    Field<&CTransformNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CTransformNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CTransformNode::translation>("translation", DefaultFloats(0, 0, 0)),
    Field<&CTransformNode::rotation>("rotation", DefaultFloats(0, 0, 1, 0)),
    Field<&CTransformNode::scale>("scale", DefaultFloats(1, 1, 1)),
    Field<&CTransformNode::scaleOrientation>("scaleOrientation", DefaultFloats(0, 0, 1, 0)),
    Field<&CTransformNode::center>("center", DefaultFloats(0, 0, 0)),
    Field<&CTransformNode::children>("children"),
};
constexpr FieldTable kTransformTable{Section(kTransformFields), Section(kGroupingEventIns), {}};

}  // namespace

const int CTransformNode::kTranslation = IndexIn(kTransformFields, "translation");
const int CTransformNode::kRotation = IndexIn(kTransformFields, "rotation");
const int CTransformNode::kScale = IndexIn(kTransformFields, "scale");
const int CTransformNode::kScaleOrientation = IndexIn(kTransformFields, "scaleOrientation");
const int CTransformNode::kCenter = IndexIn(kTransformFields, "center");

CTransformNode::CTransformNode() { RegisterFields(kTransformTable); }

void CTransformNode::Traverse(RenderPass pass, CViewContext* view) {
  if (view) {
    view->PushMatrix();
    ApplyPlacement(*view);
    view->ApplyMatrix();
  }
  TraverseChildrenThenPop(*this, pass, view, children);
}

int CTransformNode::OnEventIn(bool isField, int index, const void* value) {
  return OnGroupingEventIn(*this, children, isField, index, value);
}

void TraverseChildrenThenPop(CNode& node, RenderPass pass, CViewContext* view, const MFNode& children) {
  node.PickChildSensors(pass, view, children);
  if (!view) return;
  view->PopMatrix();
  view->ApplyMatrix();
}

void RegisterTransformNode(NodeClassTable& table) { table.Add<CTransformNode>("Transform"); }

}  // namespace vx
