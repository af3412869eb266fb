#include "host/BlockingDownload.h"

#include <cassert>
#include <cstdio>
#include <optional>

#include "host/DownloadManager.h"
#include "host/ProgressWindow.h"
#include "platform/Clock.h"
#include "platform/MessagePump.h"
#include "vantessel/Download.h"

namespace vx::host {
namespace {

constexpr std::string_view kPartialSuffix = ".part";

std::optional<uint64_t> gDeadlineMs;
bool gDeadlinePassed = false;

bool OutOfTime() {
  if (gDeadlineMs && NowMs() >= *gDeadlineMs) gDeadlinePassed = true;
  return gDeadlinePassed;
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

// One pass of the window messages, so that socket notifications (and the
// host's windows) keep moving while the host waits.
void DispatchOnePendingMessage() {
  Message message;
  if (PeekMessage(message)) DispatchMessage(message);
}

void ShowProgress(CProgressWindow& progress, int32_t slot) {
  int32_t total = -1;
  int32_t received = 0;
  VxDownloadGetStatus(slot, &total, &received);
  if (total > 0) progress.SetProgress(static_cast<float>(received) / static_cast<float>(total));
}

DownloadOutcome Abandon(int32_t slot, const std::string& partial, DownloadOutcome outcome) {
  VxDownloadCancel(slot);
  std::remove(partial.c_str());
  return outcome;
}

}  // namespace

DownloadDeadline::DownloadDeadline(uint32_t budgetMs) {
  assert(!gDeadlineMs && "one deadline at a time");
  gDeadlineMs = NowMs() + budgetMs;
  gDeadlinePassed = false;
}

DownloadDeadline::~DownloadDeadline() {
  gDeadlineMs.reset();
  gDeadlinePassed = false;
}

bool DownloadDeadline::Passed() const { return gDeadlinePassed; }

DownloadOutcome DownloadBlocking(const std::string& url, const std::string& localPath, CProgressWindow* progress) {
  if (!GetDownloadManager()) return DownloadOutcome::Failed;
  if (OutOfTime()) return DownloadOutcome::TimedOut;
  std::string partial = localPath + std::string(kPartialSuffix);
  Completion completion;
  DownloadCallback callback{&completion, &OnDownloadEnded};
  int32_t slot = VxDownloadStartTo(url.c_str(), partial.c_str(), &callback, 0);
  if (slot < 0) return DownloadOutcome::Failed;

  while (!completion.ended) {
    if (OutOfTime()) return Abandon(slot, partial, DownloadOutcome::TimedOut);
    DispatchOnePendingMessage();
    VxDownloadPoll();
    if (!progress || completion.ended) continue;
    ShowProgress(*progress, slot);
    if (progress->PumpMessages()) return Abandon(slot, partial, DownloadOutcome::Cancelled);
  }
  if (completion.state != DownloadDone || std::rename(partial.c_str(), localPath.c_str()) != 0) {
    std::remove(partial.c_str());
    return DownloadOutcome::Failed;
  }
  return DownloadOutcome::Done;
}

}  // namespace vx::host
