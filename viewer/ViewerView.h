// CViewerView: the window into which the engine draws the document's scene.
//
// It is a window of the platform layer (the Qt backend shows it as the
// frame's central widget). Its timer drives the engine, at most once a frame
// of the screen: each tick pumps the downloads and then ticks the engine's
// view (world time, sensors, drawing when something changed, the command
// link). While the view has nothing to draw the timer waits for its next
// due frame, and input to the view wakes it; in between the program sleeps,
// unless downloads are under way. Button presses and
// releases go to the engine's view, the engine reads the pointer and keys
// itself, and files dropped onto it are opened as documents. Load URL
// downloads a scene through the engine and opens it when it has arrived.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "vantessel/Engine.h"

namespace vx::viewer {

class CViewerApp;
class CViewerDoc;

class CViewerView {
 public:
  explicit CViewerView(CViewerApp& app);
  ~CViewerView();
  CViewerView(const CViewerView&) = delete;
  CViewerView& operator=(const CViewerView&) = delete;

  WindowHandle Window() const { return window_; }
  ViewHandle* View() const { return view_; }
  void SetDocument(CViewerDoc* document) { document_ = document; }

  // While busy (a document is being opened) the view draws nothing.
  bool IsBusy() const { return busy_; }
  void SetBusy(bool busy) { busy_ = busy; }

  // Makes the engine's view of `scene` in this window, over its whole client
  // area, and gives it the focus. False when the engine made none.
  bool CreateEngineView(SceneHandle* scene);
  void DestroyEngineView();

  // Shows the scene: the engine's view takes the window's size and draws,
  // and the tick timer runs from now on. Without a scene the window is
  // cleared.
  void OnDraw();
  // Pumps the downloads (unless the pump is off), then ticks the view.
  void Tick();

  // Asks for a URL and loads the scene it names.
  void OnLoadUrl();
  // Starts downloading url; the scene opens when it has arrived. A URL that
  // cannot be fetched at all is reported at once.
  void StartUrlLoad(const std::string& url);
  // Fetches url from its server again, past the cache, into a file beside
  // localCopy, which it replaces once it has arrived whole; then the scene
  // opens from it.
  void StartReload(const std::string& url, const std::string& localCopy);
  bool IsDownloading() const { return download_.slot >= 0; }

 private:
  // The world being downloaded.
  struct WorldDownload {
    int32_t slot = -1;
    std::string replaces;  // the local copy a reload brings up to date; empty for Load URL
  };

  static intptr_t Procedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
  intptr_t Handle(uint32_t message, uintptr_t wParam, intptr_t lParam);
  void Watch(int32_t slot, const std::string& url, std::string replaces);
  static void OnUrlDownloaded(int32_t event, DownloadRequest* request, void* view);
  void LoadDownloadedScene(const DownloadRequest& request, const std::string& replaces);
  void CancelUrlDownload();
  void PumpDownloads();
  void PollDownloadsBetweenFrames(bool on);
  void OnDropFiles(DropHandle drop);
  uint32_t FrameInterval() const;
  // Ticks once a frame from now on.
  void StartTicking();
  // Back to ticking once a frame when the timer waits longer.
  void WakeTicking();
  void SetTickInterval(uint32_t interval);
  void Erase();

  CViewerApp& app_;
  CViewerDoc* document_ = nullptr;
  WindowHandle window_ = WindowHandle::None;
  ViewHandle* view_ = nullptr;
  WorldDownload download_;
  bool busy_ = false;
  bool cancelling_ = false;
  DownloadCallback urlCallback_{};
  uint32_t tickIntervalMs_ = 0;  // 0 until the tick timer runs
  bool pollingDownloads_ = false;
};

// The view window's client area as the engine takes it: top, left, bottom,
// right.
struct EngineRect {
  uint16_t values[4];
};
EngineRect ClientRectOf(WindowHandle window);

// From now on the download cache serves nothing before it was fetched
// afresh (Load URL and Reload).
void RefreshFromServer();

}  // namespace vx::viewer
