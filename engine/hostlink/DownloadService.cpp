#include "engine/hostlink/DownloadService.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include <vantessel/Download.h>

#include "engine/hostlink/FrameDemand.h"
#include "engine/hostlink/HostTable.h"
#include "platform/Path.h"

namespace vx {
namespace {

IDownloadService*& InstalledService() {
  static IDownloadService* service = nullptr;
  return service;
}

template <typename Fn>
Fn HostDownloadSlot(VxDownloadSlot slot) {
  return reinterpret_cast<Fn>(GetComponentSlot("Vx_Download", slot));
}

int32_t StartDownload(const char* url, const DownloadCallback* callback) {
  if (IDownloadService* service = GetDownloadService()) return service->Start(url, callback);
  auto start = HostDownloadSlot<VxDownloadStartFn>(VxDownloadStartSlot);
  return start ? start(url, callback, 0, nullptr) : -1;
}

int32_t DownloadStatus(int32_t slot) {
  if (IDownloadService* service = GetDownloadService()) return service->GetStatus(slot);
  auto status = HostDownloadSlot<VxDownloadGetStatusFn>(VxDownloadGetStatusSlot);
  return status ? status(slot, nullptr, nullptr) : DownloadFree;
}

void CancelDownload(int32_t slot) {
  if (IDownloadService* service = GetDownloadService()) return service->Cancel(slot);
  if (auto cancel = HostDownloadSlot<VxDownloadCancelFn>(VxDownloadCancelSlot)) cancel(slot);
}

std::string BoundedText(const char (&text)[VX_DOWNLOAD_TEXT_SIZE]) { return std::string(text, strnlen(text, sizeof text)); }

}  // namespace

void SetDownloadService(IDownloadService* service) { InstalledService() = service; }

IDownloadService* GetDownloadService() { return InstalledService(); }

std::string DownloadCacheDirectory() {
  if (IDownloadService* service = GetDownloadService()) return service->GetCacheDirectory();
  if (auto slot = HostDownloadSlot<VxDownloadGetTextFn>(VxDownloadGetCacheDirSlot)) {
    char folder[VX_DOWNLOAD_TEXT_SIZE] = {};
    if (slot(folder) > 1) return BoundedText(folder);
  }
  std::string folder = path::CacheFolder();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

void PollDownloads() {
  if (IDownloadService* service = GetDownloadService()) return service->Poll();
  if (auto poll = HostDownloadSlot<VxDownloadPollFn>(VxDownloadPollSlot)) poll();
}

CDownload::~CDownload() { Cancel(); }

bool CDownload::Start(const std::string& url, DoneHandler onDone) {
  if (running_) return false;
  const DownloadCallback callback{this, &CDownload::OnDone};
  const int32_t slot = StartDownload(url.c_str(), &callback);
  if (slot < 0) return false;
  running_ = true;
  slot_ = slot;
  url_ = url;
  onDone_ = std::move(onDone);
  return true;
}

int32_t CDownload::State() const { return running_ ? DownloadStatus(slot_) : DownloadFree; }

// The flag is dropped before the service is told, so the completion that the
// service reports from inside its cancel is ignored.
void CDownload::Cancel() {
  if (!running_) return;
  running_ = false;
  onDone_ = nullptr;
  CancelDownload(slot_);
  slot_ = -1;
}

void CDownload::OnDone(int32_t event, DownloadRequest* request, void* self) {
  auto* download = static_cast<CDownload*>(self);
  if (event != VX_DOWNLOAD_EVENT || !request || !download->running_ || request->slot != download->slot_) return;
  const int32_t state = request->state;
  const std::string localPath = state == DownloadDone ? BoundedText(request->localPath) : std::string();
  if (state == DownloadDone) download->url_ = BoundedText(request->url);
  download->running_ = false;
  download->slot_ = -1;
  DoneHandler onDone = std::move(download->onDone_);
  download->onDone_ = nullptr;
  // What arrived is loaded by the next frame.
  NoteWorldChange();
  if (onDone) onDone(state, localPath);
}

}  // namespace vx
