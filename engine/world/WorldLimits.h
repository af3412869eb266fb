// Limits and fixed values of the world runtime: worlds, view contexts and
// the window glue.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/RenderLimits.h"

namespace vx {

// Entries of each bind stack; a bind on a full stack drops the oldest.
inline constexpr int kBindStackDepth = 8;

// Screen overlays a world collects in one frame; more are ignored.
inline constexpr int kMaxOverlays = 256;

// The colour block a ScreenElement makes of its width and height: larger
// sides make none.
inline constexpr int32_t kMaxScreenElementSide = 4096;

// Frame rate: reported as kDefaultFrameRate until this many frames have been
// counted since the counter was reset.
inline constexpr int kFrameRateMinFrames = 15;
inline constexpr double kDefaultFrameRate = 15.0;

// Model matrices a view context keeps without growing. Deeper nesting grows
// the stack up to kMaxMatrixDepth; pushes beyond that are refused (counted,
// so that the matching pops leave the stack as it was).
inline constexpr int kMatrixStackDepth = 8;
inline constexpr int kMaxMatrixDepth = 1024;

// Light slots of the geometry stage that every view context takes for itself
// (the ambient light and the headlight); the scene's lights share the rest.
inline constexpr int32_t kViewLightSlots = 2;
inline constexpr int32_t kMaxSceneLights = kLightSlots - kViewLightSlots;

// Nodes one pick can record, and fallback pointer targets.
inline constexpr int kMaxPickedNodes = 8;

// Nearest pick depth at the start of each frame.
inline constexpr int32_t kNoPickDepth = 32000;

// Camera at creation and its limits.
inline constexpr float kInitialYaw = 3.14f;
inline constexpr float kInitialFieldOfView = 0.4363323f;  // half the projection angle: 25 degrees
inline constexpr float kMaxFieldOfView = 1.2f;             // without a panorama renderer
inline constexpr float kNearPlane = 0.05f;
inline constexpr float kFarPlane = 20000.0f;
inline constexpr float kDefaultExamineDistance = 2.0f;

// A default Viewpoint of the standard's convention: the camera stands this
// far along +Z looking along -Z, and the angle its field of view spans across
// the narrow side of the frame. A world without a Viewpoint starts there.
inline constexpr float kDefaultViewpointDistance = 10.0f;
inline constexpr float kDefaultViewpointFieldOfView = 0.785398f;

// Saved camera of a world at creation.
inline constexpr float kInitialSavedFieldOfView = 0.5f;

// Cursors of a view: 32 x 32 cells with a 16 x 16 picture in the corner.
inline constexpr int kCursorCellSize = 32;
inline constexpr int kCursorPictureSize = 16;

// Scene view: a press and release less than this many pixels apart (in x
// and in y) are a click.
inline constexpr int32_t kClickDistance = 3;
// Navigation steps a second: every navigation amount below is that of one
// step, and a frame moves by the steps its time holds (NavigationSteps.h).
inline constexpr double kNavigationStepRate = 30.0;
// A frame after a longer pause (the first after a stall, a world load or a
// download) moves as if only this much time had passed: the user saw
// nothing move meanwhile, and a camera thrown far in one frame loses the
// place. Down to 10 frames a second navigation still keeps to time.
inline constexpr uint64_t kMaxNavigationPauseMs = 100;
// Navigation keys: each step a held turn or pitch key adds this to its
// speed; released, the turn speed keeps 0.75 and the pitch speed 0.25 of
// itself per step; speeds stay within +-kMaxKeySpeed and stop below
// kKeySpeedStop. A step turns by the speed times the field of view.
inline constexpr float kKeySpeedStep = 0.25f;
inline constexpr float kTurnSpeedDecay = 0.75f;
inline constexpr float kPitchSpeedDecay = 0.25f;
inline constexpr float kMaxKeySpeed = 0.4f;
inline constexpr float kKeySpeedStop = 0.001f;
// Mouse turning: the squared drag offset times the field of view, times this,
// per step.
inline constexpr float kDragTurnFactor = 0.3f;
// Zooming by key: each step changes the field of view by
// (kZoomRate / kNavigationStepRate) x kZoomFactor of itself.
inline constexpr float kZoomRate = 40.0f;
inline constexpr float kZoomFactor = 0.045f;
// Typed character of a view when none is pending.
inline constexpr uint8_t kNoTypedCharacter = 0xFF;

// Highest Macintosh key code.
inline constexpr int kMaxMacKeyCode = 126;

// The remote command link. Received text waits in a buffer of this many
// characters until its frames are complete; a reply, framing included, is
// cut to the same size so that it leaves in one send.
inline constexpr size_t kCommandBufferSize = 8192;
// A controller that shows no sign of life for this long (completes no frame,
// and sends nothing the buffer keeps) is dropped, so that the next one can
// connect.
inline constexpr int32_t kCommandLinkIdleSeconds = 60;
// Reply bytes that wait for a slow controller's socket; a controller whose
// replies would pass this is dropped. No frame is answered while replies
// wait, so in the link's own use this holds the rest of one reply.
inline constexpr size_t kMaxUnsentReplyBytes = 4 * kCommandBufferSize;

// Where the engine's network services listen and connect unless the
// environment says otherwise.
inline constexpr char kDefaultListenAddress[] = "127.0.0.1";
inline constexpr uint16_t kDefaultCommandPort = 7325;
inline constexpr uint16_t kDefaultChatPort = 6667;

// ---- Object movies (IMobSensor and the image objects) --------------------

// View axes of an object movie, and the values its lists need to be used.
inline constexpr int32_t kObjectMovieAxes = 3;
inline constexpr int32_t kObjectMovieRangeValues = 2 * kObjectMovieAxes;
// A range this close to 360 degrees wide is a full turn, and wraps.
inline constexpr float kFullTurnDegrees = 360.0f;
inline constexpr float kFullTurnTolerance = 0.001f;
// 180 / pi as a float, the factor of the viewer angles.
inline constexpr float kDegreesPerRadian = 57.29578f;
// Drags turn the object by these multiples of the range per frame width.
inline constexpr float kObjectDragScale = 2.0f;
inline constexpr float kDiskDragScale = 0.5f;

}  // namespace vx
