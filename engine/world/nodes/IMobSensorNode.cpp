#include "engine/world/nodes/IMobSensorNode.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ObjectMovieView.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

constexpr FieldSpec kIMobSensorFields[] = {
    Field<&CIMobSensorNode::quantization>("quantization"),
    Field<&CIMobSensorNode::range>("range"),
    Field<&CIMobSensorNode::currentFrame>("currentFrame", DefaultInt(0)),
    Field<&CIMobSensorNode::enabled>("enabled", DefaultBool(true)),
    Field<&CIMobSensorNode::interactive>("interactive", DefaultBool(true)),
    Field<&CIMobSensorNode::type>("type", DefaultText("SPHERE")),
    Field<&CIMobSensorNode::defaultView>("defaultView"),
    Field<&CIMobSensorNode::animRate>("animRate"),
    Field<&CIMobSensorNode::screenIMob>("screenIMob", DefaultBool(false)),
};
constexpr FieldSpec kIMobSensorEventOuts[] = {
    Event("hitNormal_changed", FieldTypeSFVec3f),
    Event("hitPoint_changed", FieldTypeSFVec3f),
    Event("hitTexCoord_changed", FieldTypeSFVec2f),
    Event("isActive", FieldTypeSFBool),
    Event("isOver", FieldTypeSFBool),
    Event("touchTime", FieldTypeSFTime),
};
constexpr FieldTable kIMobSensorTable{Section(kIMobSensorFields), {}, Section(kIMobSensorEventOuts)};

constexpr int kAxes = kObjectMovieAxes;

bool Finite(float value) { return std::isfinite(value); }

// Adds step to value when the sum stays a finite number.
void AddFinite(float& value, double step) {
  const double sum = static_cast<double>(value) + step;
  if (std::isfinite(sum) && std::isfinite(static_cast<float>(sum))) value = static_cast<float>(sum);
}

int32_t ClampToInt32(double value) {
  return static_cast<int32_t>(std::clamp<double>(value, std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max()));
}

}  // namespace

CIMobSensorNode::CIMobSensorNode() { RegisterFields(kIMobSensorTable); }

CIMobSensorNode::Shape CIMobSensorNode::ShapeOf() const {
  const std::string_view name = TextOf(type);
  if (name == "SPHERE") return Shape::Sphere;
  if (name == "DISK") return Shape::Disk;
  return Shape::Other;
}

void CIMobSensorNode::ResetAngles() {
  angles_ = {};
  if (defaultView.count != kAxes) return;
  for (int i = 0; i < kAxes; ++i) {
    const float start = defaultView[i];
    if (Finite(start)) angles_[static_cast<size_t>(i)] = start;
  }
}

void CIMobSensorNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass == RenderPass::Activate) ResetAngles();
  const float before0 = angles_[0];
  const float before1 = angles_[1];
  if (!screenIMob && view && view->GetStage()) AddViewerAngles(*view);
  const float viewer0 = angles_[0] - before0;
  const float viewer1 = angles_[1] - before1;

  CBrowser* world = view && view->GetWorld() ? view->GetWorld() : GetWorld();
  if (rotationFrames_.IsNewFrame(world, pass)) Rotate(world ? world->GetFrameRate() : kDefaultFrameRate);
  const int32_t frame = ChooseFrame();
  currentFrame = frame;

  // Only drags, the default view and the rotation stay in the angles.
  angles_[0] -= viewer0;
  angles_[1] -= viewer1;

  if (frame != lastSent_ || pass == RenderPass::Activate) {
    lastSent_ = frame;
    SendEvent("currentFrame_changed", &frame);
  }
}

