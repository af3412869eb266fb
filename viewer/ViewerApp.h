// CViewerApp: the viewer program. It starts the host runtime and the engine
// in order (the engine from the user's Components folder, else from the
// installation's own), makes the frame, the view and the document, opens the
// document of the command line (or an empty one), carries the application's
// commands, and at the end takes everything down in reverse order. The view
// ticks the engine itself, once a frame.
//
// One per process, made after the QApplication and the Qt backend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "viewer/RecentFileList.h"
#include "vantessel/Engine.h"

namespace vx::host {
class CProductRegistry;
}

namespace vx::viewer {

class CMainFrame;
class CViewerDoc;
class CViewerView;

class CViewerApp {
 public:
  CViewerApp();
  // Ends what ExitInstance has not, then the component manager, the
  // product registry and the download manager.
  ~CViewerApp();
  CViewerApp(const CViewerApp&) = delete;
  CViewerApp& operator=(const CViewerApp&) = delete;

  // Start-up. False when the program must end at once because the engine
  // component stays missing; ExitCode() is then 1. A command line's world
  // that does not open is reported and leaves the empty document.
  bool InitInstance(const std::vector<std::string>& arguments);
  int ExitCode() const { return exitCode_; }
  // Closes the document and destroys the engine instance; the exit code.
  int ExitInstance();

  EngineInstance* Engine() const { return engine_; }
  void CreateEngine();
  void DestroyEngine();

  host::CProductRegistry* ProductRegistry() const { return registry_; }
  CMainFrame* Frame() const { return frame_.get(); }
  CViewerDoc* Document() const { return document_.get(); }
  CViewerView* View() const { return view_.get(); }
  const RecentFileList& RecentFiles() const { return recentFiles_; }

  // Opens the file (made an absolute path) as the document; on success it
  // heads the recent-file list.
  bool OpenDocumentFile(const std::string& path);
  // Opens recent file `index`; one that no longer opens leaves the list.
  void OpenRecentFile(size_t index);
  void OnCommand(int command);
  void OnFileNew();
  void OnFileOpen();
  void OnAppAbout();
  // The frame is closing: the document goes first.
  void OnFrameClosing();

  // Downloads are pumped by the ticks only while this is on; it is off
  // while a download callback runs and during a component update.
  bool NetworkPumpOn() const { return networkPump_; }
  void SetNetworkPump(bool on) { networkPump_ = on; }

 private:
  bool StartHostRuntime();
  void CreateDocumentTemplate();
  void TakeDownDocumentTemplate();

  bool downloadsAcquired_ = false;
  host::CProductRegistry* registry_ = nullptr;
  bool managerCreated_ = false;
  int exitCode_ = 0;
  EngineInstance* engine_ = nullptr;
  RecentFileList recentFiles_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<CViewerView> view_;
  std::unique_ptr<CViewerDoc> document_;
  bool networkPump_ = true;
};

}  // namespace vx::viewer
