#include "engine/world/behaviours/CameraBehaviour.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/math/Vec.h"
#include "engine/scene/ViewServices.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"
#include "engine/world/behaviours/BehaviourLimits.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"
#include "engine/world/nodes/ScriptNode.h"

namespace vx {
namespace {

// What the camera moves; the field of view is carried in x.
enum Quantity : size_t { kOrientation, kPosition, kFieldOfView, kQuantities };

// Last reported values before the first report: far from any camera, so that
// the first frame reports everything.
constexpr float kUnreportedAngle = 5000.0f;
constexpr float kUnreportedPosition = -10000.0f;

struct Move {
  bool pending = false;
  bool active = false;
  CVec3f target;
  CVec3f step;
  int32_t steps = 1;
  int32_t done = 0;
};

struct CameraValues {
  CVec3f orientation;  // pitch, yaw, roll
  CVec3f position;
  float fieldOfView = 0.0f;
};

CVec3f Current(const CViewContext& view, Quantity quantity) {
  switch (quantity) {
    case kOrientation: {
      CVec3f orientation;
      view.GetOrientation(&orientation.x, &orientation.y, &orientation.z);
      return orientation;
    }
    case kPosition: return view.GetPosition();
    default: return {view.GetFieldOfView(), 0.0f, 0.0f};
  }
}

// Asks for the value from the next frame on.
void Request(CViewContext& view, Quantity quantity, const CVec3f& value) {
  switch (quantity) {
    case kOrientation: view.SetOrientation(value.x, value.y, value.z, false); break;
    case kPosition: view.SetPosition(value, false); break;
    default: view.SetFieldOfView(value.x, false); break;
  }
}

bool& ApplyFlag(CameraFlags& flags, Quantity quantity) {
  return quantity == kOrientation ? flags.applyOrientation
                                  : quantity == kPosition ? flags.applyPosition : flags.applyFieldOfView;
}

bool& UserFlag(CameraFlags& flags, Quantity quantity) {
  return quantity == kOrientation ? flags.userOrientation
                                  : quantity == kPosition ? flags.userPosition : flags.userFieldOfView;
}

// A value counts as changed when it lies outside last +- the tolerance.
bool Changed(float value, float last) { return !(value > last - kValueTolerance && value < last + kValueTolerance); }

bool Changed(const CVec3f& value, const CVec3f& last) {
  return Changed(value.x, last.x) || Changed(value.y, last.y) || Changed(value.z, last.z);
}

class CCameraBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override;
  void Tick(CViewContext& view, CScriptNode& node, RenderPass pass) override;

 private:
  bool AnyActive() const {
    return std::any_of(moves_.begin(), moves_.end(), [](const Move& move) { return move.active; });
  }
  // The flags of the view that runs the camera; a view without them holds
  // nothing and can never take the camera over.
  CameraFlags& FlagsOf(CViewContext& view);
  void Start(CViewContext& view, Quantity quantity, CameraFlags& flags);
  void Advance(CViewContext& view, CScriptNode& node, Quantity quantity, CameraFlags& flags);
  void Report(const CViewContext& view, CScriptNode& node);

