#include "engine/world/SceneView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/CallerText.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/UnpackedSceneFile.h"
#include "engine/world/Browser.h"
#include "engine/world/PanoramaNode.h"
#include "engine/world/WorldFileName.h"
#include "platform/InputState.h"
#include "platform/Path.h"

namespace vx {
namespace {

// Macintosh key codes of the navigation keys.
constexpr int32_t kForwardKeys[] = {56, 0};   // Shift, "A"
constexpr int32_t kBackwardKeys[] = {59, 6};  // Control, "Z"
constexpr int32_t kLeftKey = 123;
constexpr int32_t kRightKey = 124;
constexpr int32_t kDownKey = 125;
constexpr int32_t kUpKey = 126;

constexpr const char* kHttpPrefix = "http://";

// Pressing one of these sensors works the sensor instead of navigating.
bool StopsNavigation(NodeTypeId type) {
  switch (static_cast<int32_t>(type)) {
    case NodeTypeSphereSensor:
    case NodeTypeCylinderSensor:
    case NodeTypePlaneSensor:
    case NodeTypeWorldIMob:
    case NodeTypeScreenIMob:
    case NodeTypeTouchSensor:
      return true;
    default:
      return false;
  }
}

bool IsPanorama(NodeTypeId type) { return type == NodeTypeVista || type == NodeTypeBackground; }

// The square of v with its sign kept.
float SignedSquare(float v) { return v < 0.0f ? -v * v : v * v; }

bool AnyKeyDown(const CSceneView& view, std::initializer_list<int32_t> codes) {
  return std::any_of(codes.begin(), codes.end(), [&view](int32_t code) { return view.IsKeyDown(code); });
}

}  // namespace

CSceneView::CSceneView(WindowHandle window) : window_(window), rect_(GetClientRectMac(window)) {}

CSceneView::~CSceneView() = default;

void CSceneView::AttachBrowser(CBrowser* world) {
  world_ = world;
  prepareNeeded_ = true;
  redrawNeeded_ = true;
  cameraFlags.applyPosition = cameraFlags.applyOrientation = cameraFlags.applyFieldOfView = true;
}

void CSceneView::SetRect(const MacRect& rect) {
  if (rect == rect_) return;
  redrawNeeded_ = true;
  const bool resized = rect[3] - rect[1] != Width() || rect[2] - rect[0] != Height();
  rect_ = rect;
  // The window's pixels serve only a rectangle that lies inside them.
  if (windowFrame_.pixels) {
    windowFrame_ = {};
    (void)TakeWindowFrame();
  }
  if (resized) backImage_.reset();
  if (UsesHostTarget()) return;
  if (resized) frameImage_.reset();
  // The context must not keep drawing into pixels just freed or left.
  AttachFrameToContext();
}

void CSceneView::SetFocus(bool on) {
  if (on) ::vx::SetFocus(window_);
  if (on != focus_) redrawNeeded_ = true;
  focus_ = on;
}

void CSceneView::SetBorder(bool on, const float* rgb) {
  border_ = on;
  borderColor_ = rgb ? FloatColor{rgb[0], rgb[1], rgb[2]} : FloatColor{};
  redrawNeeded_ = true;
}

void CSceneView::SetTargetBuffer(const PixelMap& target) {
  target_ = target;
  redrawNeeded_ = true;
  // A target given up while the context drew into it: back to the view's own
  // frame, made again by the next tick when there is none.
  AttachFrameToContext();
}

void CSceneView::SetStereoMode(StereoMode mode) {
  stereoMode_ = mode;
  redrawNeeded_ = true;
  if (context_) context_->SetStereoMode(mode);
  if (!world_) return;
  CNode* vista = world_->GetVista() ? world_->GetVista() : world_->GetLegacyVista();
  if (IPanoramaNode* panorama = AsPanoramaNode(vista)) panorama->SetInterlaced(mode == StereoMode::Interlaced);
}

PixelMap CSceneView::GetBackImage() const { return backImage_ ? backImage_->GetPixelMap() : PixelMap{}; }

void CSceneView::CopyBackImageToFrame() {
  if (!backImage_ || !context_ || !context_->GetFrameBuffer().bits) return;
  CopyPixelMap(backImage_->GetPixelMap(), context_->GetFrameBuffer());
}

bool CSceneView::IsActive() const {
  if (dragging_ || (flags_ & kViewAlwaysInput)) return true;
  // Without a window of its own the view never has the keyboard, even when
  // no window has it.
  return focus_ && window_ != WindowHandle::None && GetFocus() == window_ && lastX_ >= 1 && lastX_ < Width() &&
         lastY_ >= 1 && lastY_ < Height();
}

void CSceneView::SetCursor(int32_t cursor) {
  if (context_) context_->SetCursor(cursor);
}

void CSceneView::BindPanorama(CNode* node, PanoramaStack stack) {
  if (!world_) return;
  switch (stack) {
    case PanoramaStack::Vista: world_->BindVista(node, context_.get()); break;
    case PanoramaStack::LegacyVista: world_->BindLegacyVista(node, context_.get()); break;
    case PanoramaStack::Background: world_->BindBackground(node, context_.get()); break;
  }
}

void CSceneView::ReportVistaBinding(const CNode& node, bool bound) {
  SendNodeEvent(bound ? ViewEventVistaBound : ViewEventVistaUnbound, node);
}

double CSceneView::GetWorldTime() const { return world_ ? world_->GetWorldTime() : 0.0; }

void CSceneView::ReportFullScreen(bool on) {
  if (!callback_.fn) return;
  callback_.fn(ViewEventFullScreen, reinterpret_cast<void*>(static_cast<intptr_t>(on ? 1 : 0)), callback_.userData);
}

bool CSceneView::IsKeyDown(int32_t macKeyCode) const {
  if (flags_ & kViewHostFedInput)
    return macKeyCode >= 0 && macKeyCode <= kMaxMacKeyCode && hostKeys_[static_cast<size_t>(macKeyCode)];
  return IsActive() && IsMacKeyDown(macKeyCode);
}

void CSceneView::GetPointerPos(int32_t* x, int32_t* y) const {
  if (flags_ & kViewHostFedInput) {
    *x = hostX_;
    *y = hostY_;
    return;
  }
  const Point client = GetCursorClientPos(window_);
  *x = client.x - rect_[1];
  *y = client.y - rect_[0];
}

void CSceneView::SetHostPointer(int32_t x, int32_t y) {
  hostX_ = x;
  hostY_ = y;
}

void CSceneView::SetHostKey(int32_t macKeyCode, bool down) {
  if (macKeyCode >= 0 && macKeyCode <= kMaxMacKeyCode) hostKeys_[static_cast<size_t>(macKeyCode)] = down;
}

// ---- The tick ----

void CSceneView::Tick() {
  LoadWorld(nullptr, nullptr);
  FollowWindowFrame();
  if (!HasOwnFrame() && !UsesHostTarget()) PrepareFrame();
  if (prepareNeeded_) PrepareFrame();

  if (download_ && downloadState_ != DownloadDone) {
    downloadState_ = download_->State();
    if (context_) context_->ClearFrame();
    Present();
    return;
  }
  if (!world_ || !context_ || (!HasOwnFrame() && !UsesHostTarget())) {
    typedCharacter_ = kNoTypedCharacter;
    return;
  }

  Navigate();
  if (!FrameDue()) {
    typedCharacter_ = kNoTypedCharacter;
    return;
  }
  const Movement movement = ReadMovement();
  CVec3f p = context_->GetPosition();
  if (movement.walk || movement.fly) {
    SetMoveTestSegment(p, movement);
  } else {
    SwitchMoveTestOff();
  }
  BeginShownFrame();
  RenderWorld();
  FinishMove(p, movement);
  EndShownFrame();
  Present();
  typedCharacter_ = kNoTypedCharacter;
}

CSceneView::ShownState CSceneView::CurrentState() const {
  ShownState state;
  if (!context_) return state;
  state.position = context_->GetPosition();
  context_->GetOrientation(&state.pitch, &state.yaw, &state.roll);
  state.fieldOfView = context_->GetFieldOfView();
  state.pointerX = lastX_;
  state.pointerY = lastY_;
  return state;
}

// Held keys and buttons draw every frame: the movement test and the sensors
// under the pointer work only while frames are drawn.
bool CSceneView::FrameDue() const {
  if (redrawNeeded_ || dragging_ || !pressed_.empty() || typedCharacter_ != kNoTypedCharacter) return true;
  if (forwardKey_ || backwardKey_ || GetTurnSpeed() != 0.0f || GetPitchSpeed() != 0.0f) return true;
  if (WorldChangeSerial() != shownChanges_ || !(CurrentState() == shown_)) return true;
  return std::min(frameDueAt_, EarliestFrameRequest()) <= GetWorldTime();
}

double CSceneView::SecondsToNextFrame() const {
  if (!world_ || !context_ || FrameDue()) return 0.0;
  const double due = std::min(frameDueAt_, EarliestFrameRequest());
  return due == kNoFrameDue ? kNoFrameDue : std::max(due - GetWorldTime(), 0.0);
}

// A change made while the frame is drawn may come after what it moves was
// drawn: the serial is taken before, so that such a change draws once more.
void CSceneView::BeginShownFrame() {
  shownChanges_ = WorldChangeSerial();
  ClearFrameRequests();
}

void CSceneView::EndShownFrame() {
  frameDueAt_ = EarliestFrameRequest();
  shown_ = CurrentState();
  redrawNeeded_ = false;
}

void CSceneView::PrepareFrame() {
  if (world_) world_->ResetFrameCounter();
  if (!context_) {
    context_ = std::make_unique<CViewContext>(window_, flags_);
    context_->SetServices(this);
    context_->SetStereoMode(stereoMode_);
  }
  LoadWorld(nullptr, nullptr);
  if (!backImage_) backImage_ = MakeImage();

  if (UsesHostTarget()) {
    context_->SetFrameBuffer(target_);
  } else if (!HasOwnFrame() || (flags_ & kViewCaptureMouse)) {
    if (!HasOwnFrame()) MakeOwnFrame();
    if (!HasOwnFrame()) {
      AttachFrameToContext();
      return;
    }
    context_->SetFrameBuffer(OwnFrame());
  }

  const Movement movement = ReadMovement();
  if (!world_) return;
  if (prepareNeeded_) {
    world_->RenderView(RenderPass::Activate, context_.get());
    // In a world of the system's convention the camera found here is raised
    // to avatar height; one of the standard's stands where its default
    // Viewpoint puts the eye. A bound Viewpoint takes the camera in the frame
    // below and puts the eye where the file placed it, not a head higher; the
    // camera found is what it gives back when unbound.
    if (world_->GetConvention() == WorldConvention::kSystem) {
      CVec3f raised = context_->GetPosition();
      if (movement.navigation.avatarCount >= 2) raised.y += movement.navigation.avatarHeight;
      context_->SetPosition(raised, false);
    }
    if (movement.walk || movement.fly) previousPosition_ = context_->GetPosition();
  }
  // Marks the camera changed, so that the frame applies it.
  context_->SetFieldOfView(context_->GetFieldOfView(), false);

  CVec3f p = context_->GetPosition();
  if ((movement.walk || movement.fly) && !prepareNeeded_) {
    SetMoveTestSegment(p, movement);
  } else {
    SwitchMoveTestOff();
  }
  prepareNeeded_ = false;
  BeginShownFrame();
  RenderWorld();
  FinishMove(p, movement);
  EndShownFrame();
  Present();
}

std::unique_ptr<CDibImage> CSceneView::MakeImage() {
  std::unique_ptr<CDibImage> image = CDibImage::Create(Width(), Height(), context_->GetColorDepth(),
                                                       &context_->GetColorTable(), false, true);
  if (image && !image->GetBits()) image.reset();
  return image;
}

bool CSceneView::UsesHostTarget() const { return !(flags_ & kViewCaptureMouse) && target_.bits; }

PixelMap CSceneView::OwnFrame() const {
  if (!windowFrame_.pixels) return frameImage_ ? frameImage_->GetPixelMap() : PixelMap{};
  const PixelMap window{.bits = reinterpret_cast<uint8_t*>(windowFrame_.pixels.get()),
                        .width = static_cast<uint16_t>(windowFrame_.width),
                        .height = static_cast<uint16_t>(windowFrame_.height),
                        .bytesPerPixel = 4,
                        .rowBytes = windowFrame_.width * 4};
  return PixelMapPart(window, rect_[1], rect_[0], Width(), Height());
}

void CSceneView::MakeOwnFrame() {
  if (!TakeWindowFrame()) frameImage_ = MakeImage();
}

bool CSceneView::TakeWindowFrame() {
  if (!context_ || context_->GetColorDepth() != 32 || Width() <= 0 || Height() <= 0) return false;
  WindowPixels pixels = GetWindowPixels(window_);
  const bool inside =
      pixels.pixels && rect_[1] >= 0 && rect_[0] >= 0 && rect_[3] <= pixels.width && rect_[2] <= pixels.height;
  if (!inside) return false;
  windowFrame_ = std::move(pixels);
  return true;
}

void CSceneView::FollowWindowFrame() {
  if (!windowFrame_.pixels || GetWindowPixels(window_).pixels == windowFrame_.pixels) return;
  redrawNeeded_ = true;
  windowFrame_ = {};
  (void)TakeWindowFrame();
  AttachFrameToContext();
}

void CSceneView::AttachFrameToContext() {
  if (!context_) return;
  context_->SetFrameBuffer(UsesHostTarget() ? target_ : OwnFrame());
}

void CSceneView::RenderWorld() { world_->RenderFrame(context_.get()); }

// ---- Navigation ----

void CSceneView::Navigate() {
  const double steps = navigationClock_.TakeSteps();
  if (!world_ || !focus_) return;
  ForEachPressed([this](CNode& node) { SendNodeEvent(ViewEventHeld, node); });

  int32_t x = 0, y = 0;
  GetPointerPos(&x, &y);
  const float w = static_cast<float>(std::max(Width(), 1));
  const float h = static_cast<float>(std::max(Height(), 1));
  const float dx = static_cast<float>(x - lastX_);
  const float dy = static_cast<float>(lastY_ - y);
  ForEachPressed([&](CNode& node) {
    if (!IsPanorama(node.GetTypeId())) node.OnPointerDrag(1, dx / w, dy / h);
  });
  lastX_ = x;
  lastY_ = y;
  context_->SetPointer(x, y);
  const KeyTurns keyTurns = ReadNavigationKeys(steps);

  const float ox = SignedSquare(static_cast<float>(lastX_ - pressX_) / (w * 0.5f));
  const float oy = SignedSquare(static_cast<float>(pressY_ - lastY_) / (h * 0.5f));
  bool turn = dragging_ || keyTurns.yaw != 0.0f;
  bool pitch = dragging_ || keyTurns.pitch != 0.0f;
  const float sign = backwardKey_ ? 1.0f : forwardKey_ ? -1.0f : 0.0f;
  bool zoom = sign != 0.0f;

  const NavigationSettings navigation = ReadNavigationSettings(world_->GetNavigationInfo());
  NavigationMode mode = world_->IsLegacyPanorama() ? NavigationMode::kVista : NavigationMode::kWalk;
  if (navigation.hasType && navigation.mode != NavigationMode::kOther) mode = navigation.mode;
  if (mode == NavigationMode::kNone) turn = pitch = zoom = false;

  float f = context_->GetFieldOfView();
  const auto stepsF = static_cast<float>(steps);
  // The field of view changes by a share of itself each step.
  const float zoomFactor =
      std::pow(1.0f + sign * static_cast<float>(kZoomRate / kNavigationStepRate) * kZoomFactor, stepsF);
  const float moveStep = -static_cast<float>(navigation.speed / kNavigationStepRate) * stepsF;

  float pitchAngle = 0.0f, yaw = 0.0f, roll = 0.0f;
  context_->GetOrientation(&pitchAngle, &yaw, &roll);
  if (zoom) {
    CVec3f p = context_->GetPosition();
    bool moved = false;
    if (mode == NavigationMode::kWalk) {
      p += sign * moveStep * WalkingHeading({pitchAngle, yaw, roll});
      moved = true;
    } else if (mode == NavigationMode::kFly) {
      p += sign * moveStep * context_->GetViewDirection();
      moved = true;
    } else {
      f *= zoomFactor;
      if (cameraFlags.userFieldOfView) cameraFlags.applyFieldOfView = true;
      if (cameraFlags.applyFieldOfView) context_->SetFieldOfView(f, false);
    }
    if (moved) {
      if (cameraFlags.userPosition) cameraFlags.applyPosition = true;
      if (cameraFlags.applyPosition) context_->SetPosition(p, false);
    }
  }
  if (!turn && !pitch) return;

  const CNodeRef first{pressed_.empty() ? nullptr : pressed_.front().Get()};
  float pitchBy = 0.0f, yawBy = 0.0f;
  if (dragging_ && (pressed_.empty() || (first && IsPanorama(first->GetTypeId())))) {
    if (pitch) pitchBy = f * oy * kDragTurnFactor * stepsF;
    if (turn) yawBy = f * ox * kDragTurnFactor * stepsF;
  } else {
    pitchBy = keyTurns.pitch * f;
    yawBy = keyTurns.yaw * f;
  }
  // The system's worlds navigate level. In the standard's a Viewpoint may
  // roll the camera, and turning keeps that roll rather than snapping level.
  const bool standard = world_->GetConvention() == WorldConvention::kStandard;
  const CameraTurn before{pitchAngle, yaw, standard ? roll : 0.0f};
  const CameraTurn after = TurnedBy(before, pitchBy, yawBy);
  if (cameraFlags.userOrientation) cameraFlags.applyOrientation = true;
  if (!cameraFlags.applyOrientation) return;
  context_->SetOrientation(after.pitch, after.yaw, after.roll, false);
  if (standard && mode == NavigationMode::kExamine) TurnAboutExaminedCentre(before, after);
}

// The standard's worlds walk on the ground of their Viewpoint: level where
// its up is the world's +Y, else square to that up.
CVec3f CSceneView::WalkingHeading(const CameraTurn& turn) const {
  const CVec3f& up = context_->GetNavigationUp();
  if (up == CVec3f{0.0f, 1.0f, 0.0f}) return {-std::sin(turn.yaw), 0.0f, std::cos(turn.yaw)};
  return HeadingAboutUp(turn, up);
}

CameraTurn CSceneView::TurnedBy(const CameraTurn& turn, float pitch, float yaw) const {
  const CVec3f& up = context_->GetNavigationUp();
  if (up == CVec3f{0.0f, 1.0f, 0.0f}) return {turn.pitch + pitch, turn.yaw + yaw, turn.roll};
  return TurnAboutUp(turn, pitch, yaw, up);
}

// EXAMINE keeps the eye at its distance from the centre it turns about, and
// the centre where the eye saw it: the Viewpoint's centerOfRotation when the
// world gives one, else the middle of what the world drew.
void CSceneView::TurnAboutExaminedCentre(const CameraTurn& before, const CameraTurn& after) {
  std::optional<CVec3f> centre;
  if (const SFVec3f* given = FieldOf<SFVec3f>(world_->GetViewpoint(), "centerOfRotation")) {
    centre = CVec3f{given->x, given->y, given->z};
  } else if (!context_->GetDrawnWorldBox().IsEmpty()) {
    centre = context_->GetDrawnWorldBox().Center();
  }
  if (!centre) return;
  const CVec3f eye = *centre + OffsetTurnedWith(context_->GetPosition() - *centre, before, after);
  if (cameraFlags.userPosition) cameraFlags.applyPosition = true;
  if (cameraFlags.applyPosition) context_->SetPosition(eye, false);
}

CSceneView::KeyTurns CSceneView::ReadNavigationKeys(double steps) {
  forwardKey_ = AnyKeyDown(*this, {kForwardKeys[0], kForwardKeys[1]});
  backwardKey_ = AnyKeyDown(*this, {kBackwardKeys[0], kBackwardKeys[1]});
  const bool left = IsKeyDown(kLeftKey);
  const bool right = IsKeyDown(kRightKey);
  const bool up = IsKeyDown(kUpKey);
  const bool down = IsKeyDown(kDownKey);
  // Left wins over right, up over down.
  KeyTurns turns;
  turns.yaw = turnSpeed_.Advance(left ? -1 : right ? 1 : 0, steps);
  turns.pitch = pitchSpeed_.Advance(up ? 1 : down ? -1 : 0, steps);
  context_->SetNavigationKeyDown(forwardKey_ || backwardKey_ || left || right || up || down);
  return turns;
}

CSceneView::Movement CSceneView::ReadMovement() const {
  Movement movement;
  if (!world_) return movement;
  movement.walk = !world_->IsLegacyPanorama();
  movement.navigation = ReadNavigationSettings(world_->GetNavigationInfo());
  if (movement.navigation.hasType) {
    if (movement.navigation.mode == NavigationMode::kFly) {
      movement.fly = true;
    } else {
      movement.walk = movement.navigation.mode == NavigationMode::kWalk;
    }
  }
  return movement;
}

// ---- Movement test ----

// The box around the step, a/2 wide each way; walking, it reaches down by
// the avatar's height along the navigation's up instead.
void CSceneView::SetMoveTestSegment(const CVec3f& p, const Movement& movement) {
  const float a = movement.navigation.avatarWidth;
  const float b = movement.navigation.avatarHeight;
  const CVec3f& q = previousPosition_;
  const CVec3f up = movement.walk ? context_->GetNavigationUp() : CVec3f{};
  auto reach = [a, b](float p, float q, float up, float& low, float& high) {
    low = std::min(p, q) - (up > 0.0f ? b * up : a / 2);
    high = std::max(p, q) + (up < 0.0f ? -b * up : a / 2);
  };
  CVec3f low, high;
  reach(p.x, q.x, up.x, low.x, high.x);
  reach(p.y, q.y, up.y, low.y, high.y);
  reach(p.z, q.z, up.z, low.z, high.z);
  CGeometryStage* stage = context_->GetStage();
  stage->SetPickSegment(low, high);
  stage->SetBoxTestMode(BoxTestMode::kTestAndDraw);
}

void CSceneView::SwitchMoveTestOff() { context_->GetStage()->SetBoxTestMode(BoxTestMode::kOff); }

bool CSceneView::MoveTestHit() const {
  const CGeometryStage* stage = context_->GetStage();
  return stage->GetBoxTestMode() != BoxTestMode::kOff && stage->GetBoxTestResult().hit;
}

// A Viewpoint that put the camera somewhere during the frame has set where
// the next step starts from; otherwise a step that met geometry is taken back
// in part, and the next step starts where this one ended.
void CSceneView::FinishMove(CVec3f& p, const Movement& movement) {
  if (const std::optional<CVec3f> jumpedTo = context_->TakeCameraJump()) {
    previousPosition_ = *jumpedTo;
    return;
  }
  if (MoveTestHit()) RunCollisionPass(p, movement);
  previousPosition_ = p;
}

// The camera moves half way along its step, pushed out along the surface it
// hit; when that position hits as well, it stays where it was.
void CSceneView::RunCollisionPass(CVec3f& p, const Movement& movement) {
  const CVec3f q = previousPosition_;
  const CVec3f n = context_->GetStage()->GetBoxTestResult().hitNormal;
  const float s = (q - p).Dot(n) > 0.0f ? 1.0f : -1.0f;
  const float half = (p - q).Length() / 2;
  CVec3f moved = q + (p - q) * 0.5f + n * (half * s);
  SetMoveTestSegment(moved, movement);
  context_->SetPosition(moved, false);
  RenderWorld();
  if (MoveTestHit()) {
    moved = q;
    SwitchMoveTestOff();
    context_->SetPosition(q, false);
    RenderWorld();
  }
  p = moved;
}

// ---- Pointer buttons ----

void CSceneView::MouseDown() {
  if (!world_ || !context_ || !focus_) return;
  if (flags_ & kViewCaptureMouse) SetCapture(window_);
  context_->SetButtonDown(true);
  pressed_.clear();
  for (CNode* node : context_->GetPointerTargets()) {
    if (node && pressed_.size() < static_cast<size_t>(kMaxPickedNodes)) pressed_.emplace_back(node);
  }
  dragging_ = true;
  ForEachPressed([this](CNode& node) {
    node.OnPointerPress();
    SendNodeEvent(ViewEventPress, node);
    if (StopsNavigation(node.GetTypeId())) dragging_ = false;
  });
  GetPointerPos(&pressX_, &pressY_);
  lastX_ = pressX_;
  lastY_ = pressY_;
  context_->SetPointer(pressX_, pressY_);
}

// A press made while focused is ended even when the focus went in between;
// else the drag, the capture and the pressed sensors would stay on.
void CSceneView::MouseUp() {
  if (!world_ || !context_ || !(focus_ || dragging_ || context_->GetInput().buttonDown)) return;
  ForEachPressed([this](CNode& node) {
    node.OnPointerRelease();
    SendNodeEvent(ViewEventRelease, node);
  });
  if (flags_ & kViewCaptureMouse) ReleaseCapture();
  dragging_ = false;
  if (std::abs(pressX_ - lastX_) < kClickDistance && std::abs(pressY_ - lastY_) < kClickDistance) {
    ForEachPressed([this](CNode& node) { node.OnPointerClick(context_.get()); });
  }
  ForgetPressedNodes();
}

// Over a copy of the list, each node held while it is called: a node's
// handler or the host's callback may press or release again, or delete
// nodes.
template <typename Fn>
void CSceneView::ForEachPressed(Fn fn) {
  const std::vector<CNodeWeakRef> pressed = pressed_;
  for (const CNodeWeakRef& weak : pressed) {
    if (const CNodeRef node{weak.Get()}) fn(*node.Get());
  }
}

void CSceneView::ForgetPressedNodes() {
  pressed_.clear();
  if (context_) context_->SetButtonDown(false);
}

void CSceneView::SendNodeEvent(ViewEventCode code, const CNode& node) {
  if (!callback_.fn) return;
  char name[VX_TEXT_BUFFER_SIZE];
  CopyToCaller(node.GetDefName(), name);
  callback_.fn(code, name, callback_.userData);
}

// ---- Worlds and links ----

void CSceneView::LoadWorld(const char* url, const char* target) {
  if (!url) {
    LoadPendingFile();
    return;
  }
  if (IsDownloading()) return;
  FollowLink(std::string(url, strnlen(url, VX_TEXT_BUFFER_SIZE - 1)), target);
}

void CSceneView::FollowLink(std::string url, const char* target) {
  linkTarget_ = target ? std::string(target, strnlen(target, VX_TEXT_BUFFER_SIZE - 1)) : std::string();
  // Read from the whole link: the name without its Viewpoint part may hold
  // another '#'.
  const bool isWorld = IsWorldFileName(url);
  const WorldConvention convention = ConventionOfWorldName(url);
  const WorldFileName name = SplitViewpoint(url);
  viewpointName_ = name.viewpoint;
  url.resize(name.file.size());
  if (!isWorld) {
    if (!callback_.fn) return;
    LinkRequest request{};
    CopyToCaller(url, request.url);
    CopyToCaller(linkTarget_, request.target);
    callback_.fn(ViewEventOpenLink, &request, callback_.userData);
    return;
  }
  // Decided by the name the link gives, not by the download cache's copy.
  pendingConvention_ = convention;
  if (url.starts_with(kHttpPrefix)) {
    StartWorldDownload(url);
    return;
  }
  // A local world: its own base URL, not that of an earlier download.
  worldUrl_.clear();
  pendingFile_ = path::IsFileUrl(url) ? path::LocalPathFromUrl(url) : path::ToNativeSeparators(url);
}

bool CSceneView::IsDownloading() const { return download_ != nullptr; }

void CSceneView::StartWorldDownload(const std::string& url) {
  worldUrl_ = url;
  pendingFile_.clear();
  downloadState_ = 0;
  auto download = std::make_unique<CDownload>();
  // Relative URLs of the world resolve against where its file was moved to.
  const CDownload* running = download.get();
  const bool started = download->Start(url, [this, running](int32_t state, const std::string& localPath) {
    if (state == DownloadDone) worldUrl_ = running->Url();
    OnDownloadDone(state, localPath);
  });
  if (started) download_ = std::move(download);
}

void CSceneView::OnDownloadDone(int32_t state, const std::string& localPath) {
  if (state == DownloadDone && !localPath.empty()) {
    pendingFile_ = localPath;
  } else {
    download_.reset();
  }
}

void CSceneView::LoadPendingFile() {
  if (pendingFile_.empty()) return;
  const CUnpackedSceneFile file(pendingFile_);
  CSceneInputStream stream(file.Path(), "rb");
  if (stream.IsOpen() && world_) {
    ForgetPressedNodes();
    // The old scene gives back what it holds in the context (its lights'
    // slots) before it goes, and the camera starts afresh for the new one.
    if (context_) {
      world_->RenderView(RenderPass::Deactivate, context_.get());
      context_->ResetCamera();
    }
    world_->ResetScene(pendingConvention_);
    stream.LoadIntoMemory();
    CSceneReader reader(stream);
    if (reader.ReadScene(&world_->GetScene())) {
      world_->ResetClock();
      world_->SetWorldUrl(worldUrl_.empty() ? pendingFile_ : worldUrl_);
      // Bound as the reader binds the first Viewpoint, through its set_bind,
      // so that the node's own state follows the bind stack.
      if (CNode* viewpoint = viewpointName_.empty() ? nullptr : world_->FindNode(viewpointName_)) {
        const int16_t bind = 1;
        (void)viewpoint->ReceiveEvent("set_bind", &bind);
      }
    } else {
      world_->ResetScene(pendingConvention_);
    }
    AttachBrowser(world_);
    world_->ResetFrameCounter();
    stream.Close();
  }
  download_.reset();
  pendingFile_.clear();
}

// ---- Presenting ----

// The host shows its own target; a frame left from before it was set is not
// shown over it. A frame drawn into the window is presented where it lies.
void CSceneView::Present() {
  if (!HasOwnFrame() || UsesHostTarget()) return;
  if (focus_ && border_) DrawBorder();
  if (windowFrame_.pixels) {
    (void)PresentWindowPixels(window_, windowFrame_, Rect{rect_[1], rect_[0], rect_[3], rect_[2]});
    return;
  }
  BlitImageToWindow(*frameImage_, window_, rect_, context_ ? context_->GetPalette() : PaletteHandle::None);
}

void CSceneView::DrawBorder() {
  if (!context_) return;
  const PixelMap& frame = context_->GetFrameBuffer();
  if (!frame.bits || frame.width < 1 || frame.height < 1) return;
  uint32_t xrgb = 0;
  uint16_t c555 = 0;
  uint8_t index = 0;
  ColorToPixelValues(borderColor_, context_->GetInverseColorMap(), &xrgb, &c555, &index);
  auto put = [&](int32_t x, int32_t y) {
    uint8_t* pixel = frame.Row(y) + static_cast<size_t>(x) * frame.bytesPerPixel;
    switch (frame.bytesPerPixel) {
      case 1: *pixel = index; break;
      case 2: std::memcpy(pixel, &c555, sizeof c555); break;
      case 4: std::memcpy(pixel, &xrgb, sizeof xrgb); break;
      default: break;
    }
  };
  for (int32_t x = 0; x < frame.width; ++x) {
    put(x, 0);
    put(x, frame.height - 1);
  }
  for (int32_t y = 0; y < frame.height; ++y) {
    put(0, y);
    put(frame.width - 1, y);
  }
}

}  // namespace vx
