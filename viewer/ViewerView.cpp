#include "viewer/ViewerView.h"

#include <algorithm>
#include <cstring>

#include "host/ComponentManager.h"
#include "platform/DeviceContext.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "viewer/EngineCalls.h"
#include "viewer/MainFrame.h"
#include "viewer/ViewerApp.h"
#include "viewer/ViewerDialogs.h"
#include "viewer/ViewerDoc.h"
#include "viewer/ViewerResources.h"

namespace vx::viewer {
namespace {

constexpr char kViewClassName[] = "VantesselViewerView";
constexpr char kDownloadComponent[] = "Vx_Download";
// What the window shows while the engine draws nothing into it.
constexpr uint32_t kBackground = 0xFFFFFF;

void RegisterViewClass(WindowProc procedure) {
  if (IsWindowClassRegistered(kViewClassName)) return;
  static_cast<void>(RegisterWindowClass({kViewClassName, procedure, CursorHandle::None}));
}

uint16_t Coordinate(int value) { return static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF)); }

template <typename Fn>
Fn DownloadSlot(int slot) {
  return reinterpret_cast<Fn>(host::GetComponentSlot(kDownloadComponent, slot));
}

// The configured home URL of the download service.
std::string HomeUrl() {
  auto fn = DownloadSlot<VxDownloadGetTextFn>(VxDownloadGetHomeUrlSlot);
  char text[VX_DOWNLOAD_TEXT_SIZE] = {};
  if (fn) fn(text);
  return std::string(text, strnlen(text, sizeof text));
}

}  // namespace

EngineRect ClientRectOf(WindowHandle window) {
  const Rect client = GetClientRect(window);
  return {{Coordinate(client.top), Coordinate(client.left), Coordinate(client.bottom), Coordinate(client.right)}};
}

CViewerView::CViewerView(CViewerApp& app) : app_(app) {
  RegisterViewClass(&CViewerView::Procedure);
  WindowDesc desc;
  desc.className = kViewClassName;
  desc.width = kFrameWidth;
  desc.height = kFrameHeight;
  desc.userData = this;
  window_ = CreateWindow(desc);
}

CViewerView::~CViewerView() {
  CancelUrlDownload();
  DestroyEngineView();
  if (app_.ActiveView() == this) app_.SetActiveView(nullptr);
  DestroyWindow(window_);
}

bool CViewerView::CreateEngineView(SceneHandle* scene) {
  const EngineRect rect = ClientRectOf(window_);
  view_ = engine::CreateView(scene, static_cast<VxWindow>(window_), rect.values, kViewFlags);
  if (!view_) return false;
  engine::SetViewFocus(view_, 1);
  InvalidateWindow(window_, false);
  return true;
}

void CViewerView::DestroyEngineView() {
  if (!view_) return;
  engine::DestroyView(view_);
  view_ = nullptr;
  InvalidateWindow(window_, true);
}

void CViewerView::OnDraw() {
  if (!document_ || !document_->Scene() || busy_) {
    Erase();
    return;
  }
  if (view_) {
    const EngineRect rect = ClientRectOf(window_);
    engine::SetViewRect(view_, rect.values);
    engine::TickView(view_);
  } else {
    Erase();
  }
  StartTicking();
  app_.SetActiveView(this);
}

void CViewerView::Tick() {
  if (app_.NetworkPumpOn()) engine::PollDownloads(app_.Engine());
  if (view_) engine::TickView(view_);
}

void CViewerView::OnLoadUrl() {
  const std::string proposed = app_.Engine() ? HomeUrl() : std::string();
  if (std::optional<std::string> url = AskForUrl(app_.Frame(), proposed)) StartUrlLoad(*url);
}

void CViewerView::StartUrlLoad(const std::string& url) {
  CancelUrlDownload();
  urlCallback_ = {this, &CViewerView::OnUrlDownloaded};
  int32_t slot = -1;
  if (engine::StartEngineDownload(app_.Engine(), url.c_str(), &urlCallback_, &slot) != EngineOk || slot < 0) {
    ShowError(window_, kDownloadFailedText);
    return;
  }
  downloadSlot_ = slot;
  StartTicking();
}

void CViewerView::CancelUrlDownload() {
  if (downloadSlot_ < 0) return;
  cancelling_ = true;
  if (auto cancel = DownloadSlot<VxDownloadCancelFn>(VxDownloadCancelSlot)) cancel(downloadSlot_);
  cancelling_ = false;
  downloadSlot_ = -1;
}

void CViewerView::OnUrlDownloaded(int32_t event, DownloadRequest* request, void* user) {
  auto* view = static_cast<CViewerView*>(user);
  if (event != VX_DOWNLOAD_EVENT || !request || view->cancelling_) return;
  view->downloadSlot_ = -1;
  view->app_.SetNetworkPump(false);
  if (request->state == DownloadDone)
    view->LoadDownloadedScene(*request);
  else
    ShowError(view->window_, kDownloadFailedText);
  view->app_.SetNetworkPump(true);
}

void CViewerView::LoadDownloadedScene(const DownloadRequest& request) {
  if (!document_) return;
  document_->LoadDownloadedScene(std::string(request.url, strnlen(request.url, sizeof request.url)),
                                 std::string(request.localPath, strnlen(request.localPath, sizeof request.localPath)));
}

void CViewerView::OnDropFiles(DropHandle drop) {
  // Each file would replace the one before it: the last one stays open.
  const int count = DroppedFileCount(drop);
  const std::string last = count > 0 ? DroppedFile(drop, count - 1) : std::string();
  FinishDrop(drop);
  if (!last.empty()) app_.OpenDocumentFile(last);
}

void CViewerView::StartTicking() { SetTimer(window_, kTickTimerId, kTickIntervalMs); }

void CViewerView::Erase() {
  WindowDC dc(window_);
  static_cast<void>(FillRect(dc, GetClientRect(window_), kBackground));
}

intptr_t CViewerView::Procedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  auto* view = static_cast<CViewerView*>(GetWindowUserData(window));
  if (!view || view->window_ != window) return DefWindowProc(window, message, wParam, lParam);
  return view->Handle(message, wParam, lParam);
}

intptr_t CViewerView::Handle(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kMsgPaint:
      OnDraw();
      return 0;
    case kMsgTimer:
      if (wParam == kTickTimerId) Tick();
      break;
    case kMsgLButtonDown:
      if (view_) engine::ViewMouseDown(view_);
      break;
    case kMsgLButtonUp:
      if (view_) engine::ViewMouseUp(view_);
      break;
    case kMsgDropFiles:
      OnDropFiles(static_cast<DropHandle>(wParam));
      return 0;
    case kMsgClose:
      return 0;  // the frame closes the program, never the view alone
    default:
      break;
  }
  return DefWindowProc(window_, message, wParam, lParam);
}

}  // namespace vx::viewer
