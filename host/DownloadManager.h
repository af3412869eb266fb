// The host's one downloader and its disk cache, published as the built-in
// component "Vx_Download".
//
// Up to 12 HTTP/1.0 transfers run at once, each stepped from Poll (no
// threads). A transfer follows up to kMaxHttpRedirects redirects; the
// requester is told of the URL the body came from in its request's url, and
// the cache files the body under that URL. Downloaded files go to the Cache folder under names
// "vxlc<n>.<last three characters of the URL>", and the cache log
// "Vantessel Log.txt" maps each URL to its file (pairs of lines). Each
// process keeps an in-use list "inuse.<process id>" of the files it is
// writing, locked while it runs, so that a run that was interrupted leaves
// nothing half-written behind: a later start deletes what an unlocked list
// names, and never what a running process writes. The manager also owns the
// host's folders and config.txt.
//
// The log and the in-use list are files anyone may have written, so they
// are trusted only for cache files: a file is served as a cache hit, or
// deleted, only when it is a regular file directly inside the Cache folder
// under a "vxlc" name. URLs and paths with control bytes are refused at the
// start, so no request can add lines of its own to either file.
//
// One instance per process, counted: AcquireDownloadManager creates it on
// first use, ReleaseDownloadManager destroys it when the last user is gone.
// Everything runs on the window thread; callbacks come from Poll and Cancel
// and may start new downloads.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/DataStream.h"
#include "host/HostConfig.h"
#include "host/HostLimits.h"
#include "host/HttpRequest.h"
#include "vantessel/Component.h"
#include "vantessel/Download.h"

namespace vx::host {

static_assert(kDownloadSlots == VX_DOWNLOAD_SLOTS, "the slot count callers see is the manager's");

inline constexpr char kTooManyRedirects[] = "Too many redirects.";

class CDownloadManager {
 public:
  CDownloadManager();
  ~CDownloadManager();
  CDownloadManager(const CDownloadManager&) = delete;
  CDownloadManager& operator=(const CDownloadManager&) = delete;

  int32_t StartDownload(const char* url, const DownloadCallback* callback, int32_t flags, char* outLocalPath);
  int32_t StartDownloadTo(const char* url, const char* localPath, const DownloadCallback* callback,
                          int32_t flags);
  void Poll();
  void CancelDownload(int32_t slot);
  void ClearCache();
  int32_t GetDownloadStatus(int32_t slot, int32_t* total, int32_t* received) const;
  // The HTTP status of the transfer that ended last in the slot, 0 when no
  // answer came; a requester may read it while it is told of the end.
  int32_t HttpStatusOf(int32_t slot) const;
  // Why the transfer that ended last in the slot failed when its HTTP status
  // does not say (kTooManyRedirects); empty otherwise.
  const std::string& FailureTextOf(int32_t slot) const;
  void* GetSlotBuffer(int32_t slot) const;
  void FreeSlotBuffer(int32_t slot);
  std::string ProgressText();
  void WriteConfig(bool clearDate);

  int32_t CacheLimit() const { return config_.cacheLimit; }
  void SetCacheLimit(int32_t bytes) { config_.cacheLimit = bytes; }
  int32_t CacheTotal() const { return cacheTotal_; }
  int32_t ActiveCount() const { return activeCount_; }
  const HostConfig& Config() const { return config_; }

  const std::string& CacheFolder() const { return cacheFolder_; }
  const std::string& CacheLogPath() const { return cacheLogPath_; }
  const std::string& PreferencesFolder() const { return preferencesFolder_; }
  const std::string& ComponentsFolder() const { return componentsFolder_; }
  const std::string& ProductsRegistryPath() const { return productsRegistryPath_; }
  std::string ConfigPath() const { return preferencesFolder_ + kConfigFileName; }
  // This process's in-use list.
  std::string InUsePath() const;

  // From now on each URL is fetched from its server once more before the
  // cache serves it again: the user asked for the world afresh, and with it
  // everything the world names. The fresh copy replaces the cached one.
  void RefreshFromServer();

  // How long transfers started from now on may take (tests shorten them).
  void SetTransferLimits(const TransferLimits& limits) { transferLimits_ = limits; }

