// One window onto one world: the window and the view's rectangle in it, focus
// and border, the frame images, and the per-tick step that loads a pending
// world, turns mouse drags and keys into navigation, tests the movement
// against the scene, renders and presents. Button press and release drive
// the pointing-device sensors; LoadWorld follows links and loads worlds.
//
// The view owns its CViewContext (made on the first frame) and its frame
// images; the world belongs to the scene. A 32-bit view whose rectangle lies
// inside its window's client area draws its frame straight into the window's
// pixels instead of a frame image, so that presenting copies nothing. Nodes
// reach the view only through the IViewServices it implements
// (CViewContext::GetServices()): an Anchor's click calls LoadWorld, the
// panorama nodes use the back image, the keys and their bind stacks. A
// Viewpoint that jumps the camera notes it in the context; the view then
// starts the next movement test from there instead of sweeping across the
// jump.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include <vantessel/Engine.h>

#include "engine/hostlink/FrameDemand.h"
#include "engine/math/Vec.h"
#include "engine/render/DibImage.h"
#include "engine/render/PixelMap.h"
#include "engine/scene/Node.h"
#include "engine/scene/ViewServices.h"
#include "engine/world/CameraTurn.h"
#include "engine/world/NavigationSettings.h"
#include "engine/world/NavigationSteps.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WindowGlue.h"
#include "engine/world/WorldConvention.h"
#include "engine/world/WorldLimits.h"
#include "platform/DeviceContext.h"

namespace vx {

class CBrowser;
class CDownload;

class CSceneView final : public IViewServices {
 public:
  // The rectangle is the window's client area; flags 0x14 until SetFlags.
  explicit CSceneView(WindowHandle window);
  ~CSceneView();
  CSceneView(const CSceneView&) = delete;
  CSceneView& operator=(const CSceneView&) = delete;

  // The world drawn from now on (not owned); the next tick runs its
  // preparation pass.
  void AttachBrowser(CBrowser* world);
  CBrowser* GetWorld() const { return world_; }

  void SetFlags(uint16_t flags) { flags_ = flags; }
  uint16_t GetFlags() const { return flags_; }
  // The host's callback; nodes that report to the host (the Vista nodes)
  // reach it here.
  void SetCallback(const ViewCallback& callback) { callback_ = callback; }
  const ViewCallback& GetCallback() const { return callback_; }
  // Replaces the window that frames are presented into; nothing else changes.
  void SetWindow(WindowHandle window) {
    window_ = window;
    redrawNeeded_ = true;
  }
  WindowHandle GetWindow() const { return window_; }

  // Top, left, bottom, right in the window's client area. A change of size
  // drops the back image, and the frame image unless the view draws into a
  // host target; the frame drawn into the window moves with the rectangle.
  void SetRect(const MacRect& rect);
  const MacRect& GetRect() const { return rect_; }
  int32_t Width() const { return rect_[3] - rect_[1]; }
  int32_t Height() const { return rect_[2] - rect_[0]; }

  // On also gives the window the keyboard focus.
  void SetFocus(bool on);
  // Null colour: black.
  void SetBorder(bool on, const float* rgb);

  // A frame buffer of the host's (bits null: none). Without view flag 0x10
  // the view renders into it instead of its own frame image.
  void SetTargetBuffer(const PixelMap& target);
  const PixelMap& GetTargetBuffer() const { return target_; }

  // 0 left/right, 1 interlaced, 2 none. The bound Vista's (else legacy
  // Vista's) renderer is told whether to interlace.
  void SetStereoMode(StereoMode mode) override;
  StereoMode GetStereoMode() const { return stereoMode_; }

  // The back image's pixels; bits null when there is none.
  PixelMap GetBackImage() const override;
  // Copies the back image into the frame the context draws into.
  void CopyBackImageToFrame() override;

