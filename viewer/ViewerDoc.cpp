#include "viewer/ViewerDoc.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "host/ComponentManager.h"
#include "host/Compression.h"
#include "host/ProductRegistry.h"
#include "host/ProgressWindow.h"
#include "platform/Dialogs.h"
#include "platform/Numbers.h"
#include "platform/Path.h"
#include "viewer/EngineCalls.h"
#include "viewer/MainFrame.h"
#include "viewer/ViewerApp.h"
#include "viewer/ViewerDialogs.h"
#include "viewer/ViewerResources.h"
#include "viewer/ViewerView.h"

namespace vx::viewer {
namespace {

// Marks the view busy for one scope, so that it draws nothing meanwhile.
class BusyView {
 public:
  explicit BusyView(CViewerView& view) : view_(view) { view_.SetBusy(true); }
  ~BusyView() { view_.SetBusy(false); }
  BusyView(const BusyView&) = delete;
  BusyView& operator=(const BusyView&) = delete;

 private:
  CViewerView& view_;
};

bool EndsWithNoCase(std::string_view text, std::string_view lowerSuffix) {
  if (text.size() < lowerSuffix.size()) return false;
  const std::string_view end = text.substr(text.size() - lowerSuffix.size());
  return std::equal(end.begin(), end.end(), lowerSuffix.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// The filter the proposed name belongs to, and the extension a typed name
// without one is given.
SaveKind SaveKindOf(const std::string& name) {
  for (const SaveKind& kind : kSaveKinds) {
    if (EndsWithNoCase(name, std::string(".") + kind.extension)) return kind;
  }
  return kSaveKinds[0];
}

}  // namespace

std::string ProposedSaveName(const std::string& source) {
  std::string name = path::FileNameOf(source.substr(0, source.find_first_of("?#")));
  if (EndsWithNoCase(name, kGzipSuffix)) name.resize(name.size() - kGzipSuffix.size());
  return name.empty() ? std::string(kSaveDefaultName) : name;
}

CViewerDoc::CViewerDoc(CViewerApp& app, CViewerView& view) : app_(app), view_(view) {}

CViewerDoc::~CViewerDoc() { DestroySceneAndView(); }

bool CViewerDoc::OnOpenDocument(const std::string& path) {
  BusyView busy(view_);
  SceneHandle* scene = LoadScene(path, path);
  if (!scene) return false;
  ReplaceScene(scene);
  path_ = path;
  url_.clear();
  SetTitle(path::FileNameOf(path));
  return true;
}

bool CViewerDoc::OnNewDocument() {
  DestroySceneAndView();
  path_.clear();
  url_.clear();
  SetTitle(kUntitled);
  return true;
}

void CViewerDoc::OnCloseDocument() { DestroySceneAndView(); }

void CViewerDoc::OnReload() {
  if (path_.empty()) return;
  RefreshFromServer();
  // The local copy of a world from a server is what the server sent last
  // time; an author reloads to see the server's new one.
  if (!url_.empty()) {
    view_.StartReload(url_, path_);
    return;
  }
  SceneHandle* scene = LoadScene(path_, path_);
  if (!scene) return;
  ReplaceScene(scene);
}

void CViewerDoc::OnFileSaveAs() {
  if (!scene_) return;
  FileDialogRequest request;
  request.kind = FileDialogKind::kSave;
  request.owner = view_.Window();
  request.filters = ParseFileFilters(kSaveFilter);
  request.fileName = ProposedSaveName(url_.empty() ? path_ : url_);
  const SaveKind kind = SaveKindOf(request.fileName);
  request.selectedFilter = kind.filter;
  request.defaultExtension = kind.extension;
  request.hideReadOnly = true;
  request.promptToOverwrite = true;
  if (std::optional<std::string> path = ChooseFile(request)) SaveAs(*path);
}

// A name ending ".gz" gets the world gzip-compressed: written plain under a
// name of its own beside it, packed, and only then put in the chosen
// file's place, so that a failure leaves the chosen file as it was.
bool CViewerDoc::SaveAs(const std::string& path) {
  const bool gzip = EndsWithNoCase(path, kGzipSuffix);
  const std::string written = gzip ? path + kGzipStagingSuffix : path;
  bool saved =
      written.size() < VX_TEXT_BUFFER_SIZE && engine::SaveSceneFile(scene_, written.c_str(), kSaveFlag) == EngineOk;
  if (saved && gzip) {
    const std::string packed = written + std::string(kGzipSuffix);
    std::error_code error;
    saved = host::CompressFile(written.c_str()) == 0;
    if (saved) std::filesystem::rename(packed, path, error);
    saved = saved && !error;
    std::filesystem::remove(written, error);
    std::filesystem::remove(packed, error);
  }
  if (saved) return true;
  ShowError(view_.Window(), FormatString(kSaveFailedText, path.c_str()));
  return false;
}

uint32_t CViewerDoc::MessageCount() const {
  uint32_t count = 0;
  if (!scene_ || engine::GetSceneMessage(scene_, 0, nullptr, &count) != EngineOk) return 0;
  return count;
}

std::vector<std::string> CViewerDoc::KeptMessages() const {
  std::vector<std::string> messages;
  const uint32_t kept = std::min<uint32_t>(MessageCount(), VX_SCENE_MESSAGES_KEPT);
  for (uint32_t index = 0; index < kept; ++index) {
    char text[VX_TEXT_BUFFER_SIZE] = {};
    uint32_t count = 0;
    if (engine::GetSceneMessage(scene_, index, text, &count) != EngineOk) break;
    messages.emplace_back(text, strnlen(text, sizeof text));
  }
  return messages;
}

void CViewerDoc::OnShowMessages() {
  const std::vector<std::string> messages = KeptMessages();
  std::string text;
  for (const std::string& message : messages) text += message + "\n";
  const uint32_t count = MessageCount();
  if (count > messages.size()) text += FormatString(kMoreMessagesText, count - static_cast<uint32_t>(messages.size()));
  ShowMessageBox({view_.Window(), text.empty() ? kNoMessagesText : text, kMessagesTitle, MessageBoxButtons::kOk,
                  MessageBoxIcon::kNone});
}

void CViewerDoc::OnUpdateComponents() {
  if (scene_ && host::CProgressWindow::Query(kUpdateUnloadsQuery) != host::kQueryYes) return;
  DestroySceneAndView();
  app_.DestroyEngine();
  InvalidateWindow(view_.Window(), true);
  // The update pumps the window messages while it waits for the server; no
  // command may start meanwhile.
  CMainFrame* frame = app_.Frame();
  if (frame) frame->SetCommandsEnabled(false);
  app_.SetNetworkPump(false);
  host::CProductRegistry* registry = app_.ProductRegistry();
  host::CComponentManager* manager = host::ComponentManager();
  const bool updated = registry && manager && registry->CheckShellVersion() != 0 && manager->UpdateComponents(1) != 0;
  if (!updated) host::CProgressWindow::Notify(kUpdateFailedText);
  app_.SetNetworkPump(true);
  if (frame) frame->SetCommandsEnabled(true);
  app_.CreateEngine();
  // The world shown before comes back from its local file, drawn by the new
  // engine.
  if (path_.empty()) return;
  if (SceneHandle* scene = LoadScene(path_, url_.empty() ? path_ : url_)) ReplaceScene(scene);
}

bool CViewerDoc::LoadDownloadedScene(const std::string& url, const std::string& localPath) {
  SceneHandle* scene = LoadScene(localPath, url);
  if (!scene) return false;
  ReplaceScene(scene);
  url_ = url;
  path_ = localPath;
  SetTitle(url);
  return true;
}

SceneHandle* CViewerDoc::LoadScene(const std::string& path, const std::string& shownName) {
  char error[VX_TEXT_BUFFER_SIZE] = {};
  // The engine reads the path from a buffer of its own size; a longer one
  // would name another file once cut.
  if (path.empty() || path.size() >= VX_TEXT_BUFFER_SIZE) {
    ShowError(view_.Window(), ErrorAbout(shownName, kCannotOpenText));
    return nullptr;
  }
  SceneHandle* scene = engine::CreateScene(app_.Engine());
  // A downloaded world is known by its URL, not by its copy in the cache,
  // whose name keeps only the URL's last characters: the URL decides how
  // the world is drawn.
  if (scene && shownName != path) engine::SetSceneUrl(scene, shownName.c_str());
  char buffer[VX_TEXT_BUFFER_SIZE] = {};
  std::memcpy(buffer, path.data(), path.size());
  if (scene && engine::LoadSceneFile(scene, buffer, error) == EngineOk) return scene;
  if (scene) engine::DestroyScene(scene);
  error[VX_TEXT_BUFFER_SIZE - 1] = '\0';
  ShowError(view_.Window(), ErrorAbout(shownName, error[0] ? error : kCannotOpenText));
  return nullptr;
}

// The old scene goes only once the new one has loaded, so that a file that
// does not load loses nothing of the world shown.
void CViewerDoc::ReplaceScene(SceneHandle* scene) {
  DestroySceneAndView();
  scene_ = scene;
  view_.CreateEngineView(scene_);
}

void CViewerDoc::DestroySceneAndView() {
  view_.DestroyEngineView();
  if (!scene_) return;
  engine::DestroyScene(scene_);
  scene_ = nullptr;
}

void CViewerDoc::SetTitle(const std::string& title) {
  title_ = title;
  if (CMainFrame* frame = app_.Frame()) frame->ShowDocumentTitle(title_);
}

}  // namespace vx::viewer
