#include "viewer/ViewerApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "host/ComponentManager.h"
#include "host/DownloadManager.h"
#include "host/ProductRegistry.h"
#include "platform/Dialogs.h"
#include "platform/InputState.h"
#include "viewer/EngineCalls.h"
#include "viewer/MainFrame.h"
#include "viewer/ViewerDialogs.h"
#include "viewer/ViewerDoc.h"
#include "viewer/ViewerResources.h"
#include "viewer/ViewerView.h"

namespace vx::viewer {
namespace {

// Exit code of a start that ends because the engine component is missing.
constexpr int kEngineMissing = 1;

std::string AbsolutePath(const std::string& path) {
  return QFile::encodeName(QFileInfo(QFile::decodeName(path.c_str())).absoluteFilePath()).toStdString();
}

// The installation's own components, in its library folder beside the
// program's folder.
std::string InstalledComponentsFolder() {
  const QString folder = QDir(QCoreApplication::applicationDirPath()).filePath(VX_INSTALLED_COMPONENTS_DIR);
  return QFile::encodeName(QDir::cleanPath(folder)).toStdString() + "/";
}

}  // namespace

CViewerApp::CViewerApp() = default;

CViewerApp::~CViewerApp() {
  ExitInstance();
  if (managerCreated_) host::DestroyComponentManager();
  if (registry_) host::ReleaseProductRegistry();
  if (downloadsAcquired_) host::ReleaseDownloadManager();
}

bool CViewerApp::InitInstance(const std::vector<std::string>& arguments) {
  if (!StartHostRuntime()) return false;
  recentFiles_.Load();
  CreateDocumentTemplate();
  CreateEngine();
  document_->OnNewDocument();
  AcceptDroppedFiles(view_->Window(), true);
  // The window comes first, so that a world that does not open is reported
  // over it and leaves it open on the empty document.
  frame_->show();
  if (!arguments.empty()) OpenDocumentFile(arguments.front());
  // As in any frame, the keys go to the view.
  SetFocus(view_->Window());
  return true;
}

bool CViewerApp::StartHostRuntime() {
  host::AcquireDownloadManager();
  downloadsAcquired_ = true;
  registry_ = host::AcquireProductRegistry(host::HostKind::Viewer);
  managerCreated_ = true;
  if (host::CreateComponentManager(host::HostKind::Viewer, InstalledComponentsFolder()) ==
          host::kCoreComponentMissing &&
      host::ComponentManager()->EnsureCoreComponent() != host::kComponentOk) {
    exitCode_ = kEngineMissing;
    return false;
  }
  return true;
}

void CViewerApp::CreateDocumentTemplate() {
  frame_ = std::make_unique<CMainFrame>(*this);
  view_ = std::make_unique<CViewerView>(*this);
  document_ = std::make_unique<CViewerDoc>(*this, *view_);
  view_->SetDocument(document_.get());
  frame_->SetView(view_->Window());
  frame_->ShowRecentFiles(recentFiles_.Files());
}

void CViewerApp::TakeDownDocumentTemplate() {
  if (document_) document_->OnCloseDocument();
  if (frame_) frame_->ReleaseView();
  document_.reset();
  view_.reset();
  frame_.reset();
}

int CViewerApp::ExitInstance() {
  TakeDownDocumentTemplate();
  DestroyEngine();
  return exitCode_;
}

void CViewerApp::CreateEngine() {
  if (!engine_) engine_ = engine::CreateEngineInstance();
}

void CViewerApp::DestroyEngine() {
  if (engine_ && engine::DestroyEngineInstance(engine_) == EngineOk) engine_ = nullptr;
}

bool CViewerApp::OpenDocumentFile(const std::string& path) {
  if (!document_) return false;
  const std::string fullPath = AbsolutePath(path);
  if (!document_->OnOpenDocument(fullPath)) return false;
  recentFiles_.Add(fullPath);
  frame_->ShowRecentFiles(recentFiles_.Files());
  return true;
}

void CViewerApp::OpenRecentFile(size_t index) {
  if (index >= recentFiles_.Files().size()) return;
  if (OpenDocumentFile(recentFiles_.Files()[index])) return;
  recentFiles_.Remove(index);
  frame_->ShowRecentFiles(recentFiles_.Files());
}

void CViewerApp::OnCommand(int command) {
  switch (command) {
    case kCommandOpen: OnFileOpen(); break;
    case kCommandNew: OnFileNew(); break;
    case kCommandAbout: OnAppAbout(); break;
    case kCommandExit: frame_->close(); break;
    case kCommandReload: document_->OnReload(); break;
    case kCommandSaveAs: document_->OnFileSaveAs(); break;
    case kCommandUpdateComponents: document_->OnUpdateComponents(); break;
    case kCommandLoadUrl: view_->OnLoadUrl(); break;
    case kCommandMessages: document_->OnShowMessages(); break;
    default: break;
  }
}

void CViewerApp::OnFileNew() { document_->OnNewDocument(); }

void CViewerApp::OnFileOpen() {
  FileDialogRequest request;
  request.kind = FileDialogKind::kOpen;
  request.owner = view_->Window();
  request.filters = ParseFileFilters(kOpenFilter);
  request.defaultExtension = kOpenDefaultExtension;
  request.promptToOverwrite = true;
  request.promptToCreate = true;
  if (std::optional<std::string> path = ChooseFile(request)) OpenDocumentFile(*path);
}

void CViewerApp::OnAppAbout() { ShowAboutDialog(frame_.get()); }

void CViewerApp::OnFrameClosing() {
  if (document_) document_->OnCloseDocument();
}

}  // namespace vx::viewer
