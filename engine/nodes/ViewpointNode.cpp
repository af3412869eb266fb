#include "engine/nodes/ViewpointNode.h"

#include <algorithm>
#include <cmath>

#include "engine/math/Matrix4.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/Scene.h"
#include "engine/world/Browser.h"
#include "engine/world/CameraTurn.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kViewpointFields[] = {
    Field<&CViewpointNode::fieldOfView>("fieldOfView", DefaultFloats(kDefaultViewpointFieldOfView)),
    Field<&CViewpointNode::jump>("jump", DefaultBool(true)),
    Field<&CViewpointNode::orientation>("orientation", DefaultFloats(0, 0, 1, 0)),
    Field<&CViewpointNode::position>("position", DefaultFloats(0, 0, kDefaultViewpointDistance)),
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

CNodeRef MakeViewpoint(const NodeCreation& creation) {
  return MakeNode<CViewpointNode>(ConventionOf(creation.scene ? creation.scene->GetWorld() : nullptr));
}

}  // namespace

CViewpointNode::CViewpointNode(WorldConvention convention) {
  RegisterFields(kViewpointTable);
  if (convention == WorldConvention::kSystem) position = {};
}

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
  if (!view || !view->GetWorld()) return;
  // The world hands the frame's pass to its visit before the scene, where
  // nothing of the scene is on the view's stack; every other visit is one
  // in the scene, which tells where the node stands.
  if (pass != RenderPass::Frame || !TakeFramePass(view->GetWorld()->GetFrameNumber())) {
    NoteParents(*view);
    return;
  }
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

// In the standard's worlds a camera under moving parents moves with them, as
// with a change of its own fields.
void CViewpointNode::NoteParents(const CViewContext& view) {
  const CMatrix4 parents = view.GetTopMatrix();
  if (parents == parents_) return;
  parents_ = parents;
  if (ConventionOf(view.GetWorld()) == WorldConvention::kStandard) fieldsChanged_ = 1;
}

// A value beyond the float range counts as the field's default: the camera
// follows later changes by differences, which an infinity would turn into
// NaN for good.
CViewpointNode::Camera CViewpointNode::CameraFromFields(const CViewContext& view) const {
  Camera camera;
  camera.position = IsFinite(ToVec(position)) ? ToVec(position) : CVec3f{};
  const float angle = std::isfinite(fieldOfView) ? fieldOfView : kDefaultViewpointFieldOfView;
  camera.fieldOfView = view.CameraFieldOfView(angle);
  if (ConventionOf(view.GetWorld()) == WorldConvention::kStandard) {
    PlaceInParents(camera);
  } else {
    TurnByDirection(camera, view);
  }
  return camera;
}

// The position and the whole turn, roll included, in the parents' space.
void CViewpointNode::PlaceInParents(Camera& camera) const {
  parents_.TransformPoint(camera.position);
  if (!IsFinite(camera.position)) camera.position = {};
  CMatrix4 turn;
  turn.SetRotation({orientation.x, orientation.y, orientation.z}, orientation.angle);
  CMatrix4 placed = parents_;
  placed.PreMultiply(turn);
  const CameraTurn angles = TurnOf(placed);
  camera.pitch = angles.pitch;
  camera.yaw = angles.yaw;
  camera.roll = angles.roll;
}

// The system's worlds take the position as it stands and only the direction
// of the orientation; the camera keeps the roll it had.
void CViewpointNode::TurnByDirection(Camera& camera, const CViewContext& view) const {
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
}

void CViewpointNode::TakeCamera(CViewContext& view) {
  saved_.position = view.GetPosition();
  view.GetOrientation(&saved_.pitch, &saved_.yaw, &saved_.roll);
  saved_.fieldOfView = view.GetFieldOfView();
  cameraSaved_ = true;

  lastApplied_ = CameraFromFields(view);
  if (ConventionOf(view.GetWorld()) == WorldConvention::kSystem) lastApplied_.roll = saved_.roll;
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
  const float dRoll = wanted.roll - lastApplied_.roll;

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

void RegisterViewpointNode(NodeClassTable& table) { table.Add("Viewpoint", &MakeViewpoint); }

}  // namespace vx