void CIMobSensorNode::AddViewerAngles(CViewContext& view) {
  CVec3f origin{0.0f, 0.0f, 0.0f};
  CVec3f ahead{0.0f, 0.0f, 1.0f};
  view.TransformPoint(origin);
  view.TransformPoint(ahead);
  const CVec3f toViewer = view.GetStage()->eye - origin;
  CVec3f facing = ahead - origin;
  facing.Normalize();

  float angle0 = angles_[0];
  if (ShapeOf() == Shape::Disk) {
    CVec3f direction = toViewer;
    direction.Normalize();
    angle0 = (direction * (1.0f + radial_) - origin).Length();
  }
  const ViewerAngles viewer = ViewerAnglesOf(toViewer, facing);
  // A camera or a transform that is not a number adds nothing.
  if (!Finite(angle0) || !Finite(viewer.heading) || !Finite(viewer.elevation)) return;

  switch (ShapeOf()) {
    case Shape::Sphere:
      AddFinite(angles_[0], viewer.elevation);
      AddFinite(angles_[1], viewer.heading);
      break;
    case Shape::Disk:
      angles_[0] = angle0;
      AddFinite(angles_[1], viewer.heading);
      break;
    case Shape::Other:
      break;
  }
}

void CIMobSensorNode::Rotate(double frameRate) {
  if (animRate.count != kAxes || !(frameRate > 0.0)) return;
  for (int i = 0; i < kAxes; ++i) AddFinite(angles_[static_cast<size_t>(i)], animRate[i] / frameRate);
}

int32_t CIMobSensorNode::FrameIndex(int axis) {
  if (range.count != 2 * kAxes) return 0;
  float& angle = angles_[static_cast<size_t>(axis)];
  const float a = range[2 * axis];
  const float b = range[2 * axis + 1];
  const float low = std::min(a, b);
  const float high = std::max(a, b);
  if (Finite(angle) && IsFullTurn(low, high)) angle = WrapIntoTurn(angle, low, high);
  if (quantization.count != kAxes) return 0;
  return ObjectMovieAxisIndex(angle, a, b, quantization[axis], static_cast<size_t>(axis));
}

int32_t CIMobSensorNode::ChooseFrame() {
  std::array<int64_t, kAxes> index{};
  for (int i = 0; i < kAxes; ++i) index[static_cast<size_t>(i)] = FrameIndex(i);
  if (quantization.count != kAxes) return 0;
  // In floating point, which cannot overflow: a result beyond the 32-bit
  // range is held at its edge, and one inside it is exact.
  const double q1 = quantization[1];
  const double q2 = quantization[2];
  return ClampToInt32((q1 * static_cast<double>(index[0]) + static_cast<double>(index[1])) * q2 +
                      static_cast<double>(index[2]));
}

void CIMobSensorNode::SendActive(bool active) {
  const int16_t flag = active ? 1 : 0;
  SendEvent("isActive", &flag);
}

void CIMobSensorNode::SendHitData() {
  SendEvent("hitNormal_changed", &pick.hitNormal);
  SendEvent("hitPoint_changed", &pick.hitPoint);
  SendEvent("hitTexCoord_changed", &pick.hitTexCoord);
}

void CIMobSensorNode::OnPointerDrag(int32_t, float dx, float dy) {
  SendActive(true);
  if (!enabled || !interactive || range.count != 2 * kAxes) return;
  const double span0 = static_cast<double>(range[1]) - range[0];
  const double span1 = static_cast<double>(range[3]) - range[2];
  if (ShapeOf() == Shape::Disk) {
    AddFinite(radial_, span0 * dy * kDiskDragScale);
  } else {
    AddFinite(angles_[0], span0 * dy * kObjectDragScale);
  }
  AddFinite(angles_[1], span1 * dx * -kObjectDragScale);
}

void CIMobSensorNode::OnPointerClick(CViewContext* view) {
  SendActive(true);
  CBrowser* world = view && view->GetWorld() ? view->GetWorld() : GetWorld();
  const double now = world ? world->GetWorldTime() : 0.0;
  SendEvent("touchTime", &now);
  SendHitData();
}

void CIMobSensorNode::OnPointerOver() {
  const int16_t over = 1;
  SendEvent("isOver", &over);
  SendHitData();
}

void CIMobSensorNode::OnPointerPress() { SendActive(true); }

void CIMobSensorNode::OnPointerRelease() { SendActive(false); }

void RegisterIMobSensorNode(NodeClassTable& table) { table.Add<CIMobSensorNode>("IMobSensor"); }

}  // namespace vx
