#include "engine/scene/nodes/BillboardNode.h"

#include <algorithm>
#include <cmath>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/GroupNode.h"

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

void CBillboardNode::Traverse(RenderPass pass, CViewContext* view) { PickChildSensors(pass, view, children); }

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