 private:
  struct Slot {
    bool busy = false;
    int32_t state = DownloadFree;
    std::unique_ptr<CHttpRequest> http;
    DataStream output;
    bool keepInMemory = false;
    std::vector<uint8_t> memory;   // the body, kept for the requester
    bool holdsMemory = false;
    std::string localPath;
    bool counted = true;           // part of the cache (not a download to a caller's path)
    int32_t httpStatus = 0;
    std::string failureText;
    // The URL being fetched, and those that redirected to it.
    std::string url;
    std::vector<std::string> redirectedFrom;
    std::unique_ptr<DownloadRequest> request;
  };

  void CreateFolders();
  void ReadConfig();
  void CleanInUseFiles();
  void OpenInUseList();
  void WriteInUseList() const;
  // The cache files that the in-use lists of other running processes name.
  std::vector<std::string> FilesInUseElsewhere() const;
  bool ServesFromCache(const std::string& url) const;
  void DropCachedCopies(const std::string& url, const std::vector<std::string>& elsewhere);
  int32_t FirstFreeSlot() const;
  bool IsRunning(const std::string& url) const;
  bool IsInUse(const std::string& path) const;
  void ForgetCacheFile(const std::string& path) const;
  std::string UnusedCacheName(size_t pairs, const std::string& url) const;
  int32_t BeginTransfer(DownloadRequest& request, int32_t flags);
  void StartHttp(Slot& slot, const std::string& url, int32_t flags);
  void OpenRequest(Slot& slot);
  bool FollowRedirect(Slot& slot);
  void FileUnderFinalUrl(const Slot& slot) const;
  int32_t Register(std::unique_ptr<DownloadRequest> request, int32_t slot, const DownloadCallback* callback);
  void StepTransfer(Slot& slot);
  void CopyNewBytesToMemory(Slot& slot);
  void EndTransfer(Slot& slot, bool succeeded);
  void ReportAndFree(int32_t index);

  HostConfig config_;
  int32_t cacheTotal_ = 0;
  std::array<Slot, kDownloadSlots> slots_;
  std::string cacheFolder_;
  std::string cacheLogPath_;
  std::string preferencesFolder_;
  std::string componentsFolder_;
  std::string productsRegistryPath_;
  int32_t activeCount_ = 0;
  bool welcomeShown_ = true;
  bool windowClassesRegistered_ = false;
  TransferLimits transferLimits_;
  int inUseFile_ = -1;  // this process's list, locked
  bool refreshing_ = false;
  std::set<std::string> refreshed_;  // fetched afresh since RefreshFromServer
};

// The counted process-wide instance.
void AcquireDownloadManager();
void ReleaseDownloadManager();
// Null while no one holds the manager.
CDownloadManager* GetDownloadManager();

// Whether the once-a-day update checks are due by the date in config.txt;
// false while no one holds the manager (there is no network then).
bool IsCheckDueToday();

// The "Vx_Download" slots, in slot order (see vantessel/Download.h).
void VxDownloadAcquire();
void VxDownloadRelease();
int32_t VxDownloadStart(const char* url, const DownloadCallback* callback, int32_t flags, char* outLocalPath);
int32_t VxDownloadStartTo(const char* url, const char* localPath, const DownloadCallback* callback,
                          int32_t flags);
void VxDownloadPoll();
void VxDownloadClearCache();
int32_t VxDownloadGetCacheLimit();
int32_t VxDownloadSetCacheLimit(int32_t bytes);
void VxDownloadWriteConfig();
void VxDownloadGetProgressText(char* out);
void VxDownloadCancel(int32_t slot);
void* VxDownloadGetSlotBuffer(int32_t slot);
int32_t VxDownloadGetStatus(int32_t slot, int32_t* total, int32_t* received);
void VxDownloadFreeSlotBuffer(int32_t slot);
int32_t VxDownloadGetHomeUrl(char* out);
int32_t VxDownloadGetCacheDir(char* out);
int32_t VxDownloadGetProductsRegistryPath(char* out);
int32_t VxDownloadGetProductRegistryUrl(char* out);

// The 18 slot functions in slot order.
const VxSlotFunction* VxDownloadSlotTable();

// Defines "Vx_Download" (18 slots, version 1.0) through a host table.
int32_t BuildVxDownloadTable(VxBuilderArgs* args);

}  // namespace vx::host
