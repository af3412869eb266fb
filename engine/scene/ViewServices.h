// What a node may ask of the view that draws it, and nothing wider: follow a
// link or load a world, the back image, the keys, the cursor, the panorama
// bind stacks and the clock of the world on screen.
//
// The nodes own this interface and the view of the world runtime above them
// implements it; nodes reach it through CViewContext::GetServices() and never
// see the view, its window or the engine's handles. A context that no view
// drives (a headless frame) has none.
#pragma once

#include <cstdint>

namespace vx {

class CNode;
struct PixelMap;

// Whether the user may change the camera and whether the view hands the
// user's moves to its camera; the camera behaviour clears them to hold the
// camera during a scripted move. A user move of a quantity whose user flag
// is set sets its apply flag again.
struct CameraFlags {
  bool userPosition = true;
  bool userOrientation = true;
  bool userFieldOfView = true;
  bool applyPosition = true;
  bool applyOrientation = true;
  bool applyFieldOfView = true;
};

// A character typed into a view: each key the host gives gets the next
// serial number, so that a reader that runs more than once while the key is
// pending (a view's tick may draw more than one frame) takes it once.
struct TypedKey {
  uint8_t character = 0xFF;  // 0xFF: none pending
  uint32_t serial = 0;
};

// How a view with a bound Display draws the two eyes.
enum class StereoMode : int32_t {
  LeftRight = 0,   // each eye into its half of the frame
  Interlaced = 1,  // each eye into every other row
  None = 2,
};

// The bind stacks of the panorama nodes.
enum class PanoramaStack : int32_t { Vista, LegacyVista, Background };

class IViewServices {
 public:
  // With a url: follows a link. The text after a '#' names a Viewpoint to
  // bind; a url that does not end in a scene suffix goes to the host as a
  // link to open in the frame target names (null: none); a scene is loaded
  // in place of the world on screen. Null loads the pending file, if any.
  virtual void LoadWorld(const char* url, const char* target) = 0;

  // The back image's pixels (bits null when there is none), and its copy
  // into the frame that is being drawn.
  virtual PixelMap GetBackImage() const = 0;
  virtual void CopyBackImageToFrame() = 0;

  // The key of the Macintosh key code is down for this view.
  virtual bool IsKeyDown(int32_t macKeyCode) const = 0;

  // 0 arrow, 1 and 2 the view's own cursors.
  virtual void SetCursor(int32_t cursor) = 0;

  // Pushes the node onto the stack of the world on screen, or pops it when
  // it is on top (the legacy Vista stays); a pending saved camera is applied
  // to the view when the node is pushed.
  virtual void BindPanorama(CNode* node, PanoramaStack stack) = 0;

  // Tells the host that a Vista was bound or unbound. The host may destroy
  // the view inside the call; the view then stays until the engine call
  // that runs the frame returns, and says nothing more.
  virtual void ReportVistaBinding(const CNode& /*node*/, bool /*bound*/) {}

  // Seconds on the clock of the world on screen; 0 without a world.
  virtual double GetWorldTime() const = 0;

  // The stereo mode the view keeps for its frames.
  virtual void SetStereoMode(StereoMode) {}
  // Tells the host, every frame, whether the bound Display asks for the
  // full screen. The host may destroy the view while it hears it.
  virtual void ReportFullScreen(bool) {}

  // The view's camera flags; null for a view without navigation.
  virtual CameraFlags* GetCameraFlags() { return nullptr; }
  // The character typed into the view since its last tick.
  virtual TypedKey GetTypedKey() const { return {}; }

 protected:
  ~IViewServices() = default;
};

}  // namespace vx