  // Whether the view takes keys and the pointer now.
  bool IsActive() const;
  // The key of the Macintosh key code is down for this view.
  bool IsKeyDown(int32_t macKeyCode) const override;
  // The pointer relative to the view's rectangle.
  void GetPointerPos(int32_t* x, int32_t* y) const;
  // Pointer and keys for view flag 0x20, fed by the host instead of read
  // from the window system.
  void SetHostPointer(int32_t x, int32_t y);
  void SetHostKey(int32_t macKeyCode, bool down);

  // One step: pending load, navigation, and the frame with its presenting
  // when something it shows may have changed.
  void Tick();
  // The next frame is drawn whatever else holds (the window's pixels were
  // lost, a host changed what the view shows).
  void Redraw() { redrawNeeded_ = true; }
  // How long the view may wait from now before its next tick: 0 at once,
  // kNoFrameDue while only input or a change from outside can wake it.
  double SecondsToNextFrame() const;

  void MouseDown();
  void MouseUp();

  // With a url: follows a link. The text after a '#' names a Viewpoint to
  // bind (the caller's text is not changed); a url that is no world file's
  // (IsWorldFileName) goes to the host as a link to open, without that
  // part; an "http://" world is downloaded, a local one loaded on the next
  // tick (unpacked first when compressed), under the convention its url
  // names (ConventionOfWorldName). Null loads the pending file, if any.
  void LoadWorld(const char* url, const char* target) override;

  // The context's cursor; nothing before the first frame.
  void SetCursor(int32_t cursor) override;
  // On the stacks of the attached world; nothing without one.
  void BindPanorama(CNode* node, PanoramaStack stack) override;
  // Codes 5 and 6 of the host's callback, with the node's DEF name.
  void ReportVistaBinding(const CNode& node, bool bound) override;
  double GetWorldTime() const override;
  // Sends the host's callback the fullScreen value in its data word.
  void ReportFullScreen(bool on) override;

  void Present();

  // Null until the first frame.
  CViewContext* GetContext() const { return context_.get(); }

  // The character typed since the last tick, kNoTypedCharacter when none.
  void SetTypedCharacter(uint8_t character) {
    typedCharacter_ = character;
    ++typedSerial_;
  }
  uint8_t GetTypedCharacter() const { return typedCharacter_; }
  TypedKey GetTypedKey() const override { return {typedCharacter_, typedSerial_}; }
  CameraFlags* GetCameraFlags() override { return &cameraFlags; }

  // Where the next step of the camera starts from, for the movement test.
  const CVec3f& GetPreviousCameraPosition() const { return previousPosition_; }

  CameraFlags cameraFlags;

  // Navigation and loading state as the last tick left it.
  float GetTurnSpeed() const { return turnSpeed_.Speed(); }
  float GetPitchSpeed() const { return pitchSpeed_.Speed(); }
  bool IsDragging() const { return dragging_; }
  bool IsDownloading() const;
  const std::string& GetPendingFile() const { return pendingFile_; }
  const std::string& GetViewpointName() const { return viewpointName_; }
  const std::string& GetLinkTarget() const { return linkTarget_; }

 private:
  // Walk and fly flags of the movement test, and the avatar size.
  struct Movement {
    bool walk = false;
    bool fly = false;
    NavigationSettings navigation;
  };

  // What the turn and pitch keys turn the camera by in one frame, in units
  // of the field of view.
  struct KeyTurns {
    float yaw = 0.0f;
    float pitch = 0.0f;
  };

  // What a frame showed: the camera, the pointer and the world's changes
  // as it began. A tick draws only when something differs from it, the view
  // itself changed, input is held, or a frame was asked for by now.
  struct ShownState {
    CVec3f position;
    float pitch = 0.0f, yaw = 0.0f, roll = 0.0f, fieldOfView = 0.0f;
    int32_t pointerX = 0, pointerY = 0;
    bool operator==(const ShownState&) const = default;
  };
  ShownState CurrentState() const;
  bool FrameDue() const;
  // Around the rendering of every frame.
  void BeginShownFrame();
  void EndShownFrame();

