#include "engine/nodes/PointingSensorNodes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr float kTwoPi = 6.283185f;
// A held TouchSensor sends at most one event per this many seconds.
constexpr double kTouchEventInterval = 0.1;
// How far from the hit point the calibration points lie, in the sensor's
// coordinates.
constexpr float kCalibrationStep = 0.01f;
// The SphereSensor's polar angle stays inside these, short of the poles,
// where the rotation axis would vanish.
constexpr float kMinPolarAngle = 0.001f;
constexpr float kMaxPolarAngle = 3.1405926f;

constexpr FieldSpec kTouchSensorFields[] = {
    Field<&CTouchSensorNode::enabled>("enabled", DefaultBool(true)),
};
constexpr FieldSpec kTouchSensorEventOuts[] = {
    Event("hitNormal_changed", FieldTypeSFVec3f),
    Event("hitPoint_changed", FieldTypeSFVec3f),
    Event("hitTexCoord_changed", FieldTypeSFVec2f),
    Event("isActive", FieldTypeSFBool),
    Event("isOver", FieldTypeSFBool),
    Event("touchTime", FieldTypeSFTime),
    Event("translationChanged", FieldTypeSFVec3f),
    Event("dragXChanged", FieldTypeSFInt32),
    Event("dragYChanged", FieldTypeSFInt32),
};
constexpr FieldTable kTouchSensorTable{Section(kTouchSensorFields), {}, Section(kTouchSensorEventOuts)};

constexpr FieldSpec kPlaneSensorFields[] = {
    Field<&CPlaneSensorNode::autoOffset>("autoOffset", DefaultBool(true)),
    Field<&CPlaneSensorNode::enabled>("enabled", DefaultBool(true)),
    Field<&CPlaneSensorNode::maxPosition>("maxPosition", DefaultFloats(-1, -1)),
    Field<&CPlaneSensorNode::minPosition>("minPosition", DefaultFloats(0, 0)),
    Field<&CPlaneSensorNode::offset>("offset", DefaultFloats(0, 0, 0)),
};
constexpr FieldSpec kPlaneSensorEventOuts[] = {
    Event("isActive", FieldTypeSFBool),
    Event("translation_changed", FieldTypeSFVec3f),
    Event("trackPoint_changed", FieldTypeSFVec3f),
};
constexpr FieldTable kPlaneSensorTable{Section(kPlaneSensorFields), {}, Section(kPlaneSensorEventOuts)};

constexpr FieldSpec kSphereSensorFields[] = {
    Field<&CSphereSensorNode::autoOffset>("autoOffset", DefaultBool(true)),
    Field<&CSphereSensorNode::enabled>("enabled", DefaultBool(true)),
    Field<&CSphereSensorNode::offset>("offset", DefaultFloats(0, 1, 0, 0)),
};
constexpr FieldSpec kRotationSensorEventOuts[] = {
    Event("isActive", FieldTypeSFBool),
    Event("rotation_changed", FieldTypeSFRotation),
    Event("trackPoint_changed", FieldTypeSFVec3f),
};
constexpr FieldTable kSphereSensorTable{Section(kSphereSensorFields), {}, Section(kRotationSensorEventOuts)};

constexpr FieldSpec kCylinderSensorFields[] = {
    Field<&CCylinderSensorNode::autoOffset>("autoOffset", DefaultBool(true)),
    Field<&CCylinderSensorNode::diskAngle>("diskAngle", DefaultFloats(0.262f)),
    Field<&CCylinderSensorNode::enabled>("enabled", DefaultBool(true)),
    Field<&CCylinderSensorNode::maxAngle>("maxAngle", DefaultFloats(-1)),
    Field<&CCylinderSensorNode::minAngle>("minAngle", DefaultFloats(0)),
    Field<&CCylinderSensorNode::offset>("offset", DefaultFloats(0)),
};
constexpr FieldTable kCylinderSensorTable{Section(kCylinderSensorFields), {}, Section(kRotationSensorEventOuts)};

void SendBool(CNode& node, std::string_view eventOut, bool value) {
  const int16_t flag = value ? 1 : 0;
  node.SendEvent(eventOut, &flag);
}

// Pixels as an integer, truncated toward zero; a movement that does not fit
// (or is not a number) is held within the integer range.
int32_t PixelsOf(float pixels) {
  if (std::isnan(pixels)) return 0;
  constexpr auto kLow = static_cast<float>(std::numeric_limits<int32_t>::min());
  constexpr float kHigh = 2147483520.0f;  // the largest float below 2^31
  return static_cast<int32_t>(std::clamp(pixels, kLow, kHigh));
}

bool IsUsable(float value) { return std::isfinite(value); }