  std::array<Move, kQuantities> moves_;
  bool relative_ = true;
  bool allowOverride_ = false;
  CameraValues last_{{kUnreportedAngle, kUnreportedAngle, kUnreportedAngle},
                     {kUnreportedPosition, kUnreportedPosition, kUnreportedPosition},
                     kUnreportedAngle};
  CameraFlags ownFlags_;
  FrameGate frames_;
  double frameRate_ = kDefaultFrameRate;
};

void CCameraBehaviour::OnEventIn(const ScriptEvent& event, CScriptNode& node) {
  if (!AnyActive()) SendTyped(node, "isActive", int16_t{1});
  int32_t steps = 1;
  if (const double* duration = FieldOf<double>(&node, "duration")) steps = FramesForDuration(frameRate_, *duration);
  const int16_t* relative = FieldOf<int16_t>(&node, "relative");
  relative_ = !relative || *relative;
  const int16_t* allowOverride = FieldOf<int16_t>(&node, "allowOverride");
  allowOverride_ = allowOverride && *allowOverride;

  Quantity quantity;
  CVec3f target;
  if (event.name == "orientation" || event.name == "position") {
    const SFVec3f* value = event.As<SFVec3f>();
    if (!value) return;
    quantity = event.name == "orientation" ? kOrientation : kPosition;
    target = {value->x, value->y, value->z};
  } else if (event.name == "zoom") {
    const float* value = event.As<float>();
    if (!value) return;
    quantity = kFieldOfView;
    target = {*value, 0.0f, 0.0f};
  } else {
    return;
  }
  Move& move = moves_[quantity];
  move.target = target;
  move.pending = true;
  move.active = true;
  move.steps = steps;
}

CameraFlags& CCameraBehaviour::FlagsOf(CViewContext& view) {
  IViewServices* services = view.GetServices();
  CameraFlags* flags = services ? services->GetCameraFlags() : nullptr;
  return flags ? *flags : ownFlags_;
}

void CCameraBehaviour::Start(CViewContext& view, Quantity quantity, CameraFlags& flags) {
  Move& move = moves_[quantity];
  move.pending = false;
  const CVec3f current = Current(view, quantity);
  const CVec3f target = relative_ ? current + move.target : move.target;
  CVec3f difference = target - current;
  if (quantity == kOrientation)
    difference = {WrapAngle(difference.x), WrapAngle(difference.y), WrapAngle(difference.z)};
  // A move of no frames ends at the next frame without moving.
  move.step = move.steps > 0 ? difference * (1.0f / static_cast<float>(move.steps)) : CVec3f();
  move.done = 0;
  move.active = true;
  ApplyFlag(flags, quantity) = false;
  UserFlag(flags, quantity) = allowOverride_;
}

void CCameraBehaviour::Advance(CViewContext& view, CScriptNode& node, Quantity quantity, CameraFlags& flags) {
  Move& move = moves_[quantity];
  // A move that waits for its start has not held the camera yet: its apply
  // flag says nothing of the user.
  if (!move.active || move.pending) return;
  bool& apply = ApplyFlag(flags, quantity);
  if (move.done < move.steps && !apply) {
    Request(view, quantity, Current(view, quantity) + move.step);
    ++move.done;
    return;
  }
  move.active = false;
  if (apply) {
    // The user took this quantity over: the camera is theirs again.
    for (Quantity other : {kOrientation, kPosition, kFieldOfView}) {
      moves_[other].active = false;
      ApplyFlag(flags, other) = true;
    }
  }
  apply = true;
  if (!AnyActive()) SendTyped(node, "isActive", int16_t{0});
}

void CCameraBehaviour::Report(const CViewContext& view, CScriptNode& node) {
  const CVec3f orientation = Current(view, kOrientation);
  const float fieldOfView = view.GetFieldOfView();
  const CVec3f position = view.GetPosition();
  if (Changed(orientation, last_.orientation)) {
    last_.orientation = orientation;
    SendTyped(node, "orientation_changed", SFVec3f{orientation.x, orientation.y, orientation.z});
    SFRotation rotation{0.0f, 1.0f, 0.0f, -orientation.y};
    if (const int16_t* yawOnly = FieldOf<int16_t>(&node, "yawOnly"); !yawOnly || !*yawOnly) {
      const CVec3f d = view.GetViewDirection();
      rotation = {-d.y, d.x, 0.0f, std::acos(std::clamp(d.z, -1.0f, 1.0f))};
    }
    SendTyped(node, "rotation_changed", rotation);
  }
  if (Changed(fieldOfView, last_.fieldOfView)) {
    last_.fieldOfView = fieldOfView;
    SendTyped(node, "zoom_changed", fieldOfView);
  }
  if (Changed(position, last_.position)) {
    last_.position = position;
    SendTyped(node, "position_changed", SFVec3f{position.x, position.y, position.z});
  }
}

void CCameraBehaviour::Tick(CViewContext& view, CScriptNode& node, RenderPass pass) {
  if (!frames_.IsNewFrame(view, pass)) return;
  if (const CBrowser* world = view.GetWorld()) frameRate_ = world->GetFrameRate();
  CameraFlags& flags = FlagsOf(view);
  if (moves_[kOrientation].pending) Start(view, kOrientation, flags);
  // A position start ends the starts of this frame: a zoom asked for with it
  // starts one frame later.
  if (moves_[kPosition].pending) {
    Start(view, kPosition, flags);
  } else if (moves_[kFieldOfView].pending) {
    Start(view, kFieldOfView, flags);
  }
  for (Quantity quantity : {kPosition, kOrientation, kFieldOfView}) Advance(view, node, quantity, flags);
  Report(view, node);
}

}  // namespace

void RegisterCameraBehaviour(BehaviourTable& table) {
  // Two names, one behaviour.
  table.Add<CCameraBehaviour>("setCamera", BehaviourStart::kFirstFrame);
  table.Add<CCameraBehaviour>("camera", BehaviourStart::kFirstFrame);
}

}  // namespace vx
