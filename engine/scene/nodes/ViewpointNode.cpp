#include "engine/scene/nodes/ViewpointNode.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/scene/Matrix4.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr float kDefaultFieldOfView = 0.785398f;

constexpr FieldSpec kViewpointFields[] = {
    Field<&CViewpointNode::fieldOfView>("fieldOfView", DefaultFloats(kDefaultFieldOfView)),
    Field<&CViewpointNode::jump>("jump", DefaultBool(true)),
    Field<&CViewpointNode::orientation>("orientation", DefaultFloats(0, 0, 1, 0)),
    Field<&CViewpointNode::position>("position", DefaultFloats(0, 0, 0)),
    Field<&CViewpointNode::description>("description", DefaultText("")),
};
constexpr FieldSpec kViewpointEventIns[] = {Event("set_bind", FieldTypeSFBool)};
constexpr FieldSpec kViewpointEventOuts[] = {
    Event("isBound", FieldTypeSFBool),
    Event("bindTime", FieldTypeSFTime),
};
constexpr FieldTable kViewpointTable{Section(kViewpointFields), Section(kViewpointEventIns),
                                     Section(kViewpointEventOuts)};

// Fields whose change moves the camera of a bound Viewpoint.
constexpr int kFieldOfView = IndexIn(kViewpointFields, "fieldOfView");
constexpr int kOrientation = IndexIn(kViewpointFields, "orientation");
constexpr int kPosition = IndexIn(kViewpointFields, "position");
constexpr int kSetBind = IndexIn(kViewpointEventIns, "set_bind");

CVec3f ToVec(const SFVec3f& v) { return {v.x, v.y, v.z}; }

bool IsFinite(const CVec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// The file's angle spans the narrow side of the frame; the camera keeps half
// the angle that the frame's height spans. In a frame higher than wide the
// width is the narrow side, and the height's half-angle follows from the
// tangents. Angles the view cannot project pass on for it to refuse.
float CameraFieldOfView(float angle, const PixelMap& frame) {
  const float half = angle * 0.5f;
  const bool higherThanWide = frame.width > 0 && frame.height > frame.width;
  if (!higherThanWide || !(half > 0.0f && half < std::numbers::pi_v<float> * 0.5f)) return half;
  return std::atan(std::tan(half) * static_cast<float>(frame.height) / static_cast<float>(frame.width));
}

}  // namespace

CViewpointNode::CViewpointNode() { RegisterFields(kViewpointTable); }

int CViewpointNode::OnEventIn(bool isField, int index, const void* value) {
  if (isField) {
    if (index == kFieldOfView || index == kOrientation || index == kPosition) fieldsChanged_ = 1;
    return CNode::OnEventIn(isField, index, value);
  }
  if (index == kSetBind) {
    bindChanged_ = 1;
    bound_ = *static_cast<const int16_t*>(value) != 0 ? 1 : 0;
    if (CBrowser* world = place_.WorldToBind(*this)) world->BindViewpoint(this, bound_ != 0);
  }
  return 0;
}

void CViewpointNode::Traverse(RenderPass pass, CViewContext* view) {
  if (CBrowser* world = place_.NoteView(view, *this, bound_ != 0)) {
    bindChanged_ = 1;
    world->BindViewpoint(this, true);
  }
  if (!view || pass != RenderPass::Frame || !view->GetWorld()) return;
  if (!TakeFramePass(view->GetWorld()->GetFrameNumber())) return;
  if (bindChanged_) {
    if (bound_) {
      TakeCamera(*view);
    } else {
      GiveCameraBack(*view);
    }
    bindChanged_ = 0;
  }
  if (bound_ && jump && fieldsChanged_) FollowFieldChanges(*view);
}