  void PrepareFrame();
  void Navigate();
  KeyTurns ReadNavigationKeys(double steps);
  CVec3f WalkingHeading(const CameraTurn& turn) const;
  CameraTurn TurnedBy(const CameraTurn& turn, float pitch, float yaw) const;
  void TurnAboutExaminedCentre(const CameraTurn& before, const CameraTurn& after);
  Movement ReadMovement() const;
  void SetMoveTestSegment(const CVec3f& p, const Movement& movement);
  void SwitchMoveTestOff();
  bool MoveTestHit() const;
  void RunCollisionPass(CVec3f& p, const Movement& movement);
  void FinishMove(CVec3f& p, const Movement& movement);
  void RenderWorld();
  void FollowLink(std::string url, const char* target);
  void StartWorldDownload(const std::string& url);
  void OnDownloadDone(int32_t state, const std::string& localPath);
  void LoadPendingFile();
  void ForgetPressedNodes();
  template <typename Fn>
  void ForEachPressed(Fn fn);
  // The host's callback, with a node's DEF name (cut to a caller buffer).
  void SendNodeEvent(ViewEventCode code, const CNode& node);
  std::unique_ptr<CDibImage> MakeImage();
  // Without view flag 0x10 a host target, when set, is drawn into instead of
  // the view's own frame.
  bool UsesHostTarget() const;
  // The view's own frame: the rectangle of the window's pixels, or the frame
  // image.
  bool HasOwnFrame() const { return windowFrame_.pixels || frameImage_; }
  PixelMap OwnFrame() const;
  void MakeOwnFrame();
  // Takes the window's pixels as the frame when the view is 32-bit and its
  // rectangle lies inside the client area; false otherwise.
  bool TakeWindowFrame();
  // The window's pixels change with its size and with SetWindow; the frame
  // follows them, or is made again as a frame image when the rectangle no
  // longer lies inside.
  void FollowWindowFrame();
  // The frame the context draws into: the host target, the view's own frame,
  // or nothing.
  void AttachFrameToContext();
  void DrawBorder();

  WindowHandle window_;
  uint16_t flags_ = kViewMakePalette | kViewCaptureMouse;
  ViewCallback callback_{};
  MacRect rect_{};
  bool focus_ = false;
  bool border_ = false;
  FloatColor borderColor_{};
  std::unique_ptr<CDibImage> frameImage_;
  // Held while the view draws into them in place of a frame image.
  WindowPixels windowFrame_;
  std::unique_ptr<CDibImage> backImage_;
  PixelMap target_;
  std::unique_ptr<CViewContext> context_;
  bool prepareNeeded_ = true;
  CBrowser* world_ = nullptr;

  bool dragging_ = false;
  int32_t pressX_ = 0, pressY_ = 0;
  int32_t lastX_ = 0, lastY_ = 0;
  int32_t hostX_ = 0, hostY_ = 0;
  std::array<bool, kMaxMacKeyCode + 1> hostKeys_{};
  // Weak: a world reload or an event may delete a pressed node.
  std::vector<CNodeWeakRef> pressed_;

  bool forwardKey_ = false;
  bool backwardKey_ = false;
  KeyTurnSpeed turnSpeed_{kTurnSpeedDecay};
  KeyTurnSpeed pitchSpeed_{kPitchSpeedDecay};
  NavigationClock navigationClock_;

  // The running world download; cancelled and detached with the view.
  std::unique_ptr<CDownload> download_;
  int32_t downloadState_ = 0;

  std::string linkTarget_;
  std::string pendingFile_;
  std::string viewpointName_;
  std::string worldUrl_;
  WorldConvention pendingConvention_ = WorldConvention::kStandard;

  StereoMode stereoMode_ = StereoMode::None;
  bool redrawNeeded_ = true;
  ShownState shown_;
  uint64_t shownChanges_ = 0;
  double frameDueAt_ = kNoFrameDue;
  CVec3f previousPosition_;
  uint8_t typedCharacter_ = kNoTypedCharacter;
  uint32_t typedSerial_ = 0;
};

}  // namespace vx
