// What every node's per-frame operation receives: the camera of one view, a
// stack of model matrices, the frame buffer with its render target and
// geometry stage, the view's colours, the pointer and the picks of the frame,
// and the view's cursors.
//
// The camera is held twice: the setters write the requested camera, and
// ApplyCamera (at once when asked, else at the next BeginFrame) turns it into
// the applied camera and the projection of the geometry stage.
//
// A context without a window (WindowHandle::None) is headless: it draws into
// whatever frame buffer it is given, with the built-in palette, and never
// touches a cursor.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "engine/render/GeometryStage.h"
#include "engine/render/PixelMap.h"
#include "engine/render/RenderTarget.h"
#include "engine/math/Matrix4.h"
#include "engine/scene/Node.h"
#include "engine/scene/ViewServices.h"
#include "engine/world/WindowGlue.h"
#include "engine/world/WorldLimits.h"

namespace vx {

class CBrowser;
class IViewServices;

// Options of a view given at creation.
enum ViewFlag : uint16_t {
  kViewSetCursorWhenFed = 0x02,  // set cursor shapes even when the host feeds the pointer
  kViewMakePalette = 0x04,       // make and realise a 256-colour palette
  kViewAlwaysInput = 0x08,
  kViewCaptureMouse = 0x10,
  kViewHostFedInput = 0x20,  // pointer and keys come from the host
};

// What the view tells the nodes of its pointer button and navigation keys.
struct ViewInputState {
  bool buttonDown = false;
  bool navigationKeyDown = false;
};

class CViewContext {
 public:
  CViewContext(WindowHandle window, uint16_t flags);
  ~CViewContext();
  CViewContext(const CViewContext&) = delete;
  CViewContext& operator=(const CViewContext&) = delete;

  WindowHandle GetWindow() const { return window_; }
  uint16_t GetFlags() const { return flags_; }
  CBrowser* GetWorld() const { return world_; }
  // What nodes may ask of the view that drives this context; null when no
  // view does.
  IViewServices* GetServices() const { return services_; }
  void SetServices(IViewServices* services) { services_ = services; }

  // Bits per pixel of the window's device, at least 8, 24 counted as 32;
  // asked once.
  int32_t GetColorDepth();

  // ---- Camera (radians, scene units) ----
  void GetOrientation(float* pitch, float* yaw, float* roll) const;
  // (-sin yaw cos pitch, sin pitch, cos yaw cos pitch) of the requested camera.
  CVec3f GetViewDirection() const;
  float GetFieldOfView() const { return requestedFieldOfView_; }
  CVec3f GetPosition() const { return requestedPosition_; }
  void SetOrientation(float pitch, float yaw, float roll, bool applyNow);
  void SetFieldOfView(float fieldOfView, bool applyNow);
  void SetPosition(const CVec3f& position, bool applyNow);
  // The camera as the last ApplyCamera (or AttachBrowser) left it.
  void GetAppliedOrientation(float* pitch, float* yaw, float* roll) const;
  float GetAppliedFieldOfView() const { return appliedFieldOfView_; }
  CVec3f GetAppliedPosition() const { return appliedPosition_; }
  const CMatrix4& GetCameraMatrix() const { return cameraMatrix_; }
  bool IsCameraChanged() const { return cameraChanged_; }

  // Attaches the world that the next frames draw; the requested camera
  // becomes the applied one as it stands. A world of the standard's
  // convention first puts the camera where its default Viewpoint would; a
  // bound Viewpoint takes it from there in the first frame.
  void AttachBrowser(CBrowser* world);
  // Back to the camera of a new context and no world, so that a world read
  // in place of another starts from its own Viewpoint, not from the camera
  // the old one left.
  void ResetCamera();
  // Clamps the requested field of view, applies the requested camera and
  // hands the projection to the geometry stage. The bound panorama limits the
  // camera: a Vista, or in a world of the system's convention a Background.
  void ApplyCamera();
  // The camera's field of view (half the angle the frame's height spans) for
  // a Viewpoint's fieldOfView, which spans the narrow side of the frame.
  float CameraFieldOfView(float viewpointAngle) const;

