#include "viewer/ViewerView.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/ComponentManager.h"
#include "host/DownloadManager.h"
#include "platform/DeviceContext.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/Numbers.h"
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
// A reload arrives under the local copy's name with this added (a name the
// cache cleans up after a run that was cut short), and replaces the copy
// only once it is whole.
constexpr char kReloadSuffix[] = ".new";
constexpr int32_t kHttpOk = 200;

std::string TextOf(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

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
  return TextOf(text, sizeof text);
}

// Milliseconds from one tick to the next: never more ticks than the screen
// shows frames. A refresh rate the screen does not know counts as the
// default.
uint32_t FrameIntervalMs(double refreshHz) {
  if (!(refreshHz >= 1.0)) refreshHz = kDefaultRefreshHz;
  return static_cast<uint32_t>(std::ceil(1000.0 / refreshHz));
}

}  // namespace

// The user asked for the world itself: what the cache holds of it and of
// what it names may be out of date.
void RefreshFromServer() {
  if (host::CDownloadManager* downloads = host::GetDownloadManager()) downloads->RefreshFromServer();
}

namespace {

bool DownloadsRunning() {
  const host::CDownloadManager* downloads = host::GetDownloadManager();
  return downloads && downloads->ActiveCount() > 0;
}

// What a failed download's box says under the address.
std::string DownloadFailure(int32_t slot) {
  const host::CDownloadManager* downloads = host::GetDownloadManager();
  if (downloads && !downloads->FailureTextOf(slot).empty()) return downloads->FailureTextOf(slot);
  const int32_t status = downloads ? downloads->HttpStatusOf(slot) : 0;
  if (status == 0) return kNoAnswerText;
  if (status == kHttpOk) return kIncompleteBodyText;
  return FormatString(kHttpStatusText, status);
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
}

void CViewerView::Tick() {
  PumpDownloads();
  if (view_) engine::TickView(view_);
  if (CMainFrame* frame = app_.Frame(); frame && document_) frame->ShowWarningCount(document_->MessageCount());
  // The view may have gone in a callback of its tick.
  const uint32_t delay = view_ ? engine::GetViewTickDelay(view_) : kRestingTickMs;
  SetTickInterval(std::clamp(delay, FrameInterval(), kRestingTickMs));
}

void CViewerView::PumpDownloads() {
  if (app_.NetworkPumpOn()) engine::PollDownloads(app_.Engine());
  PollDownloadsBetweenFrames(DownloadsRunning());
}

void CViewerView::PollDownloadsBetweenFrames(bool on) {
  if (on == pollingDownloads_) return;
  pollingDownloads_ = on;
  if (on)
    SetTimer(window_, kDownloadTimerId, kDownloadPollMs);
  else
    KillTimer(window_, kDownloadTimerId);
}

void CViewerView::OnLoadUrl() {
  const std::string proposed = app_.Engine() ? HomeUrl() : std::string();
  if (std::optional<std::string> url = AskForUrl(app_.Frame(), proposed)) StartUrlLoad(*url);
}

void CViewerView::StartUrlLoad(const std::string& url) {
  CancelUrlDownload();
  RefreshFromServer();
  urlCallback_ = {this, &CViewerView::OnUrlDownloaded};
  int32_t slot = -1;
  if (engine::StartEngineDownload(app_.Engine(), url.c_str(), &urlCallback_, &slot) != EngineOk) slot = -1;
  Watch(slot, url, {});
}

void CViewerView::StartReload(const std::string& url, const std::string& localCopy) {
  CancelUrlDownload();
  urlCallback_ = {this, &CViewerView::OnUrlDownloaded};
  auto startTo = DownloadSlot<VxDownloadStartToFn>(VxDownloadStartToSlot);
  const std::string staged = localCopy + kReloadSuffix;
  Watch(startTo ? startTo(url.c_str(), staged.c_str(), &urlCallback_, 0) : -1, url, localCopy);
}

void CViewerView::Watch(int32_t slot, const std::string& url, std::string replaces) {
  if (slot < 0) {
    ShowError(window_, ErrorAbout(url, kDownloadFailedText));
    return;
  }
  download_ = {slot, std::move(replaces)};
  StartTicking();
  PollDownloadsBetweenFrames(true);
}

void CViewerView::CancelUrlDownload() {
  if (download_.slot < 0) return;
  cancelling_ = true;
  if (auto cancel = DownloadSlot<VxDownloadCancelFn>(VxDownloadCancelSlot)) cancel(download_.slot);
  cancelling_ = false;
  download_ = {};
}

void CViewerView::OnUrlDownloaded(int32_t event, DownloadRequest* request, void* user) {
  auto* view = static_cast<CViewerView*>(user);
  if (event != VX_DOWNLOAD_EVENT || !request || view->cancelling_) return;
  const std::string replaces = std::move(view->download_.replaces);
  view->download_ = {};
  view->app_.SetNetworkPump(false);
  if (request->state == DownloadDone) {
    view->LoadDownloadedScene(*request, replaces);
  } else {
    ShowError(view->window_, ErrorAbout(TextOf(request->url, sizeof request->url),
                                        std::string(kDownloadFailedText) + "\n" + DownloadFailure(request->slot)));
  }
  view->app_.SetNetworkPump(true);
}

void CViewerView::LoadDownloadedScene(const DownloadRequest& request, const std::string& replaces) {
  std::string localPath = TextOf(request.localPath, sizeof request.localPath);
  if (!replaces.empty()) {
    std::error_code error;
    std::filesystem::rename(localPath, replaces, error);
    if (!error) localPath = replaces;
  }
  if (document_) static_cast<void>(document_->LoadDownloadedScene(TextOf(request.url, sizeof request.url), localPath));
}

void CViewerView::OnDropFiles(DropHandle drop) {
  // Each file would replace the one before it: the last one stays open.
  const int count = DroppedFileCount(drop);
  const std::string last = count > 0 ? DroppedFile(drop, count - 1) : std::string();
  FinishDrop(drop);
  if (!last.empty()) app_.OpenDocumentFile(last);
}

uint32_t CViewerView::FrameInterval() const {
  const CMainFrame* frame = app_.Frame();
  return FrameIntervalMs(frame ? frame->RefreshRate() : 0.0);
}

void CViewerView::StartTicking() { SetTickInterval(FrameInterval()); }

// Only a timer that runs slower than frames is woken: setting it again would
// put the next tick back by a whole frame.
void CViewerView::WakeTicking() {
  if (tickIntervalMs_ > FrameInterval()) StartTicking();
}

void CViewerView::SetTickInterval(uint32_t interval) {
  if (interval == tickIntervalMs_) return;
  tickIntervalMs_ = interval;
  SetTimer(window_, kTickTimerId, interval);
}

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
      if (wParam == kDownloadTimerId) PumpDownloads();
      break;
    case kMsgLButtonDown:
      WakeTicking();
      if (view_) engine::ViewMouseDown(view_);
      break;
    case kMsgLButtonUp:
      WakeTicking();
      if (view_) engine::ViewMouseUp(view_);
      break;
    case kMsgMouseMove:
    case kMsgKeyDown:
    case kMsgKeyUp:
    case kMsgChar:
    case kMsgSetFocus:
    case kMsgKillFocus:
    case kMsgSize: WakeTicking(); break;
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