CViewpointNode::Camera CViewpointNode::CameraFromFields(const CViewContext& view) const {
  // A value beyond the float range counts as the field's default: the camera
  // follows later changes by differences, which an infinity would turn into
  // NaN for good.
  Camera camera;
  camera.position = IsFinite(ToVec(position)) ? ToVec(position) : CVec3f{};
  const float angle = std::isfinite(fieldOfView) ? fieldOfView : kDefaultFieldOfView;
  camera.fieldOfView = CameraFieldOfView(angle, view.GetFrameBuffer());

  // Turned by the orientation, then by the parents. The turn is not pushed
  // onto the view's stack: a push refused on a full stack would turn the
  // parents' matrix itself.
  CMatrix4 turn;
  turn.SetRotation({orientation.x, orientation.y, orientation.z}, orientation.angle);
  CVec3f from = camera.position;
  CVec3f to = camera.position + CVec3f{0.0f, 0.0f, -1.0f};
  for (CVec3f* point : {&from, &to}) {
    turn.TransformPoint(*point);
    view.TransformPoint(*point);
  }

  // A turn that overflows has no direction, like a degenerate one.
  CVec3f direction = to - from;
  if (!IsFinite(direction)) direction = {};
  const float length = direction.Length();
  const float s = length > 0.0f ? 1.0f / length : 1.0f;
  // Rounding may put the sine a hair past 1.
  camera.pitch = std::asin(std::clamp(s * direction.y, -1.0f, 1.0f));
  camera.yaw = std::atan2(-s * direction.x, s * direction.z);
  return camera;
}

void CViewpointNode::TakeCamera(CViewContext& view) {
  saved_.position = view.GetPosition();
  view.GetOrientation(&saved_.pitch, &saved_.yaw, &saved_.roll);
  saved_.fieldOfView = view.GetFieldOfView();
  cameraSaved_ = true;

  lastApplied_ = CameraFromFields(view);
  lastApplied_.roll = saved_.roll;
  view.SetPosition(lastApplied_.position, false);
  view.SetFieldOfView(lastApplied_.fieldOfView, false);
  view.SetOrientation(lastApplied_.pitch, lastApplied_.yaw, lastApplied_.roll, true);
  // The camera did not travel here: the view's collision test must not
  // sweep from where it stood.
  view.NoteCameraJump(lastApplied_.position);
}

// Only a camera this node took is given back: one unbound before it ever
// set the camera has nothing to restore.
void CViewpointNode::GiveCameraBack(CViewContext& view) {
  const CBrowser* world = view.GetWorld();
  if (!jump || !cameraSaved_ || (world && world->GetViewpoint())) return;
  view.SetPosition(saved_.position, false);
  view.SetOrientation(saved_.pitch, saved_.yaw, saved_.roll, false);
  view.SetFieldOfView(saved_.fieldOfView, false);
  cameraSaved_ = false;
}

void CViewpointNode::FollowFieldChanges(CViewContext& view) {
  const Camera wanted = CameraFromFields(view);
  const CVec3f dPosition = wanted.position - lastApplied_.position;
  const float dFieldOfView = wanted.fieldOfView - lastApplied_.fieldOfView;
  const float dPitch = wanted.pitch - lastApplied_.pitch;
  const float dYaw = wanted.yaw - lastApplied_.yaw;
  const float dRoll = -lastApplied_.roll;

  float pitch, yaw, roll;
  view.GetOrientation(&pitch, &yaw, &roll);
  view.SetPosition(view.GetPosition() + dPosition, false);
  view.SetOrientation(pitch + dPitch, yaw + dYaw, roll + dRoll, false);
  view.SetFieldOfView(view.GetFieldOfView() + dFieldOfView, false);

  lastApplied_.position += dPosition;
  lastApplied_.fieldOfView += dFieldOfView;
  lastApplied_.pitch += dPitch;
  lastApplied_.yaw += dYaw;
  lastApplied_.roll += dRoll;
  fieldsChanged_ = 0;
}

void RegisterViewpointNode(NodeClassTable& table) { table.Add<CViewpointNode>("Viewpoint"); }

}  // namespace vx