// The limit applies only when the range is not empty: equal or crossed
// bounds leave the value free.
float LimitTo(float value, float low, float high) {
  if (!(high > low)) return value;
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

// The unit direction of a screen step, or false when the step has no length
// (both points projected onto the same pixel, or off the frame).
bool DirectionOf(const CVec2f& step, CVec2f& out) {
  const float length = std::sqrt(step.x * step.x + step.y * step.y);
  if (!(length > 0.0f) || !IsUsable(length)) return false;
  out = {step.x / length, step.y / length};
  return IsUsable(out.x) && IsUsable(out.y);
}

// The PlaneSensor's scale of a step given as fractions of the frame, or false
// when the step has no length.
bool PlaneScaleOf(const CVec2f& step, float& out) {
  const float denominator = (std::fabs(step.x) + std::fabs(step.y)) * std::sqrt(step.x * step.x + step.y * step.y);
  if (!(denominator > 0.0f)) return false;
  out = kCalibrationStep / denominator;
  return IsUsable(out) && IsUsable(step.x * out) && IsUsable(step.y * out);
}

}  // namespace

// ---- TouchSensor ----

CTouchSensorNode::CTouchSensorNode() { RegisterFields(kTouchSensorTable); }

double CTouchSensorNode::Now() const { return GetWorld() ? GetWorld()->GetWorldTime() : 0.0; }

// A clock that went back (a world loaded again restarts its clock) opens the
// slot too, so that a held sensor is never silenced until the old time is
// reached again.
bool CTouchSensorNode::TakeEventSlot() {
  const double now = Now();
  if (!(now - lastEventTime_ > kTouchEventInterval) && now >= lastEventTime_) return false;
  lastEventTime_ = now;
  return true;
}

void CTouchSensorNode::SendHitData() {
  SendEvent("hitNormal_changed", &pick.hitNormal);
  SendEvent("hitPoint_changed", &pick.hitPoint);
  SendEvent("hitTexCoord_changed", &pick.hitTexCoord);
}

void CTouchSensorNode::Traverse(RenderPass, CViewContext* view) {
  if (!frameRecorded_) {
    if (!view) return;
    frameWidth_ = view->GetFrameBuffer().width;
    frameHeight_ = view->GetFrameBuffer().height;
    frameRecorded_ = true;
    return;
  }
  if (held_ && TakeEventSlot()) SendBool(*this, "isActive", activeValue_ != 0);
}

void CTouchSensorNode::OnPointerOver() {
  if (!enabled) return;
  SendBool(*this, "isOver", true);
  SendHitData();
}

void CTouchSensorNode::OnPointerPress() {
  if (!enabled) return;
  frameRecorded_ = false;
  activeValue_ = 1;
  held_ = true;
}

void CTouchSensorNode::OnPointerDrag(int32_t, float dx, float dy) {
  if (!held_ || !frameRecorded_ || !TakeEventSlot()) return;
  SendBool(*this, "isActive", activeValue_ != 0);
  const int32_t dragX = PixelsOf(frameWidth_ * dx);
  const int32_t dragY = PixelsOf(-(frameHeight_ * dy));
  SendEvent("dragXChanged", &dragX);
  SendEvent("dragYChanged", &dragY);
}

void CTouchSensorNode::OnPointerRelease() { held_ = false; }

void CTouchSensorNode::OnPointerClick(CViewContext*) {
  if (!enabled) return;
  const double now = Now();
  lastEventTime_ = now;
  activeValue_ = 0;
  SendBool(*this, "isActive", false);
  SendEvent("touchTime", &now);
  SendHitData();
}

// ---- Drag sensors ----

void CDragSensorNode::Traverse(RenderPass, CViewContext* view) {
  if (calibrated_) return;
  CGeometryStage* stage = view ? view->GetStage() : nullptr;
  if (!stage) {
    Calibrate(nullptr, PixelMap{});
  } else {
    const CVec3f hit{pick.hitPoint.x, pick.hitPoint.y, pick.hitPoint.z};
    const CVec2f at = stage->ProjectPoint(hit);
    const ScreenSteps steps{stage->ProjectPoint(hit + CVec3f(kCalibrationStep, 0.0f, 0.0f)) - at,
                            stage->ProjectPoint(hit + CVec3f(0.0f, kCalibrationStep, 0.0f)) - at};
    Calibrate(&steps, view->GetFrameBuffer());
  }
  calibrated_ = true;
}

void CDragSensorNode::OnPointerPress() {
  if (!enabled) return;
  pressed_ = true;
  SendBool(*this, "isActive", true);
  calibrated_ = false;
  Start();
}

void CDragSensorNode::OnPointerDrag(int32_t, float dx, float dy) {
  if (!pressed_ || !calibrated_ || !IsUsable(dx) || !IsUsable(dy)) return;
  Drag(dx, dy);
}

void CDragSensorNode::OnPointerRelease() {
  if (!pressed_) return;
  pressed_ = false;
  SendBool(*this, "isActive", false);
  if (autoOffset) KeepOffset();
}

// ---- PlaneSensor ----

CPlaneSensorNode::CPlaneSensorNode() { RegisterFields(kPlaneSensorTable); }

