// The world runtime of one loaded scene: it owns the scene of its main file
// and holds what a world on screen needs besides: the bind stacks of the
// bindable nodes, the world clock and frame rate, the screen overlays of the
// frame, and the frame that draws it all into a view.
//
// The bodies of PROTO instances and inlined files are scenes of their own that
// run on the world of the scene they sit in, so their nodes share its clock.
// Per-frame services (overlays, the frame rate, the bound nodes a frame uses)
// belong to the world of the view: reach it through CViewContext::GetWorld().
//
// The bind stacks never keep a node alive: the NavigationInfo, Display and
// Fog stacks hold counted references that a reset clears, the others weak
// references that read null once their node is gone.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/render/PixelMap.h"
#include "engine/scene/Node.h"
#include "engine/scene/Scene.h"
#include "engine/world/WorldConvention.h"
#include "engine/world/WorldLimits.h"

namespace vx {

class CPassBudget;
class CViewContext;

// One screen image of a frame: the part of the element's image shown, the
// part of the frame it covers, its key colour, the node that made it and its
// layer (larger layers are drawn first).
struct OverlayEntry {
  PixelMap source;
  PixelMap destination;
  FloatColor keyColor;
  int16_t chromaKey = 0;
  CNode* node = nullptr;  // compared only, never followed
  int32_t layer = 0;
};

class CBrowser {
 public:
  // A world read without a name follows the standard's convention.
  CBrowser() : CBrowser(WorldConvention::kStandard) {}
  explicit CBrowser(WorldConvention convention);
  ~CBrowser();
  CBrowser(const CBrowser&) = delete;
  CBrowser& operator=(const CBrowser&) = delete;

  // Fixed by the name the world was loaded under (ConventionOfWorldName).
  WorldConvention GetConvention() const { return convention_; }

  // The scene of the world's main file.
  CScene& GetScene() { return scene_; }
  const CScene& GetScene() const { return scene_; }

  // What the hosts and the engine interface ask of the main file's scene.
  void SetWorldUrl(std::string_view url) { scene_.SetWorldUrl(url); }
  const std::string& GetWorldUrl() const { return scene_.GetWorldUrl(); }
  void SetWorldDirectory(std::string_view path) { scene_.SetWorldDirectory(path); }
  const std::string& GetWorldDirectory() const { return scene_.GetWorldDirectory(); }
  CGroupNode* GetRoot() const { return scene_.GetRoot(); }
  const CNodeRef& GetRootRef() const { return scene_.GetRootRef(); }
  CNode* FindNode(std::string_view defName) { return scene_.FindNode(defName); }

  // Tops of the bind stacks (looked through a PROTO instance for the counted
  // stacks), null when empty.
  CNode* GetNavigationInfo() const { return TopOf(navigationInfos_); }
  CNode* GetDisplay() const { return TopOf(displays_); }
  CNode* GetFog() const { return TopOf(fogs_); }
  CNode* GetViewpoint() const { return TopOf(viewpoints_); }
  CNode* GetLegacyVista() const { return TopOf(legacyVistas_); }
  CNode* GetVista() const { return TopOf(vistas_); }
  CNode* GetBackground() const { return TopOf(backgrounds_); }
  // The bound node of a bindable type id (Vista: the Vista, else the legacy
  // Vista); null for other ids.
  CNode* GetBoundNode(NodeTypeId type) const;

  // A null node binds nothing.
  // on: the node goes on top (the oldest drops out of a full stack); off: it
  // is popped when it is on top. No events.
  void BindNavigationInfo(CNode* node, bool on) { BindSimple(navigationInfos_, node, on); }
  void BindDisplay(CNode* node, bool on) { BindSimple(displays_, node, on); }
  void BindFog(CNode* node, bool on) { BindSimple(fogs_, node, on); }
  // Moves the node to the top (on) or takes it out (off), sending isBound and
  // bindTime to the nodes whose binding changes. A node taken out gets the
  // next frame's pass before the bound one, so that it can give the camera
  // back.
  void BindViewpoint(CNode* node, bool on);
  // A node that is not on top is pushed, and a pending saved camera is
  // applied to the view; the top node is popped (the Vista and Background
  // stacks) or stays (the legacy Vista stack).
  void BindVista(CNode* node, CViewContext* view) { BindPanorama(vistas_, vistaActive_, node, view, true); }
  void BindBackground(CNode* node, CViewContext* view) {
    BindPanorama(backgrounds_, backgroundActive_, node, view, true);
  }
  void BindLegacyVista(CNode* node, CViewContext* view) {
    BindPanorama(legacyVistas_, legacyVistaActive_, node, view, false);
  }
  // A Background asked to bind: the next frame hands it its pass before the
  // scene wherever it stands, also where no traversal reaches it (an
  // inactive Switch choice), and it binds and draws there.
  void RequestBackgroundBind(CNode* node);
  // Takes a deactivated legacy Vista off its stack wherever it stands, so
  // that no frame draws or asks its panorama, which went with it.
  void UnbindLegacyVista(const CNode* node);
  bool IsLegacyVistaActive() const { return legacyVistaActive_; }
  bool IsVistaActive() const { return vistaActive_; }
  bool IsBackgroundActive() const { return backgroundActive_; }