  // ---- Frame ----
  // Keeps the description and draws into it from now on; the pixels stay the
  // caller's. A new size makes the next frame build its projection again.
  void SetFrameBuffer(const PixelMap& frame);
  const PixelMap& GetFrameBuffer() const { return frame_; }
  CRenderTarget* GetRenderTarget() { return target_.get(); }
  CGeometryStage* GetStage() { return stage_.get(); }
  const PaletteTable& GetColorTable() const { return colorTable_; }
  const uint8_t* GetInverseColorMap() const { return inverseMap_.data(); }
  PaletteHandle GetPalette() const { return palette_; }
  // Camera set-up, headlight and the reset of the picks; once per frame before
  // the scene is traversed.
  void BeginFrame();
  // Black over the whole frame buffer.
  void ClearFrame();

  // ---- Model matrices ----
  // Push copies the top (the identity onto an empty stack); Scale, Rotate and
  // Translate multiply onto the top and do nothing on an empty stack; Pop
  // never goes below empty.
  void PushMatrix();
  void PopMatrix();
  void Scale(const CVec3f& scale);
  // axisAngle: axis x, y, z and the angle.
  void Rotate(const std::array<float, 4>& axisAngle);
  void Translate(const CVec3f& offset);
  // Hands the top (the identity when empty) to the geometry stage.
  void ApplyMatrix();
  // Transforms by the top; unchanged when the stack is empty.
  void TransformPoint(CVec3f& point) const;
  // The top; the identity when the stack is empty.
  CMatrix4 GetTopMatrix() const;
  // Matrices on the stack (refused pushes not counted); -1 when empty.
  int32_t GetMatrixTop() const { return matrixTop_; }

  // ---- Pointer and picks ----
  // The pointer in pixels relative to the view; through the bound
  // panorama's renderer also the direction under it.
  void SetPointer(int32_t x, int32_t y);
  // The direction under the pointer as the bound panorama last gave it.
  float GetPointerPitch() const { return pointerPitch_; }
  float GetPointerYaw() const { return pointerYaw_; }
  int32_t GetPointerX() const { return pointerX_; }
  int32_t GetPointerY() const { return pointerY_; }
  float GetPointerRelativeX() const { return relativeX_; }
  float GetPointerRelativeY() const { return relativeY_; }
  // A node hit at depth (lower is nearer) by pick number index (below 8).
  // The nearest wins; a tie goes to the later node.
  void RecordHit(CNode* node, int32_t depth, const std::array<int32_t, 2>& point, int32_t index);
  // A node that gets the pointer while nothing was picked this frame.
  void AddPointerTarget(CNode* node, int32_t index);
  // The picked nodes, or the fallback targets when nothing was picked. Nodes
  // that have gone since they were recorded read as null.
  std::vector<CNode*> GetPointerTargets() const;
  int32_t GetNearestPickDepth() const { return nearestPickDepth_; }
  std::array<int32_t, 2> GetHitPoint() const { return hitPoint_; }
  // "Over" to the nodes under the pointer, and the default cursor when no
  // node chose one; once per frame after the scene was drawn.
  void DispatchPointer();

  // ---- Cursors ----
  // 0 arrow, 1 and 2 the view's own cursors; shown while the pointer is in
  // the frame.
  void SetCursor(int32_t cursor);
  int32_t GetCurrentCursor() const { return currentCursor_; }
  const ViewCursors& GetCursors() const { return cursors_; }

