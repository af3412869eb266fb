#include "engine/world/SensorPick.h"

#include <vector>

#include "engine/render/GeometryStage.h"
#include "engine/scene/ChildWalk.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

// A type id that no node class answers but that still counts as a sensor.
constexpr int32_t kUnusedSensorType = 1010;
// Sensors of one walk: as many as the view context records picks for.
constexpr size_t kSensorSlots = kMaxPickedNodes;

bool IsPointingSensor(const CNode& node) {
  switch (static_cast<int32_t>(node.GetTypeId())) {
    case NodeTypeTouchSensor:
    case NodeTypeSphereSensor:
    case NodeTypePlaneSensor:
    case NodeTypeCylinderSensor:
    case NodeTypeIMobSensor:
    case kUnusedSensorType:
      return true;
    default:
      return false;
  }
}

// The sensors among the children in child order, then an Anchor itself;
// sensors past the view's pick slots are left out. They are held, since the
// walk that follows may take them out of the scene.
std::vector<CNodeRef> CollectSensors(CNode& self, const MFNode& children) {
  std::vector<CNodeRef> sensors;
  for (const CNodeRef& child : children.Span()) {
    CNode* node = child.Resolve();
    if (node && IsPointingSensor(*node) && sensors.size() < kSensorSlots) sensors.emplace_back(node);
  }
  if (self.GetTypeId() == NodeTypeAnchor && sensors.size() < kSensorSlots) sensors.emplace_back(&self);
  return sensors;
}

// A nested group recorded a nearer hit during the walk: the sensor shares it.
void ShareNestedHit(CNode& sensor, int32_t index, CViewContext& view) {
  const std::array<int32_t, 2> point = view.GetHitPoint();
  const CVec2f pair{static_cast<float>(point[0]), static_cast<float>(point[1])};
  sensor.pick.hitTexCoord = {pair.x, pair.y};
  sensor.pick.hitPoint = {static_cast<float>(view.GetPointerX()), static_cast<float>(view.GetPointerY()), 0.0f};
  const std::vector<CNode*> picked = view.GetPointerTargets();
  if (!picked.empty() && picked[0]) {
    int32_t width = 0, height = 0;
    picked[0]->GetSize(&width, &height);
    sensor.pick.hitNormal.x = static_cast<float>(width) * pair.x;
    sensor.pick.hitNormal.y = static_cast<float>(height) * pair.y;
  }
  sensor.pick.order = view.GetNearestPickDepth();
  view.RecordHit(&sensor, view.GetNearestPickDepth(), point, index);
}

}  // namespace

void CNode::TakeStageHit(int32_t index, CViewContext& view, const CVec3f& point, const CVec3f& normal,
                         const CVec2f& texCoord) {
  pick.hitPoint = {point.x, point.y, point.z};
  pick.hitNormal = {normal.x, normal.y, normal.z};
  pick.hitTexCoord = {texCoord.x, texCoord.y};
  pick.depth = view.GetStage()->GetPickDepth(view.GetPointerX(), view.GetPointerY());
  view.AddPointerTarget(this, index);
}

int WalkChildrenPickingSensors(CNode& parent, RenderPass pass, CViewContext& view, const MFNode& children) {
  const std::vector<CNodeRef> sensors = CollectSensors(parent, children);
  if (sensors.empty()) {
    TraverseChildrenInOrder(pass, &view, children);
    return 0;
  }
  CGeometryStage& stage = *view.GetStage();
  const int32_t nearestBefore = view.GetNearestPickDepth();
  stage.RequestScreenPick(view.GetPointerX(), view.GetPointerY());
  TraverseChildrenInOrder(pass, &view, children);

  CVec3f point, normal;
  CVec2f texCoord;
  const bool stageHit = stage.GetPickHit(&point, &normal, &texCoord);
  int result = 0;
  for (size_t i = 0; i < sensors.size(); ++i) {
    CNode& sensor = *sensors[i].Get();
    const auto index = static_cast<int32_t>(i);
    sensor.pick.pointerX = view.GetPointerX();
    sensor.pick.pointerY = view.GetPointerY();
    if (view.GetNearestPickDepth() < nearestBefore) {
      ShareNestedHit(sensor, index, view);
    } else if (stageHit) {
      sensor.TakeStageHit(index, view, point, normal, texCoord);
    } else {
      continue;
    }
    result = 1;
  }
  return result;
}

}  // namespace vx
