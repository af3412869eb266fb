#include "engine/world/behaviours/LinkBehaviour.h"

#include <cstdio>
#include <string>

#include "engine/world/Browser.h"
#include "engine/world/nodes/ScriptNode.h"
#include "engine/world/ViewContext.h"
#include "engine/world/behaviours/BehaviourLimits.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"

namespace vx {
namespace {

// Steps of a link: idle, clicked (the transition is set up by the next
// frame), moving the camera from kFirstMove, and finishing from kFinish.
constexpr int32_t kIdle = -1;
constexpr int32_t kClicked = 0;
constexpr int32_t kFirstMove = 1;
constexpr int32_t kFinish = kFirstMove + kLinkTransitionFrames;
constexpr float kPerFrame = 1.0f / kLinkTransitionFrames;

// One cursor per frame of a view: the first link with a pending cursor shows
// it, the others wait for a later frame. Compared only, never followed.
struct CursorTurn {
  const CViewContext* view = nullptr;
  int32_t frame = -1;
  bool taken = false;
};
CursorTurn& SharedCursorTurn() {
  static CursorTurn turn;
  return turn;
}

struct Camera {
  float pitch = 0.0f;
  float yaw = 0.0f;
  float roll = 0.0f;
};

Camera CurrentCamera(const CViewContext& view) {
  Camera camera;
  view.GetOrientation(&camera.pitch, &camera.yaw, &camera.roll);
  return camera;
}

// Whether a point lies in the declared hot area; a horizontal range whose
// max is below its min wraps around the surface's seam.
bool InsideBounds(CScriptNode& node, const SFVec2f& point) {
  if (const SFVec2f* x = FieldOf<SFVec2f>(&node, "xBounds")) {
    const float min = x->x, max = x->y;
    const bool inside = max >= min ? (point.x >= min && point.x <= max) : (point.x >= min || point.x <= max);
    if (!inside) return false;
  }
  if (const SFVec2f* y = FieldOf<SFVec2f>(&node, "yBounds")) {
    if (point.y < y->x || point.y > y->y) return false;
  }
  return true;
}

class CLinkBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override;
  void Tick(CViewContext& view, CScriptNode& node, RenderPass pass) override;

 private:
  bool IsLive(CScriptNode& node, const SFVec2f& point);
  void Click(CScriptNode& node);
  void SetUpTransition(const CViewContext& view, CScriptNode& node);
  void MoveCamera(CViewContext& view) const;
  void Finish(CViewContext& view, CScriptNode& node);
  void SwitchInScene(CScriptNode& node) const;
  void ShowPendingCursor(CViewContext& view);

