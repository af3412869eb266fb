#include "engine/world/ViewContext.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string_view>

#include "engine/render/DibImage.h"
#include "engine/scene/ChildWalk.h"
#include "engine/world/Browser.h"
#include "engine/world/CameraTurn.h"
#include "engine/world/NavigationSettings.h"
#include "engine/world/PanoramaNode.h"
#include "engine/world/SensorPick.h"

namespace vx {
namespace {

constexpr float kHalfTurn = 3.1415927f;

float ExamineDistance(CNode* navigationInfo) {
  const MFFloat* sizes = FieldOf<MFFloat>(navigationInfo, "avatarSize");
  if (!sizes || sizes->count <= 0) return kDefaultExamineDistance;
  float sum = 0.0f;
  for (float size : sizes->Span()) sum += size;
  return sum / static_cast<float>(sizes->count);
}

CVec3f DirectionOf(float pitch, float yaw) {
  return {-std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
}

}  // namespace

CViewContext::CViewContext(WindowHandle window, uint16_t flags)
    : window_(window),
      flags_(flags),
      matrices_(kMatrixStackDepth),
      target_(std::make_unique<CRenderTarget>()),
      stage_(std::make_unique<CGeometryStage>(target_.get())),
      inverseMap_(kInverseMap555Size) {
  InstallViewChildWalk(&WalkChildrenPickingSensors);
  // The system's worlds' fill light; the standard's lighting passes it by.
  LightRecord ambient;
  ambient.on = 1;
  ambient.type = kAmbientLight;
  ambient.color = {0.25f, 0.25f, 0.25f};
  (void)stage_->AddLight(&ambient);
  const LightRecord headlight;  // off until the first frame
  headlightSlot_ = stage_->AddLight(&headlight);
  assert(headlightSlot_ == kViewLightSlots - 1 && "the view's lights take the first slots");

  cursors_ = CreateViewCursors();
  palette_ = CreateDisplayPalette(window_, &colorTable_, (flags_ & kViewMakePalette) != 0);
  if (palette_ == PaletteHandle::None) colorTable_ = BuiltInPaletteTable();
  BuildInverseColorMap555(colorTable_, std::span<uint8_t, kInverseMap555Size>(inverseMap_));
  stage_->colorTable = colorTable_;
  stage_->inverseMap = inverseMap_.data();
  target_->SetInverseMap(inverseMap_.data());
}

CViewContext::~CViewContext() {
  if (window_ != WindowHandle::None && currentCursor_ != 0) SetWindowCursor(window_, cursors_.arrow);
  DestroyViewCursors(cursors_);
  if (palette_ != PaletteHandle::None) DeletePalette(palette_);
}

int32_t CViewContext::GetColorDepth() {
  if (colorDepth_ < 0) {
    const int32_t bits = GetScreenBitsPerPixel(window_);
    colorDepth_ = bits < 8 ? 8 : bits == 24 ? 32 : bits;
  }
  return colorDepth_;
}

// ---- Camera ----

void CViewContext::GetOrientation(float* pitch, float* yaw, float* roll) const {
  *pitch = requestedPitch_;
  *yaw = requestedYaw_;
  *roll = requestedRoll_;
}

void CViewContext::GetAppliedOrientation(float* pitch, float* yaw, float* roll) const {
  *pitch = appliedPitch_;
  *yaw = appliedYaw_;
  *roll = appliedRoll_;
}

CVec3f CViewContext::GetViewDirection() const { return DirectionOf(requestedPitch_, requestedYaw_); }

void CViewContext::SetOrientation(float pitch, float yaw, float roll, bool applyNow) {
  requestedPitch_ = pitch;
  requestedYaw_ = yaw;
  requestedRoll_ = roll;
  cameraChanged_ = true;
  if (applyNow) ApplyCamera();
}

void CViewContext::SetFieldOfView(float fieldOfView, bool applyNow) {
  requestedFieldOfView_ = fieldOfView;
  cameraChanged_ = true;
  if (applyNow) ApplyCamera();
}

void CViewContext::SetPosition(const CVec3f& position, bool applyNow) {
  requestedPosition_ = position;
  cameraChanged_ = true;
  if (applyNow) ApplyCamera();
}

void CViewContext::AttachBrowser(CBrowser* world) {
  if (world == world_) return;
  world_ = world;
  if (world_ && world_->GetConvention() == WorldConvention::kStandard) {
    requestedPosition_ = {0.0f, 0.0f, kDefaultViewpointDistance};
    requestedPitch_ = requestedRoll_ = 0.0f;
    requestedYaw_ = std::numbers::pi_v<float>;
    requestedFieldOfView_ = CameraFieldOfView(kDefaultViewpointFieldOfView);
    cameraChanged_ = true;
  }
  appliedPosition_ = requestedPosition_;
  appliedPitch_ = requestedPitch_;
  appliedYaw_ = requestedYaw_;
  appliedRoll_ = requestedRoll_;
  appliedFieldOfView_ = requestedFieldOfView_;
  navigationUp_ = {0.0f, 1.0f, 0.0f};
}

void CViewContext::ResetCamera() {
  world_ = nullptr;
  requestedPosition_ = appliedPosition_ = CVec3f{};
  requestedPitch_ = appliedPitch_ = 0.0f;
  requestedYaw_ = appliedYaw_ = kInitialYaw;
  requestedRoll_ = appliedRoll_ = 0.0f;
  requestedFieldOfView_ = appliedFieldOfView_ = kInitialFieldOfView;
  navigationUp_ = {0.0f, 1.0f, 0.0f};
  cameraChanged_ = true;
}

void CViewContext::ApplyCamera() {
  cameraChanged_ = false;
  // A field of view that is not positive (or not a number) would make no
  // projection; the view keeps the one it has.
  const float requested = requestedFieldOfView_ > 0.0f ? requestedFieldOfView_ : appliedFieldOfView_;
  // The bound panorama's renderer limits the camera; without one only the
  // field of view has a limit.
  PanoramaCamera camera{requested, requestedPitch_, requestedYaw_, requestedRoll_};
  IPanoramaNode* panorama = AsPanoramaNode(CameraLimiter());
  if (panorama && panorama->LimitCamera(camera)) {
    requestedPitch_ = camera.pitch;
    requestedYaw_ = camera.yaw;
    requestedRoll_ = camera.roll;
  } else {
    camera.fieldOfView = std::min(requested, kMaxFieldOfView);
  }
  const float fieldOfView = camera.fieldOfView;
  requestedFieldOfView_ = appliedFieldOfView_ = fieldOfView;
  appliedPosition_ = requestedPosition_;
  appliedPitch_ = requestedPitch_;
  appliedYaw_ = requestedYaw_;
  appliedRoll_ = requestedRoll_;

  // In EXAMINE mode of the system's worlds the position is the point looked
  // at; the eye stands back from it along the view direction. The standard's
  // worlds keep the eye at the position in every mode, where their sensors
  // report it.
  CVec3f eye = appliedPosition_;
  CNode* navigationInfo = world_ ? world_->GetNavigationInfo() : nullptr;
  if (ConventionOf(world_) == WorldConvention::kSystem && IsExamineMode(navigationInfo))
    eye -= ExamineDistance(navigationInfo) * DirectionOf(appliedPitch_, appliedYaw_);

  const float aspect =
      frame_.height > 0 ? static_cast<float>(frame_.width) / static_cast<float>(frame_.height) : 1.0f;
  CMatrix4 step;
  cameraMatrix_.SetPerspective(2.0f * fieldOfView, kNearPlane, kFarPlane, aspect);
  cameraMatrix_.PreMultiply(step.SetAxisRotation(2, -appliedRoll_));
  cameraMatrix_.PreMultiply(step.SetAxisRotation(0, -appliedPitch_));
  cameraMatrix_.PreMultiply(step.SetAxisRotation(1, appliedYaw_ - kHalfTurn));
  cameraMatrix_.PreMultiply(step.SetTranslation(-eye.x, -eye.y, -eye.z));

  // A camera applied during a frame (a Viewpoint bound in it) lights and
  // draws the rest of the frame as the next frame would.
  stage_->eye = eye;
  stage_->lookAt = eye + DirectionOf(appliedPitch_, appliedYaw_);
  stage_->SetProjectionMatrix(&cameraMatrix_);
  UpdateHeadlight();
}

// The file's angle spans the narrow side of the frame; the camera keeps half
// the angle that the frame's height spans. In a frame higher than wide the
// width is the narrow side, and the height's half-angle follows from the
// tangents. Angles the view cannot project pass on for it to refuse.
float CViewContext::CameraFieldOfView(float viewpointAngle) const {
  const float half = viewpointAngle * 0.5f;
  const bool higherThanWide = frame_.width > 0 && frame_.height > frame_.width;
  if (!higherThanWide || !(half > 0.0f && half < std::numbers::pi_v<float> * 0.5f)) return half;
  return std::atan(std::tan(half) * static_cast<float>(frame_.height) / static_cast<float>(frame_.width));
}

// ---- Frame ----

void CViewContext::SetFrameBuffer(const PixelMap& frame) {
  if (frame.width != frame_.width || frame.height != frame_.height) cameraChanged_ = true;
  frame_ = frame;
  const RenderBufferDesc desc{frame.bits, frame.width, frame.height, frame.bytesPerPixel, frame.rowBytes};
  target_->SetBuffer(&desc);
}

void CViewContext::BeginFrame() {
  if (cameraChanged_) ApplyCamera();
  stage_->SetModelViewMatrix(nullptr);
  stage_->eye = appliedPosition_;
  stage_->lookAt = appliedPosition_ + DirectionOf(appliedPitch_, appliedYaw_);
  UpdateHeadlight();

  MeasureDrawnWorld();

  pickedCount_ = 0;
  CNode* panorama = FallbackPanorama();
  fallbacks_[0] = CNodeWeakRef(panorama);
  fallbackCount_ = panorama ? 1 : 0;
  nearestPickDepth_ = kNoPickDepth;
}

// The box of a frame is whole when the next one begins.
void CViewContext::MeasureDrawnWorld() {
  drawnBox_ = measuringBox_;
  measuringBox_ = WorldBox{};
  const bool measuring = ConventionOf(world_) == WorldConvention::kStandard &&
                         IsExamineMode(world_ ? world_->GetNavigationInfo() : nullptr);
  if (!measuring) drawnBox_ = WorldBox{};
  stage_->measuredBox = measuring ? &measuringBox_ : nullptr;
}

// The +Y of the coordinates the Viewpoint stands in: the camera's turn
// without the Viewpoint's own orientation, which turns only where it looks.
void CViewContext::NoteCameraJump(const CVec3f& position) {
  cameraJump_ = position;
  if (ConventionOf(world_) != WorldConvention::kStandard) return;
  CVec3f up{0.0f, 1.0f, 0.0f};
  if (const SFRotation* own = FieldOf<SFRotation>(world_->GetViewpoint(), "orientation")) {
    CMatrix4 undo;
    undo.SetRotation({own->x, own->y, own->z}, -own->angle);
    undo.TransformPoint(up);
  }
  RotationOf({requestedPitch_, requestedYaw_, requestedRoll_}).TransformPoint(up);
  const float length = up.Length();
  navigationUp_ = std::isfinite(length) && length > 0.0f ? up * (1.0f / length) : CVec3f{0.0f, 1.0f, 0.0f};
}

void CViewContext::UpdateHeadlight() {
  CNode* navigationInfo = world_ ? world_->GetNavigationInfo() : nullptr;
  const int16_t* headlight = FieldOf<int16_t>(navigationInfo, "headlight");
  headlightOn_ = !navigationInfo || (headlight && *headlight != 0);
  SetHeadlight(headlightOn_ && !(world_ && world_->IsLegacyPanorama()));
}

void CViewContext::SetHeadlight(bool on) {
  LightRecord light;
  light.on = on ? 1 : 0;
  light.type = kDirectionalLight;
  light.color = {1.0f, 1.0f, 1.0f};
  light.direction = DirectionOf(appliedPitch_, appliedYaw_) * -1.0f;
  light.attenuation = {1.0f, 0.0f, 0.0f};
  stage_->SetLight(headlightSlot_, &light);
}

void CViewContext::ClearFrame() {
  if (!frame_.bits) return;
  uint8_t black = 0;
  if (frame_.bytesPerPixel == 1) ColorToPixelValues({0.0f, 0.0f, 0.0f}, inverseMap_.data(), nullptr, nullptr, &black);
  const size_t rowBytes = static_cast<size_t>(frame_.width) * frame_.bytesPerPixel;
  for (int32_t y = 0; y < frame_.height; ++y) std::memset(frame_.Row(y), black, rowBytes);
}

// ---- Model matrices ----

void CViewContext::PushMatrix() {
  if (matrixTop_ + 1 >= kMaxMatrixDepth) {
    ++refusedPushes_;
    return;
  }
  const bool wasEmpty = matrixTop_ < 0;
  ++matrixTop_;
  if (static_cast<size_t>(matrixTop_) == matrices_.size()) matrices_.emplace_back();
  if (wasEmpty) {
    Top().SetIdentity();
  } else {
    Top() = matrices_[static_cast<size_t>(matrixTop_ - 1)];
  }
}

void CViewContext::PopMatrix() {
  if (refusedPushes_ > 0) {
    --refusedPushes_;
    return;
  }
  if (matrixTop_ >= 0) --matrixTop_;
}

void CViewContext::Scale(const CVec3f& scale) {
  if (matrixTop_ < 0) return;
  CMatrix4 s;
  Top().PreMultiply(s.SetScale(scale.x, scale.y, scale.z));
}

void CViewContext::Rotate(const std::array<float, 4>& axisAngle) {
  if (matrixTop_ < 0) return;
  CMatrix4 r;
  Top().PreMultiply(r.SetRotation({axisAngle[0], axisAngle[1], axisAngle[2]}, axisAngle[3]));
}

void CViewContext::Translate(const CVec3f& offset) {
  if (matrixTop_ < 0) return;
  CMatrix4 t;
  Top().PreMultiply(t.SetTranslation(offset.x, offset.y, offset.z));
}

void CViewContext::ApplyMatrix() { stage_->SetModelViewMatrix(matrixTop_ < 0 ? nullptr : &Top()); }

void CViewContext::TransformPoint(CVec3f& point) const {
  if (matrixTop_ >= 0) matrices_[static_cast<size_t>(matrixTop_)].TransformPoint(point);
}

CMatrix4 CViewContext::GetTopMatrix() const {
  return matrixTop_ >= 0 ? matrices_[static_cast<size_t>(matrixTop_)] : CMatrix4();
}

// ---- Pointer and picks ----

CNode* CViewContext::FallbackPanorama() const {
  if (!world_) return nullptr;
  if (CNode* vista = world_->GetVista()) return vista;
  if (CNode* legacy = world_->GetLegacyVista()) return legacy;
  return world_->GetBackground();
}

// A Background keeps the camera level and within its picture only in the
// system's worlds; in the standard's it is drawn behind whatever camera the
// world has.
CNode* CViewContext::CameraLimiter() const {
  CNode* panorama = FallbackPanorama();
  const bool background = panorama && panorama->GetTypeId() == NodeTypeBackground;
  return background && ConventionOf(world_) == WorldConvention::kStandard ? nullptr : panorama;
}

void CViewContext::SetPointer(int32_t x, int32_t y) {
  pointerX_ = x;
  pointerY_ = y;
  relativeX_ = frame_.width > 0 ? std::clamp(static_cast<float>(x) / frame_.width, 0.0f, 1.0f) : 0.0f;
  relativeY_ = frame_.height > 0 ? std::clamp(static_cast<float>(y) / frame_.height, 0.0f, 1.0f) : 0.0f;
  if (IPanoramaNode* panorama = AsPanoramaNode(FallbackPanorama())) {
    (void)panorama->PointerAngles(relativeX_, relativeY_, &pointerPitch_, &pointerYaw_);
  }
}

void CViewContext::RecordHit(CNode* node, int32_t depth, const std::array<int32_t, 2>& point, int32_t index) {
  fallbackCount_ = 0;
  if (index < 0 || index >= kMaxPickedNodes || depth > nearestPickDepth_) return;
  picked_[static_cast<size_t>(index)] = CNodeWeakRef(node);
  pickedCount_ = index + 1;
  nearestPickDepth_ = depth;
  hitPoint_ = point;
  if (node) node->pick.order = depth;
}

void CViewContext::AddPointerTarget(CNode* node, int32_t index) {
  if (pickedCount_ != 0 || index < 0 || index >= kMaxPickedNodes) return;
  fallbacks_[static_cast<size_t>(index)] = CNodeWeakRef(node);
  fallbackCount_ = index + 1;
}

std::vector<CNode*> CViewContext::GetPointerTargets() const {
  const bool picked = pickedCount_ > 0;
  const auto& list = picked ? picked_ : fallbacks_;
  const int32_t count = picked ? pickedCount_ : fallbackCount_;
  std::vector<CNode*> nodes;
  for (int32_t i = 0; i < count; ++i) nodes.push_back(list[static_cast<size_t>(i)].Get());
  return nodes;
}

void CViewContext::DispatchPointer() {
  if (!cursorChosen_) SetCursor(1);
  cursorChosen_ = false;
  if (pickedCount_ == 0) {
    const float depth = target_->GetDepth(pointerX_, pointerY_);
    for (int32_t i = 0; i < fallbackCount_; ++i) {
      CNode* node = fallbacks_[static_cast<size_t>(i)].Get();
      if (!node) continue;
      const NodeTypeId type = node->GetTypeId();
      if (depth == node->pick.depth || type == NodeTypeVista || type == NodeTypeBackground) node->OnPointerOver();
    }
    return;
  }
  for (int32_t i = 0; i < pickedCount_; ++i) {
    CNode* node = picked_[static_cast<size_t>(i)].Get();
    if (node && node->pick.order == nearestPickDepth_) node->OnPointerOver();
  }
}

// ---- Cursors ----

void CViewContext::SetCursor(int32_t cursor) {
  cursorChosen_ = true;
  if ((flags_ & kViewHostFedInput) && !(flags_ & kViewSetCursorWhenFed)) return;
  const bool inside = pointerX_ >= 0 && pointerX_ < frame_.width && pointerY_ >= 0 && pointerY_ < frame_.height;
  if (!inside) cursor = 0;
  const CursorHandle handle = cursors_.ByNumber(cursor);
  if (cursor == currentCursor_ || handle == CursorHandle::None) return;
  currentCursor_ = cursor;
  if (window_ != WindowHandle::None) SetWindowCursor(window_, handle);
}

}  // namespace vx
