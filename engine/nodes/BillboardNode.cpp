#include "engine/nodes/BillboardNode.h"

#include <algorithm>
#include <cmath>

#include "engine/scene/NodeFactory.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/GroupNode.h"
#include "engine/nodes/TransformNode.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kBillboardFields[] = {
    Field<&CBillboardNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CBillboardNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CBillboardNode::children>("children"),
    Field<&CBillboardNode::axisOfRotation>("axisOfRotation", DefaultFloats(0, 1, 0)),
};
constexpr FieldTable kBillboardTable{Section(kBillboardFields), Section(kGroupingEventIns), {}};

float Elevation(const CVec3f& v) { return std::atan2(v.y, std::sqrt(v.x * v.x + v.z * v.z)); }
float Azimuth(const CVec3f& v) { return std::atan2(v.x, v.z); }

}  // namespace

CBillboardNode::CBillboardNode() { RegisterFields(kBillboardTable); }

void CBillboardNode::Traverse(RenderPass pass, CViewContext* view) {
  if (view) {
    TurnTowardsTheEye(*view);
    view->ApplyMatrix();
  }
  TraverseChildrenThenPop(*this, pass, view, children);
}

void CBillboardNode::TurnTowardsTheEye(CViewContext& view) const {
  CVec3f origin;
  CVec3f localZ{0.0f, 0.0f, 1.0f};
  view.TransformPoint(origin);
  view.TransformPoint(localZ);
  localZ -= origin;
  localZ.Normalize();
  CVec3f toEye = view.GetStage()->eye - origin;
  toEye.Normalize();
  view.PushMatrix();
  const SFVec3f& a = axisOfRotation;
  if (a.x == 0.0f && a.y == 0.0f && a.z == 0.0f) {
    const FacingTurn turn = FacingAngles(localZ, toEye);
    view.Rotate({0.0f, 1.0f, 0.0f, turn.yaw});
    view.Rotate({1.0f, 0.0f, 0.0f, turn.pitch});
    return;
  }
  CVec3f axis{a.x, a.y, a.z};
  view.TransformPoint(axis);
  axis -= origin;
  axis.Normalize();
  view.Rotate({axis.x, axis.y, axis.z, AngleAboutAxis(localZ, toEye, axis)});
}

int CBillboardNode::OnEventIn(bool isField, int index, const void* value) {
  return OnGroupingEventIn(*this, children, isField, index, value);
}

FacingTurn FacingAngles(const CVec3f& localZ, const CVec3f& toEye) {
  return {Azimuth(toEye) - Azimuth(localZ), Elevation(localZ) - Elevation(toEye)};
}

float AngleAboutAxis(const CVec3f& localZ, const CVec3f& toEye, const CVec3f& axis) {
  CVec3f eyeAcross = axis.Cross(toEye.Cross(axis));
  eyeAcross.Normalize();
  const CVec3f zAcross = localZ - axis * localZ.Dot(axis);
  float angle = std::acos(std::clamp(zAcross.Dot(eyeAcross), -1.0f, 1.0f));
  if (eyeAcross.Cross(zAcross).Dot(axis) > 0.0f) angle = -angle;
  return angle;
}

void RegisterBillboardNode(NodeClassTable& table) { table.Add<CBillboardNode>("Billboard"); }

}  // namespace vx