  bool loadsWorld_ = false;
  int32_t step_ = kIdle;
  std::string targetUrl_;
  std::string viewpoint_;
  float savedFieldOfView_ = 0.0f;
  bool hasViewDir_ = false;
  bool hasZoom_ = false;
  Camera target_;
  Camera cameraStep_;
  float zoomStep_ = 0.0f;
  bool cursorPending_ = false;
  std::string cursorName_;
  int32_t currentFrame_ = -1;
  FrameGate frames_;
};

bool CLinkBehaviour::IsLive(CScriptNode& node, const SFVec2f& point) {
  const bool inside = InsideBounds(node, point);
  if (const int32_t* frame = FieldOf<int32_t>(&node, "currentFrame")) currentFrame_ = *frame;
  const int32_t* targetFrame = FieldOf<int32_t>(&node, "targetFrame");
  if (targetFrame && currentFrame_ >= 0 && currentFrame_ != *targetFrame) return false;
  return inside;
}

void CLinkBehaviour::OnEventIn(const ScriptEvent& event, CScriptNode& node) {
  const bool click = event.name == "clickPt";
  if (!click && event.name != "overPt") return;
  const SFVec2f* point = event.As<SFVec2f>();
  if (!point || !IsLive(node, *point)) return;
  if (click) return Click(node);
  const SFString* cursor = FieldOf<SFString>(&node, "cursor");
  cursorName_ = cursor ? std::string(TextOf(*cursor)) : std::string("LINK");
  cursorPending_ = true;
  SendTyped(node, "goodOver", int16_t{1});
}

void CLinkBehaviour::Click(CScriptNode& node) {
  const SFString* toUrl = FieldOf<SFString>(&node, "toURL");
  // An empty toURL names no world: the click switches inside the scene.
  const bool loadsWorld = toUrl && !TextOf(*toUrl).empty();
  if (loadsWorld) {
    std::string resolved;
    if (node.ResolveUrl(TextOf(*toUrl), resolved) != 0) return;
    targetUrl_ = std::move(resolved);
    const SFString* toFrame = FieldOf<SFString>(&node, "toFrame");
    viewpoint_ = toFrame ? std::string(TextOf(*toFrame)) : std::string();
  }
  loadsWorld_ = loadsWorld;
  step_ = kClicked;
}

void CLinkBehaviour::SetUpTransition(const CViewContext& view, CScriptNode& node) {
  const Camera camera = CurrentCamera(view);
  const float fieldOfView = view.GetFieldOfView();
  savedFieldOfView_ = fieldOfView;
  hasViewDir_ = false;
  hasZoom_ = false;
  if (const SFVec3f* viewDir = FieldOf<SFVec3f>(&node, "viewDir")) {
    target_ = {viewDir->x, viewDir->y, viewDir->z};
    hasViewDir_ = true;
  }
  const SFString* transition = FieldOf<SFString>(&node, "transition");
  float zoomAngle = fieldOfView;
  if (transition && TextOf(*transition) == "ZOOM") {
    if (const float* angle = FieldOf<float>(&node, "zoomAngle")) {
      zoomAngle = *angle;
      hasZoom_ = true;
    }
  }
  const bool animated = transition && TextOf(*transition) == "ZOOM" && (hasViewDir_ || hasZoom_);
  if (!animated) {
    step_ = kFinish;  // the next frame finishes
    return;
  }
  step_ = kFirstMove;
  zoomStep_ = hasZoom_ ? (zoomAngle - fieldOfView) * kPerFrame : 0.0f;
  if (hasViewDir_) {
    cameraStep_ = {WrapAngleOnce(target_.pitch - camera.pitch) * kPerFrame,
                   WrapAngleOnce(target_.yaw - camera.yaw) * kPerFrame,
                   WrapAngleOnce(target_.roll - camera.roll) * kPerFrame};
  }
}

void CLinkBehaviour::MoveCamera(CViewContext& view) const {
  if (hasViewDir_) {
    const Camera camera = CurrentCamera(view);
    view.SetOrientation(camera.pitch + cameraStep_.pitch, camera.yaw + cameraStep_.yaw, camera.roll + cameraStep_.roll,
                        false);
  }
  if (hasZoom_) view.SetFieldOfView(view.GetFieldOfView() + zoomStep_, false);
}

void CLinkBehaviour::Finish(CViewContext& view, CScriptNode& node) {
  step_ = kIdle;
  const Camera keep = hasViewDir_ ? target_ : CurrentCamera(view);
  // The next world's first panorama takes this camera.
  view.GetWorld()->SaveCamera(keep.pitch, keep.yaw, keep.roll, savedFieldOfView_);
  if (loadsWorld_) {
    LoadLinkedWorld(view, targetUrl_, viewpoint_);
  } else {
    SwitchInScene(node);
  }
}

void CLinkBehaviour::SwitchInScene(CScriptNode& node) const {
  (void)SendFieldValue(node, "switchTo", "switchIt");
  SendTyped(node, "goodClick", int16_t{1});
  if (!SendFieldValue(node, "outValue", "value_changed")) return;
  char field[32];
  char eventOut[32];
  for (int n = 2;; ++n) {
    std::snprintf(field, sizeof field, "outValue%d", n);
    std::snprintf(eventOut, sizeof eventOut, "value_changed%d", n);
    if (!SendFieldValue(node, field, eventOut)) return;
  }
}

void CLinkBehaviour::ShowPendingCursor(CViewContext& view) {
  CursorTurn& turn = SharedCursorTurn();
  if (!cursorPending_ || turn.taken) return;
  cursorPending_ = false;
  turn.taken = ShowNamedCursor(view, cursorName_);
}

void CLinkBehaviour::Tick(CViewContext& view, CScriptNode& node, RenderPass pass) {
  CBrowser* world = view.GetWorld();
  if (!world || !frames_.IsNewFrame(view, pass)) return;
  CursorTurn& turn = SharedCursorTurn();
  if (turn.view != &view || turn.frame != world->GetFrameCount()) turn = {&view, world->GetFrameCount(), false};

  if (const int16_t* enabled = FieldOf<int16_t>(&node, "enabled"); enabled && !*enabled) return;
  if (step_ == kClicked) {
    SetUpTransition(view, node);
  } else if (step_ >= kFirstMove && step_ < kFinish) {
    ++step_;
    MoveCamera(view);
  } else if (step_ >= kFinish) {
    Finish(view, node);
  }
  ShowPendingCursor(view);
}

}  // namespace

void RegisterLinkBehaviour(BehaviourTable& table) { table.Add<CLinkBehaviour>("link", BehaviourStart::kFirstFrame); }

}  // namespace vx
