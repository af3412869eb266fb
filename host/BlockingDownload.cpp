#include "host/BlockingDownload.h"

#include <cstdio>

#include "host/ComponentManager.h"
#include "host/ProgressWindow.h"
#include "platform/MessagePump.h"
#include "vantessel/Download.h"

namespace vx::host {
namespace {

constexpr const char* kDownloadComponent = "Vx_Download";
constexpr std::string_view kPartialSuffix = ".part";

template <typename Fn>
Fn DownloadSlot(VxDownloadSlot slot) {
  return reinterpret_cast<Fn>(GetComponentSlot(kDownloadComponent, slot));
}

struct Completion {
  bool ended = false;
  int32_t state = DownloadFailed;
};

void OnDownloadEnded(int32_t event, DownloadRequest* request, void* userData) {
  auto* completion = static_cast<Completion*>(userData);
  if (event != VX_DOWNLOAD_EVENT || !request) return;
  completion->ended = true;
  completion->state = request->state;
}

void ShowProgress(CProgressWindow& progress, int32_t slot, VxDownloadGetStatusFn getStatus) {
  int32_t total = -1;
  int32_t received = 0;
  getStatus(slot, &total, &received);
  if (total > 0) progress.SetProgress(static_cast<float>(received) / static_cast<float>(total));
}

}  // namespace

DownloadOutcome DownloadBlocking(const std::string& url, const std::string& localPath, CProgressWindow* progress) {
  auto startTo = DownloadSlot<VxDownloadStartToFn>(VxDownloadStartToSlot);
  auto poll = DownloadSlot<VxDownloadPollFn>(VxDownloadPollSlot);
  auto getStatus = DownloadSlot<VxDownloadGetStatusFn>(VxDownloadGetStatusSlot);
  auto cancel = DownloadSlot<VxDownloadCancelFn>(VxDownloadCancelSlot);
  if (!startTo || !poll || !getStatus || !cancel) return DownloadOutcome::Failed;

  std::string partial = localPath + std::string(kPartialSuffix);
  Completion completion;
  DownloadCallback callback{&completion, &OnDownloadEnded};
  int32_t slot = startTo(url.c_str(), partial.c_str(), &callback, 0);
  if (slot < 0) return DownloadOutcome::Failed;

  while (!completion.ended) {
    DispatchOnePendingMessage();
    poll();
    if (!progress || completion.ended) continue;
    ShowProgress(*progress, slot, getStatus);
    if (progress->PumpMessages()) {
      cancel(slot);
      std::remove(partial.c_str());
      return DownloadOutcome::Cancelled;
    }
  }
  if (completion.state != DownloadDone || std::rename(partial.c_str(), localPath.c_str()) != 0) {
    std::remove(partial.c_str());
    return DownloadOutcome::Failed;
  }
  return DownloadOutcome::Done;
}

}  // namespace vx::host
