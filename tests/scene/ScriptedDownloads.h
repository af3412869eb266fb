// A download service for engine tests whose downloads end when the test
// says so, reporting like the host does: from its poll, and from inside its
// cancel. It is the installed service while it lives.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <vantessel/Download.h>

#include "engine/hostlink/DownloadService.h"

namespace vx {

class ScriptedDownloads final : public IDownloadService {
 public:
  ScriptedDownloads() { SetDownloadService(this); }
  ~ScriptedDownloads() override { SetDownloadService(nullptr); }

  std::string GetCacheDirectory() override { return "/cache/"; }
  int32_t Start(const char* url, const DownloadCallback* callback) override {
    if (refuse) return -1;
    const int32_t slot = nextSlot++;
    DownloadRequest& request = requests[slot];
    request = {};
    request.slot = slot;
    request.state = DownloadRunning;
    std::snprintf(request.url, sizeof request.url, "%s", url);
    request.userData = callback->userData;
    request.callback = callback->fn;
    return slot;
  }
  int32_t GetStatus(int32_t slot) override {
    auto found = requests.find(slot);
    return found == requests.end() ? DownloadFree : found->second.state;
  }
  void Cancel(int32_t slot) override {
    cancelled.push_back(slot);
    End(slot, DownloadCancelled, "");
  }

  void End(int32_t slot, int32_t state, const char* localPath) {
    auto found = requests.find(slot);
    if (found == requests.end()) return;
    DownloadRequest request = found->second;
    requests.erase(found);
    request.state = state;
    std::snprintf(request.localPath, sizeof request.localPath, "%s", localPath);
    request.callback(VX_DOWNLOAD_EVENT, &request, request.userData);
  }

  bool refuse = false;
  int32_t nextSlot = 0;
  std::map<int32_t, DownloadRequest> requests;
  std::vector<int32_t> cancelled;
};

}  // namespace vx
