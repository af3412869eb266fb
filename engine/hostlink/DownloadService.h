// The host's download service as the engine uses it.
//
// The host's "Vx_Download" component is reached by slot through the component
// table kept from the engine's builder call (HostTable.h). Tests install a
// double in its place. Without either, nothing can be downloaded and the
// product's own cache folder is used.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <vantessel/Download.h>

namespace vx {

class IDownloadService {
 public:
  virtual ~IDownloadService() = default;
  // The download cache folder, ending in a path separator.
  virtual std::string GetCacheDirectory() = 0;
  // Starts fetching url; the service calls callback once when the download
  // ends, from Poll or Cancel. Returns the slot, or -1 when it refuses.
  virtual int32_t Start(const char* /*url*/, const DownloadCallback* /*callback*/) { return -1; }
  // The slot's DownloadState.
  virtual int32_t GetStatus(int32_t /*slot*/) { return DownloadFree; }
  virtual void Cancel(int32_t /*slot*/) {}
  virtual void Poll() {}
};

// Installs the service (not owned); null removes it.
void SetDownloadService(IDownloadService* service);
IDownloadService* GetDownloadService();

// The cache folder of the installed double, else of the host's "Vx_Download",
// else the product's cache folder (created when missing).
std::string DownloadCacheDirectory();

// Moves every running download on; completions are reported from here.
void PollDownloads();

// One download through the installed double, else the host's "Vx_Download".
// The handler runs at most once, when the download ends (DownloadDone with
// the file holding the body, DownloadFailed or DownloadCancelled by the
// service). Cancel() and the destructor stop a running download without
// calling the handler, so no completion ever reaches an owner that is gone.
// The handler may destroy this object.
class CDownload {
 public:
  using DoneHandler = std::function<void(int32_t state, const std::string& localPath)>;

  CDownload() = default;
  ~CDownload();
  CDownload(const CDownload&) = delete;
  CDownload& operator=(const CDownload&) = delete;

  // False when a download is already running or the service refuses.
  [[nodiscard]] bool Start(const std::string& url, DoneHandler onDone);
  bool IsRunning() const { return running_; }
  // The service's slot; -1 when nothing runs.
  int32_t Slot() const { return running_ ? slot_ : -1; }
  // The service's DownloadState of the running download; DownloadFree when
  // nothing runs.
  int32_t State() const;
  void Cancel();
  // The URL the body came from, known from the end on: the one a redirect
  // moved it to, else the one started.
  const std::string& Url() const { return url_; }

 private:
  static void OnDone(int32_t event, DownloadRequest* request, void* self);

  bool running_ = false;
  int32_t slot_ = -1;
  std::string url_;
  DoneHandler onDone_;
};

}  // namespace vx