  // A Viewpoint put the camera at `position` without travelling there, so the
  // view's collision test must not sweep from where the camera stood. The
  // view takes the note, which clears it.
  // In the standard's worlds the camera the Viewpoint set also gives the
  // navigation its up: the +Y of the Viewpoint's coordinates.
  void NoteCameraJump(const CVec3f& position);
  // The up that walking keeps to and turning turns about; the world's +Y
  // until a Viewpoint of the standard's worlds gives another.
  const CVec3f& GetNavigationUp() const { return navigationUp_; }
  // What the last whole frame drew, in world coordinates; measured only while
  // the standard's EXAMINE needs it to turn about, else empty.
  const WorldBox& GetDrawnWorldBox() const { return drawnBox_; }
  const std::optional<CVec3f>& GetCameraJump() const { return cameraJump_; }
  std::optional<CVec3f> TakeCameraJump() { return std::exchange(cameraJump_, std::nullopt); }

  // Written by the view.
  const ViewInputState& GetInput() const { return input_; }
  void SetButtonDown(bool down) { input_.buttonDown = down; }
  void SetNavigationKeyDown(bool down) { input_.navigationKeyDown = down; }
  StereoMode GetStereoMode() const { return stereoMode_; }
  void SetStereoMode(StereoMode mode) { stereoMode_ = mode; }

 private:
  void MeasureDrawnWorld();
  // The view's panorama node (Vista, else legacy Vista, else Background).
  CNode* FallbackPanorama() const;
  // The panorama node that limits the camera, if any.
  CNode* CameraLimiter() const;
  void UpdateHeadlight();
  void SetHeadlight(bool on);
  CMatrix4& Top() { return matrices_[static_cast<size_t>(matrixTop_)]; }

  WindowHandle window_;
  PixelMap frame_;
  CBrowser* world_ = nullptr;
  IViewServices* services_ = nullptr;
  uint16_t flags_;
  int32_t colorDepth_ = -1;
  bool headlightOn_ = true;
  // Set at creation so that the first frame builds the projection.
  bool cameraChanged_ = true;

  std::vector<CMatrix4> matrices_;
  int32_t matrixTop_ = -1;
  int32_t refusedPushes_ = 0;
  CMatrix4 cameraMatrix_;

  float appliedPitch_ = 0.0f, appliedYaw_ = kInitialYaw, appliedRoll_ = 0.0f;
  float requestedPitch_ = 0.0f, requestedYaw_ = kInitialYaw, requestedRoll_ = 0.0f;
  float appliedFieldOfView_ = kInitialFieldOfView;
  float requestedFieldOfView_ = kInitialFieldOfView;
  CVec3f appliedPosition_;
  CVec3f requestedPosition_;

  std::unique_ptr<CRenderTarget> target_;
  std::unique_ptr<CGeometryStage> stage_;
  int32_t headlightSlot_ = -1;

  bool cursorChosen_ = false;
  int32_t currentCursor_ = 2;
  PaletteTable colorTable_;
  std::vector<uint8_t> inverseMap_;
  PaletteHandle palette_ = PaletteHandle::None;

  int32_t pointerX_ = 0, pointerY_ = 0;
  float relativeX_ = 0.0f, relativeY_ = 0.0f;
  float pointerPitch_ = 0.0f, pointerYaw_ = 0.0f;

  // Weak, so that a node deleted between its pick and the dispatch is never
  // reached.
  std::array<CNodeWeakRef, kMaxPickedNodes> picked_;
  std::array<CNodeWeakRef, kMaxPickedNodes> fallbacks_;
  int32_t pickedCount_ = 0;
  int32_t fallbackCount_ = 0;
  int32_t nearestPickDepth_ = kNoPickDepth;
  std::array<int32_t, 2> hitPoint_{};

  ViewCursors cursors_;

  std::optional<CVec3f> cameraJump_;
  CVec3f navigationUp_{0.0f, 1.0f, 0.0f};
  WorldBox measuringBox_;
  WorldBox drawnBox_;
  ViewInputState input_;
  StereoMode stereoMode_ = StereoMode::None;
};

}  // namespace vx
