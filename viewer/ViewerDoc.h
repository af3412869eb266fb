// CViewerDoc: the document, one engine scene with the file and URL it came
// from. Opening, reloading, loading from a URL and a new document replace
// the scene and the view's engine view together; Save As writes the scene
// as a scene file; Update Components unloads the scene and the engine
// instance, updates the component libraries, makes a new instance and opens
// the world again from its local file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vantessel/Engine.h"

namespace vx::viewer {

class CViewerApp;
class CViewerView;

// The name Save As proposes for the world from source (its URL or path):
// the world's own, without a query, a Viewpoint part or a final ".gz" (the
// world is written plain unless the user asks for gzip).
std::string ProposedSaveName(const std::string& source);

class CViewerDoc {
 public:
  CViewerDoc(CViewerApp& app, CViewerView& view);
  ~CViewerDoc();
  CViewerDoc(const CViewerDoc&) = delete;
  CViewerDoc& operator=(const CViewerDoc&) = delete;

  SceneHandle* Scene() const { return scene_; }
  // The local file of the scene, and the URL it came from (empty for local
  // files).
  const std::string& Path() const { return path_; }
  const std::string& Url() const { return url_; }
  const std::string& Title() const { return title_; }

  // Every load goes into a new scene, which replaces the old scene and view
  // only once it has loaded. On failure the file's name (or URL) and the
  // engine's reason are shown, and the old scene stays.
  bool OnOpenDocument(const std::string& path);
  // An empty document: no scene, no view.
  bool OnNewDocument();
  void OnCloseDocument();
  // Loads the kept file again; a world that came from a server is fetched
  // from the server again.
  void OnReload();
  // Asks for a file name and writes the scene there.
  void OnFileSaveAs();
  void OnUpdateComponents();

  // The scene of a finished URL download; on success the document keeps
  // the URL and the local copy.
  bool LoadDownloadedScene(const std::string& url, const std::string& localPath);

  // The notes of the scene's world: how many there were, and the ones the
  // engine keeps.
  uint32_t MessageCount() const;
  std::vector<std::string> KeptMessages() const;
  // Lists them in a box.
  void OnShowMessages();

  // Writes the scene to path; false (after telling the user) when it could
  // not be written.
  bool SaveAs(const std::string& path);

 private:
  // A new scene loaded from path, or null after the error was shown under
  // shownName (the file, or the URL it came from, which then names the
  // scene).
  SceneHandle* LoadScene(const std::string& path, const std::string& shownName);
  void ReplaceScene(SceneHandle* scene);
  void DestroySceneAndView();
  void SetTitle(const std::string& title);

  CViewerApp& app_;
  CViewerView& view_;
  SceneHandle* scene_ = nullptr;
  std::string path_;
  std::string url_;
  std::string title_;
};

}  // namespace vx::viewer