// Each screen step is taken as a fraction of the frame. A step without
// length keeps the straight mapping for its axis.
void CPlaneSensorNode::Calibrate(const ScreenSteps* steps, const PixelMap& frame) {
  mapping_ = {1.0f, 0.0f, 0.0f, 1.0f};
  if (!steps || frame.width == 0 || frame.height == 0) return;
  const CVec2f size{static_cast<float>(frame.width), static_cast<float>(frame.height)};
  const CVec2f alongX{steps->alongX.x / size.x, steps->alongX.y / size.y};
  const CVec2f alongY{steps->alongY.x / size.x, steps->alongY.y / size.y};
  if (float k = 0.0f; PlaneScaleOf(alongX, k)) {
    mapping_[0] = alongX.x * k;
    mapping_[1] = -alongX.y * k;
  }
  if (float k = 0.0f; PlaneScaleOf(alongY, k)) {
    mapping_[2] = alongY.x * k;
    mapping_[3] = -alongY.y * k;
  }
}

void CPlaneSensorNode::Start() { translation_ = offset; }

void CPlaneSensorNode::Drag(float dx, float dy) {
  const float x = translation_.x + mapping_[0] * dx + mapping_[1] * dy;
  const float y = translation_.y + mapping_[2] * dx + mapping_[3] * dy;
  if (!IsUsable(x) || !IsUsable(y)) return;
  translation_.x = LimitTo(x, minPosition.x, maxPosition.x);
  translation_.y = LimitTo(y, minPosition.y, maxPosition.y);
  translation_.z = offset.z;
  SendEvent("translation_changed", &translation_);
}

void CPlaneSensorNode::KeepOffset() { SetField("offset", &translation_); }

// ---- SphereSensor ----

CSphereSensorNode::CSphereSensorNode() { RegisterFields(kSphereSensorTable); }

// Only the screen directions of the steps count. A step without length keeps
// the fallback for its pair.
void CSphereSensorNode::Calibrate(const ScreenSteps* steps, const PixelMap&) {
  mapping_ = {0.0f, kTwoPi, kTwoPi, 0.0f};
  if (!steps) return;
  if (CVec2f d; DirectionOf(steps->alongX, d)) {
    mapping_[0] = kTwoPi * d.x;
    mapping_[1] = -kTwoPi * d.y;
  }
  if (CVec2f d; DirectionOf(steps->alongY, d)) {
    mapping_[2] = kTwoPi * d.x;
    mapping_[3] = -kTwoPi * d.y;
  }
}

// With autoOffset the angles carry on from the last drag.
void CSphereSensorNode::Start() {
  rotation_ = offset;
  if (!autoOffset) polar_ = turn_ = 0.0f;
}

void CSphereSensorNode::Drag(float dx, float dy) {
  const float polar = polar_ - (mapping_[3] * dy + mapping_[2] * dx);
  const float turn = turn_ + (mapping_[1] * dy + mapping_[0] * dx);
  if (!IsUsable(polar) || !IsUsable(turn)) return;
  polar_ = std::clamp(polar, kMinPolarAngle, kMaxPolarAngle);
  turn_ = turn;
  const CVec3f up{0.0f, 1.0f, 0.0f};
  CVec3f q = up;
  q.RotateAboutAxis(0, polar_).RotateAboutAxis(1, turn_).Normalize();
  CVec3f axis = up.Cross(q);
  axis.Normalize();
  rotation_ = {axis.x, axis.y, axis.z, std::acos(std::clamp(up.Dot(q), -1.0f, 1.0f))};
  SendEvent("rotation_changed", &rotation_);
}

void CSphereSensorNode::KeepOffset() { SetField("offset", &rotation_); }

// ---- CylinderSensor ----

CCylinderSensorNode::CCylinderSensorNode() { RegisterFields(kCylinderSensorTable); }

void CCylinderSensorNode::Calibrate(const ScreenSteps* steps, const PixelMap&) {
  kx_ = kTwoPi;
  ky_ = 0.0f;
  if (CVec2f d; steps && DirectionOf(steps->alongY, d)) {
    kx_ = -kTwoPi * d.y;
    ky_ = -kTwoPi * d.x;
  }
}

void CCylinderSensorNode::Start() { angle_ = offset; }

void CCylinderSensorNode::Drag(float dx, float dy) {
  const float angle = angle_ + kx_ * dx + ky_ * dy;
  if (!IsUsable(angle)) return;
  angle_ = LimitTo(angle, minAngle, maxAngle);
  const SFRotation rotation{0.0f, 1.0f, 0.0f, angle_};
  SendEvent("rotation_changed", &rotation);
}

void CCylinderSensorNode::KeepOffset() { SetField("offset", &angle_); }

void RegisterPointingSensorNodes(NodeClassTable& table) {
  table.Add<CTouchSensorNode>("TouchSensor");
  table.Add<CPlaneSensorNode>("PlaneSensor");
  table.Add<CSphereSensorNode>("SphereSensor");
  table.Add<CCylinderSensorNode>("CylinderSensor");
}

}  // namespace vx