  // Set by the node factory when it makes a legacy Vista; cleared by a reset.
  void SetLegacyPanorama(bool on) { legacyPanorama_ = on; }
  bool IsLegacyPanorama() const { return legacyPanorama_; }

  // A camera for the first panorama that the world (or the next world after
  // a reset) binds.
  void SaveCamera(float pitch, float yaw, float roll, float fieldOfView);
  bool IsCameraSaved() const { return savedCameraPending_; }

  // Empties the world for another scene, read under the given convention.
  // The base directory, the clocks and a saved camera stay.
  void ResetScene(WorldConvention convention);

  // Restarts the frame counter and the world clock.
  void ResetClock();
  // Seconds since the last ResetClock.
  double GetWorldTime() const;
  void ResetFrameCounter();
  // Frames per second since the counter was reset; 15 until 15 frames have
  // been counted.
  double GetFrameRate() const;
  int32_t GetFrameCount() const { return frameCount_; }
  // Counts every frame drawn, from 1; never reset, so a pass handed in one
  // frame is never mistaken for one of a later frame.
  uint64_t GetFrameNumber() const { return frameNumber_; }

  // Inserted after the entries of larger or equal layer; ignored when the
  // list is full. The list is emptied at the start of every frame.
  void AddOverlay(const OverlayEntry& entry);
  void RemoveOverlay(const CNode* node);
  std::span<const OverlayEntry> GetOverlays() const { return overlays_; }

  // Attaches the world to the view; pass 0 draws a whole frame, other passes
  // go to the scene.
  void RenderView(RenderPass pass, CViewContext* view);
  // Draws the world into the view's frame: the background, the scene, the
  // overlays; then the pointer goes to the nodes under it.
  void RenderFrame(CViewContext* view);

 private:
  void RenderFrameWithin(CViewContext* view);
  // The world's error text says once that a pass left something out.
  void NoteIfCut(const CPassBudget& budget);
  static CNode* TopOf(const std::vector<CNodeRef>& stack);
  static CNode* TopOf(const std::vector<CNodeWeakRef>& stack);
  static void BindSimple(std::vector<CNodeRef>& stack, CNode* node, bool on);
  static void PushDroppingOldest(std::vector<CNodeWeakRef>& stack, CNode* node);
  void BindPanorama(std::vector<CNodeWeakRef>& stack, bool& active, CNode* node, CViewContext* view, bool popTop);
  void SendBinding(CNode* node, bool bound, double time);
  void SetCamera(CViewContext* view);
  void DrawBackground(CViewContext* view);
  // Hands each Background asked to bind its frame pass; the last one visited,
  // held for the caller, or none.
  CNodeRef BindWaitingBackgrounds(CViewContext* view);
  void ApplyFog(CViewContext* view);
  void DrawScene(CViewContext* view);
  void DrawSceneInStereo(CViewContext* view, CNode* display);
  void DrawOverlays(CViewContext* view) const;

  // Before the scene, which hands links to the world on to its nodes' scenes.
  LinkAnchor<CBrowser> anchor_{this};
  CScene scene_{anchor_.Link()};
  WorldConvention convention_;
  std::vector<CNodeRef> navigationInfos_;
  std::vector<CNodeRef> displays_;
  std::vector<CNodeRef> fogs_;
  std::vector<CNodeWeakRef> viewpoints_;
  std::vector<CNodeWeakRef> unboundViewpoints_;
  std::vector<CNodeWeakRef> legacyVistas_;
  std::vector<CNodeWeakRef> vistas_;
  std::vector<CNodeWeakRef> backgrounds_;
  std::vector<CNodeWeakRef> waitingBackgrounds_;
  int64_t clockStartMs_ = -1;
  int64_t frameRateStartMs_ = 0;
  int32_t frameCount_ = 0;
  uint64_t frameNumber_ = 0;
  bool legacyVistaActive_ = false;
  bool vistaActive_ = false;
  bool savedCameraPending_ = false;
  bool backgroundActive_ = false;
  float savedFieldOfView_ = kInitialSavedFieldOfView;
  float savedYaw_ = 0.0f;
  float savedPitch_ = 0.0f;
  float savedRoll_ = 0.0f;
  std::vector<OverlayEntry> overlays_;
  bool legacyPanorama_ = false;
  bool passCutNoted_ = false;
};

}  // namespace vx
