#include "host/DownloadManager.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "common/NMChannel.h"
#include "host/MakerServer.h"
#include "platform/Numbers.h"
#include "platform/Path.h"

namespace vx::host {
namespace {

namespace fs = std::filesystem;

constexpr char kHttpPrefix[] = "http://";
constexpr size_t kHttpPrefixLength = sizeof kHttpPrefix - 1;
constexpr char kWelcomeText[] = "Welcome To Vantessel";
// The in-use lists: one per process, named with its id; and the one list of
// the runs before lists were kept per process.
constexpr char kInUsePrefix[] = "inuse.";
constexpr char kSharedInUseName[] = "inuse";
// Tries at making the process's list, which a starting process may take
// for an interrupted run's between its making and its locking.
constexpr int kInUseListAttempts = 3;

struct CachePair {
  std::string url;
  std::string file;
};

// Whole lines, however long: a long URL must not shift the pairs after it.
std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

bool Fits(const std::string& text) { return text.size() <= kMaxNameLength; }

bool IsLoggableUrl(const std::string& url) {
  return Fits(url) && url.starts_with(kHttpPrefix) && !HasControlBytes(url);
}

// A name the cache itself gives: directly inside the Cache folder, "vxlc...".
bool IsCacheFileName(const std::string& cacheFolder, const std::string& path) {
  return Fits(path) && !HasControlBytes(path) && path.starts_with(cacheFolder + "vxlc") &&
         path.find('/', cacheFolder.size()) == std::string::npos;
}

// One that may be served or deleted: a regular file, not a link to one.
bool IsCacheFile(const std::string& cacheFolder, const std::string& path) {
  std::error_code error;
  return IsCacheFileName(cacheFolder, path) && fs::symlink_status(path, error).type() == fs::file_type::regular;
}

// Pairs of a URL line and a cache file line. A line that is neither is
// skipped on its own, so that a torn or forged line never makes a pair and
// the pairs after it stay in step.
std::vector<CachePair> ReadCachePairs(const std::string& logPath, const std::string& cacheFolder) {
  const std::vector<std::string> lines = ReadLines(logPath);
  std::vector<CachePair> pairs;
  for (size_t i = 0; i + 1 < lines.size();) {
    if (IsLoggableUrl(lines[i]) && IsCacheFileName(cacheFolder, lines[i + 1])) {
      pairs.push_back({lines[i], lines[i + 1]});
      i += 2;
    } else {
      ++i;
    }
  }
  return pairs;
}

void WriteCachePairs(const std::string& logPath, const std::vector<CachePair>& pairs, const char* mode) {
  if (FILE* file = std::fopen(logPath.c_str(), mode)) {
    for (const CachePair& pair : pairs) std::fprintf(file, "%s\n%s\n", pair.url.c_str(), pair.file.c_str());
    std::fclose(file);
  }
}

void CreateEmptyFileIfMissing(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) WriteCachePairs(path, {}, "wb");
}

bool FileOpens(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

int64_t SizeOfFile(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? 0 : static_cast<int64_t>(size);
}

void RemoveFile(const std::string& path) {
  std::error_code error;
  fs::remove(path, error);
}

// Copies text into a caller's buffer of VX_DOWNLOAD_TEXT_SIZE characters,
// cut to fit; returns the characters written.
int32_t CopyText(char* out, const std::string& text) {
  if (!out) return 0;
  const size_t length = std::min(text.size(), kMaxNameLength);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return static_cast<int32_t>(length);
}

// The cache name's extension: the URL's last three characters, with
// separators replaced so the name stays inside the Cache folder.
std::string CacheExtension(const std::string& url) {
  std::string extension = url.substr(url.size() >= 3 ? url.size() - 3 : 0);
  std::replace_if(extension.begin(), extension.end(), [](char c) { return c == '/' || c == '\\'; }, '_');
  return extension;
}

std::string WithHttpPrefix(const char* url) {
  if (std::strncmp(url, kHttpPrefix, kHttpPrefixLength) == 0) return url;
  return std::string(kHttpPrefix) + url;
}

void Notify(DownloadRequest& request) {
  if (request.callback) request.callback(VX_DOWNLOAD_EVENT, &request, request.userData);
}

// The cache files an in-use list names (at most one a slot).
std::vector<std::string> ListedCacheFiles(const std::string& list, const std::string& cacheFolder) {
  std::vector<std::string> lines = ReadLines(list);
  lines.resize(std::min<size_t>(lines.size(), kDownloadSlots));
  std::erase_if(lines, [&](const std::string& line) { return !IsCacheFile(cacheFolder, line); });
  return lines;
}

// The in-use lists of processes, by their names in the cache folder.
std::vector<std::string> ProcessInUseLists(const std::string& cacheFolder) {
  std::vector<std::string> lists;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(cacheFolder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kInUsePrefix) || name.size() == sizeof kInUsePrefix - 1) continue;
    const std::string_view id = std::string_view(name).substr(sizeof kInUsePrefix - 1);
    if (std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
      lists.push_back(entry.path().string());
  }
  return lists;
}

// Whether a process holds the list locked, that is, still runs; a list
// that cannot be opened is taken as held.
bool IsHeldList(const std::string& list) {
  const int fd = open(list.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return true;
  const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
  close(fd);
  return held;
}

bool Holds(const std::vector<std::string>& files, const std::string& file) {
  return std::find(files.begin(), files.end(), file) != files.end();
}

bool SameFile(int fd, const std::string& path) {
  struct stat opened {
  }, named{};
  return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

std::unique_ptr<DownloadRequest> NewRequest(const std::string& url) {
  auto request = std::make_unique<DownloadRequest>();
  std::memset(request.get(), 0, sizeof(DownloadRequest));
  CopyText(request->url, url);
  return request;
}

}  // namespace

CDownloadManager::CDownloadManager() {
  config_.homeUrl = DefaultHomeUrl();
  CreateFolders();
  ReadConfig();
  if (config_.version < 1) {
    config_.version = 1;
    config_.compRegistryPath = kDefaultCompRegistryPath;
    config_.productRegistryPath = kDefaultProductRegistryPath;
    WriteConfig(true);
  }
  CleanInUseFiles();
  OpenInUseList();
  int64_t total = 0;
  for (const CachePair& pair : ReadCachePairs(cacheLogPath_, cacheFolder_))
    if (IsCacheFile(cacheFolder_, pair.file)) total += SizeOfFile(pair.file);
  cacheTotal_ = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
  windowClassesRegistered_ = RegisterChannelWindowClasses();
}

CDownloadManager::~CDownloadManager() {
  for (int32_t slot = 0; slot < kDownloadSlots; ++slot) CancelDownload(slot);
  RemoveFile(InUsePath());
  if (inUseFile_ >= 0) close(inUseFile_);
  if (windowClassesRegistered_) UnregisterChannelWindowClasses();
}

void CDownloadManager::CreateFolders() {
  cacheFolder_ = path::CacheFolder();
  componentsFolder_ = path::ComponentsFolder();
  preferencesFolder_ = path::PreferencesFolder();
  cacheLogPath_ = cacheFolder_ + "Vantessel Log.txt";
  productsRegistryPath_ = path::ProductsRegistryFile();
  for (const std::string& folder : {path::RootFolder() + "Orvanta/", path::ViewerFolder(), cacheFolder_,
                                    componentsFolder_, preferencesFolder_}) {
    std::error_code error;
    fs::create_directories(folder, error);
  }
}

void CDownloadManager::ReadConfig() {
  if (ReadConfigFile(ConfigPath(), config_)) return;
  config_.version = 1;
  static_cast<void>(WriteDefaultConfigFile(ConfigPath(), config_));
}

void CDownloadManager::WriteConfig(bool clearDate) {
  config_.date = TodayPackedDate();
  static_cast<void>(WriteConfigFile(ConfigPath(), config_, clearDate ? 0 : config_.date));
}

std::string CDownloadManager::InUsePath() const {
  return cacheFolder_ + kInUsePrefix + std::to_string(static_cast<long>(getpid()));
}

// The lists of runs that ended without cleaning up: the shared list of
// older runs, and every process list that no running process holds.
void CDownloadManager::CleanInUseFiles() {
  std::vector<std::string> ended = {cacheFolder_ + kSharedInUseName};
  for (const std::string& list : ProcessInUseLists(cacheFolder_))
    if (!IsHeldList(list)) ended.push_back(list);
  for (const std::string& list : ended) {
    for (const std::string& file : ListedCacheFiles(list, cacheFolder_)) RemoveFile(file);
    RemoveFile(list);
  }
}

void CDownloadManager::OpenInUseList() {
  for (int attempt = 0; attempt < kInUseListAttempts && inUseFile_ < 0; ++attempt) {
    const int fd = open(InUsePath().c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX) == 0 && SameFile(fd, InUsePath())) {
      inUseFile_ = fd;
    } else {
      close(fd);
    }
  }
}

// Written whole in one write, so that another process reading it sees the
// list before or after, not a part.
void CDownloadManager::WriteInUseList() const {
  if (inUseFile_ < 0) return;
  std::string text;
  for (const Slot& slot : slots_) text += (slot.busy ? slot.localPath : std::string("0")) + "\n";
  if (ftruncate(inUseFile_, 0) != 0) return;
  static_cast<void>(pwrite(inUseFile_, text.data(), text.size(), 0));
}

std::vector<std::string> CDownloadManager::FilesInUseElsewhere() const {
  std::vector<std::string> files;
  for (const std::string& list : ProcessInUseLists(cacheFolder_)) {
    if (list == InUsePath() || !IsHeldList(list)) continue;
    for (std::string& file : ListedCacheFiles(list, cacheFolder_)) files.push_back(std::move(file));
  }
  return files;
}

void CDownloadManager::RefreshFromServer() {
  refreshing_ = true;
  refreshed_.clear();
}

bool CDownloadManager::ServesFromCache(const std::string& url) const {
  return !refreshing_ || refreshed_.contains(url);
}

// The copies the cache holds of url, before a fresh one is fetched; one
// that a transfer here or in another process still writes stays.
void CDownloadManager::DropCachedCopies(const std::string& url, const std::vector<std::string>& elsewhere) {
  std::vector<CachePair> pairs = ReadCachePairs(cacheLogPath_, cacheFolder_);
  const size_t before = pairs.size();
  std::erase_if(pairs, [&](const CachePair& pair) {
    if (pair.url != url || IsInUse(pair.file) || Holds(elsewhere, pair.file)) return false;
    if (IsCacheFile(cacheFolder_, pair.file)) {
      cacheTotal_ = static_cast<int32_t>(std::max<int64_t>(0, cacheTotal_ - SizeOfFile(pair.file)));
      RemoveFile(pair.file);
    }
    return true;
  });
  if (pairs.size() != before) WriteCachePairs(cacheLogPath_, pairs, "wb");
}

// A slot is free when nothing runs in it, no requester still waits for its
// report and no body is kept in it.
int32_t CDownloadManager::FirstFreeSlot() const {
  for (int32_t index = 0; index < kDownloadSlots; ++index) {
    const Slot& slot = slots_[index];
    if (!slot.busy && !slot.request && slot.memory.empty()) return index;
  }
  return -1;
}

bool CDownloadManager::IsRunning(const std::string& url) const {
  return std::any_of(slots_.begin(), slots_.end(),
                     [&](const Slot& slot) { return slot.busy && slot.request && url == slot.request->url; });
}

// A file that a transfer writes, or that a requester is still to be told of.
bool CDownloadManager::IsInUse(const std::string& path) const {
  return std::any_of(slots_.begin(), slots_.end(), [&](const Slot& slot) {
    return (slot.busy && slot.localPath == path) || (slot.request && path == slot.request->localPath);
  });
}

// Numbers start at the count of pairs in the log and skip names that are
// still in use or on disk (after a cache clear the count starts low again).
std::string CDownloadManager::UnusedCacheName(size_t pairs, const std::string& url) const {
  const std::string extension = CacheExtension(url);
  for (size_t number = pairs;; ++number) {
    std::string name = FormatString("%svxlc%zu.%s", cacheFolder_.c_str(), number, extension.c_str());
    std::error_code error;
    if (!IsInUse(name) && !fs::exists(name, error)) return name;
  }
}

int32_t CDownloadManager::StartDownload(const char* url, const DownloadCallback* callback, int32_t flags,
                                        char* outLocalPath) {
  if (!url) return -1;
  const std::string fullUrl = WithHttpPrefix(url);
  if (!IsLoggableUrl(fullUrl) || IsRunning(fullUrl) || activeCount_ >= kDownloadSlots) return -1;
  std::unique_ptr<DownloadRequest> request = NewRequest(fullUrl);
  const int32_t slot = BeginTransfer(*request, flags);
  if (slot < 0) return -1;
  if (slots_[slot].state == DownloadDone) {
    request->state = DownloadDone;
    CopyText(outLocalPath, request->localPath);
  } else {
    request->state = DownloadRunning;
  }
  return Register(std::move(request), slot, callback);
}

int32_t CDownloadManager::BeginTransfer(DownloadRequest& request, int32_t flags) {
  const int32_t index = FirstFreeSlot();
  if (index < 0) return -1;
  Slot& slot = slots_[index];
  const std::string url = request.url;
  CreateEmptyFileIfMissing(cacheLogPath_);
  // A file another process still writes is no copy yet.
  const std::vector<std::string> elsewhere = FilesInUseElsewhere();
  if (!ServesFromCache(url)) {
    DropCachedCopies(url, elsewhere);
    refreshed_.insert(url);
  }
  std::vector<CachePair> pairs = ReadCachePairs(cacheLogPath_, cacheFolder_);
  for (const CachePair& pair : pairs) {
    if (pair.url == url && !Holds(elsewhere, pair.file) && IsCacheFile(cacheFolder_, pair.file) &&
        FileOpens(pair.file)) {
      CopyText(request.localPath, pair.file);
      slot.state = DownloadDone;
      return index;
    }
  }
  if (config_.cacheLimit < cacheTotal_) {
    ClearCache();
    pairs = ReadCachePairs(cacheLogPath_, cacheFolder_);
  }
  const std::string name = UnusedCacheName(pairs.size(), url);
  if (!IsCacheFileName(cacheFolder_, name)) return -1;
  CopyText(request.localPath, name);
  WriteCachePairs(cacheLogPath_, {{url, name}}, "ab");
  slot.localPath = name;
  slot.counted = true;
  StartHttp(slot, url, flags);
  return index;
}

void CDownloadManager::StartHttp(Slot& slot, const std::string& url, int32_t flags) {
  slot.url = url;
  slot.redirectedFrom.clear();
  slot.failureText.clear();
  slot.keepInMemory = (flags & 0xFFFF) != 0;
  OpenRequest(slot);
}

// A request for the slot's URL, into an output that starts empty.
void CDownloadManager::OpenRequest(Slot& slot) {
  const std::string hostAndPath = slot.url.substr(kHttpPrefixLength);
  const size_t slash = hostAndPath.find('/');
  const std::string host = hostAndPath.substr(0, slash);
  const std::string path = slash == std::string::npos ? "" : hostAndPath.substr(slash + 1);
  DataStreamOpen(&slot.output, slot.localPath.c_str(), "w+b", nullptr, 0);
  const char* proxy = config_.proxyServer.empty() ? nullptr : config_.proxyServer.c_str();
  slot.http = std::make_unique<CHttpRequest>(proxy, static_cast<uint16_t>(config_.proxyPort), host, path,
                                             &slot.output, nullptr, transferLimits_);
  slot.busy = true;
  WriteInUseList();
  slot.state = DownloadRunning;
  slot.httpStatus = 0;
  slot.memory = {};
}

// Starts the request a redirect asks for; false when the transfer ends
// here. A chain that comes back to a URL it has been to would never end,
// and counts as too long.
bool CDownloadManager::FollowRedirect(Slot& slot) {
  const std::string target = ResolveRedirect(slot.url, slot.http->RedirectLocation());
  if (!IsLoggableUrl(target)) return false;
  slot.redirectedFrom.push_back(slot.url);
  const bool seen =
      std::find(slot.redirectedFrom.begin(), slot.redirectedFrom.end(), target) != slot.redirectedFrom.end();
  if (seen || slot.redirectedFrom.size() > static_cast<size_t>(kMaxHttpRedirects)) {
    slot.failureText = kTooManyRedirects;
    return false;
  }
  slot.url = target;
  slot.http.reset();
  static_cast<void>(DataStreamClose(&slot.output));
  OpenRequest(slot);
  return true;
}

// A moved file is kept under the URL it came from, which is the one its
// requester learns: a later request of either finds it where it looks.
void CDownloadManager::FileUnderFinalUrl(const Slot& slot) const {
  if (!slot.counted || slot.redirectedFrom.empty()) return;
  ForgetCacheFile(slot.localPath);
  WriteCachePairs(cacheLogPath_, {{slot.url, slot.localPath}}, "ab");
}

int32_t CDownloadManager::Register(std::unique_ptr<DownloadRequest> request, int32_t slot,
                                   const DownloadCallback* callback) {
  request->slot = slot;
  if (callback) {
    request->userData = callback->userData;
    request->callback = callback->fn;
  }
  slots_[slot].request = std::move(request);
  ++activeCount_;
  return slot;
}

int32_t CDownloadManager::StartDownloadTo(const char* url, const char* localPath, const DownloadCallback* callback,
                                          int32_t flags) {
  if (!url || !localPath) return -1;
  const std::string fullUrl = WithHttpPrefix(url);
  if (!IsLoggableUrl(fullUrl) || !Fits(localPath) || HasControlBytes(localPath) || activeCount_ >= kDownloadSlots)
    return -1;
  const int32_t index = FirstFreeSlot();
  if (index < 0) return -1;
  std::unique_ptr<DownloadRequest> request = NewRequest(fullUrl);
  CopyText(request->localPath, localPath);
  CreateEmptyFileIfMissing(cacheLogPath_);
  Slot& slot = slots_[index];
  slot.localPath = localPath;
  slot.counted = false;
  StartHttp(slot, fullUrl, flags);
  request->state = DownloadRunning;
  return Register(std::move(request), index, callback);
}

void CDownloadManager::Poll() {
  for (int32_t index = 0; index < kDownloadSlots; ++index) {
    Slot& slot = slots_[index];
    if (!slot.request) continue;
    if (slot.state == DownloadRunning) {
      slot.request->state = DownloadRunning;
      StepTransfer(slot);
    } else if (slot.state != DownloadFree) {
      ReportAndFree(index);
    }
  }
}

// The slot is settled before its requester hears of the end, so that the
// callback may start or cancel downloads, this slot's included.
void CDownloadManager::ReportAndFree(int32_t index) {
  Slot& slot = slots_[index];
  std::unique_ptr<DownloadRequest> request = std::move(slot.request);
  request->state = slot.state;
  if (slot.state == DownloadFailed) slot.memory = {};
  slot.state = DownloadFree;
  --activeCount_;
  Notify(*request);
}

void CDownloadManager::StepTransfer(Slot& slot) {
  const uint16_t status = slot.http->Step();
  CopyNewBytesToMemory(slot);
  if (status != 0) return;
  const bool succeeded = slot.http->Succeeded();
  if (!succeeded && !slot.http->RedirectLocation().empty() && FollowRedirect(slot)) return;
  EndTransfer(slot, succeeded);
}

// The body is kept in memory as it arrives, read back from the file, so the
// copy grows with what came and never with what the server announced.
void CDownloadManager::CopyNewBytesToMemory(Slot& slot) {
  const int32_t contentLength = slot.http->ContentLength();
  const int32_t wanted = std::min(slot.http->Received(), contentLength);
  const auto held = static_cast<int32_t>(slot.memory.size());
  if (!slot.keepInMemory || contentLength <= 0 || wanted <= held) return;
  slot.memory.resize(static_cast<size_t>(wanted));
  int32_t copied = 0;
  if (DataStreamSeek(&slot.output, held, SeekFrom::Start) == 0)
    copied = DataStreamRead(&slot.output, slot.memory.data() + held, 1, wanted - held);
  slot.memory.resize(static_cast<size_t>(held + copied));
  static_cast<void>(DataStreamSeek(&slot.output, 0, SeekFrom::End));
}

void CDownloadManager::EndTransfer(Slot& slot, bool succeeded) {
  slot.state = succeeded ? DownloadDone : DownloadFailed;
  slot.httpStatus = slot.http->Status();
  if (succeeded && slot.counted)
    cacheTotal_ = static_cast<int32_t>(std::min<int64_t>(int64_t{cacheTotal_} + slot.http->Received(), INT32_MAX));
  slot.http.reset();
  static_cast<void>(DataStreamClose(&slot.output));
  slot.busy = false;
  WriteInUseList();
  if (succeeded) {
    FileUnderFinalUrl(slot);
    if (slot.request) CopyText(slot.request->url, slot.url);
  } else {
    RemoveFile(slot.localPath);
    if (slot.counted) ForgetCacheFile(slot.localPath);
  }
  slot.localPath.clear();
}

void CDownloadManager::CancelDownload(int32_t index) {
  if (index < 0 || index >= kDownloadSlots) return;
  Slot& slot = slots_[index];
  const bool wasRunning = slot.busy;
  if (wasRunning) {
    slot.http.reset();
    static_cast<void>(DataStreamClose(&slot.output));
    slot.busy = false;
    WriteInUseList();
    RemoveFile(slot.localPath);
    if (slot.counted) ForgetCacheFile(slot.localPath);
    slot.localPath.clear();
    if (slot.keepInMemory) slot.memory = {};
  }
  std::unique_ptr<DownloadRequest> request = std::move(slot.request);
  if (!request) return;
  --activeCount_;
  slot.state = DownloadFree;
  if (!wasRunning) return;
  request->state = DownloadCancelled;
  Notify(*request);
}

// The log pair of a file that is gone: a later file may take its name.
void CDownloadManager::ForgetCacheFile(const std::string& path) const {
  std::vector<CachePair> pairs = ReadCachePairs(cacheLogPath_, cacheFolder_);
  std::erase_if(pairs, [&](const CachePair& pair) { return pair.file == path; });
  WriteCachePairs(cacheLogPath_, pairs, "wb");
}

// Files that a transfer still writes, or that a requester is still to be
// told of, stay with their log entries; everything else goes.
void CDownloadManager::ClearCache() {
  const std::vector<std::string> elsewhere = FilesInUseElsewhere();
  std::vector<CachePair> kept;
  for (const CachePair& pair : ReadCachePairs(cacheLogPath_, cacheFolder_)) {
    if (IsInUse(pair.file) || Holds(elsewhere, pair.file))
      kept.push_back(pair);
    else if (IsCacheFile(cacheFolder_, pair.file))
      RemoveFile(pair.file);
  }
  RemoveFile(cacheLogPath_);
  WriteCachePairs(cacheLogPath_, kept, "wb");
  cacheTotal_ = 0;
}

int32_t CDownloadManager::GetDownloadStatus(int32_t index, int32_t* total, int32_t* received) const {
  if (index < 0 || index >= kDownloadSlots) return 0;
  const Slot& slot = slots_[index];
  if (slot.busy && slot.http) {
    if (total) *total = slot.http->ContentLength();
    if (received) *received = slot.http->Received();
  } else if (received) {
    *received = static_cast<int32_t>(slot.memory.size());
  }
  return slot.state;
}

int32_t CDownloadManager::HttpStatusOf(int32_t index) const {
  return index >= 0 && index < kDownloadSlots ? slots_[index].httpStatus : 0;
}

const std::string& CDownloadManager::FailureTextOf(int32_t index) const {
  static const std::string kNone;
  return index >= 0 && index < kDownloadSlots ? slots_[index].failureText : kNone;
}

void* CDownloadManager::GetSlotBuffer(int32_t index) const {
  if (index < 0 || index >= kDownloadSlots || slots_[index].memory.empty()) return nullptr;
  return const_cast<uint8_t*>(slots_[index].memory.data());
}

void CDownloadManager::FreeSlotBuffer(int32_t index) {
  if (index >= 0 && index < kDownloadSlots) slots_[index].memory = {};
}

std::string CDownloadManager::ProgressText() {
  int32_t files = 0;
  double received = 0;
  double total = 0;
  for (int32_t index = 0; index < kDownloadSlots; ++index) {
    int32_t slotTotal = -1;
    int32_t slotReceived = 0;
    if (GetDownloadStatus(index, &slotTotal, &slotReceived) != DownloadRunning) continue;
    ++files;
    // A body whose length is not known (yet, or at all) counts nothing.
    if (slotTotal <= 0) continue;
    received += slotReceived;
    total += slotTotal;
  }
  if (files > 0) {
    welcomeShown_ = false;
    const double percent = total < 1 ? 0 : received / total * 100;
    const double kilobytes = total < 1 ? 0 : total / 1024;
    return FormatString("Downloading %d file(s), %0.0f%% done (of %0.1fK).", files, percent, kilobytes);
  }
  const bool showWelcome = !welcomeShown_;
  welcomeShown_ = true;
  return showWelcome ? kWelcomeText : "";
}

namespace {

std::unique_ptr<CDownloadManager> g_manager;
int32_t g_references = 0;

}  // namespace

void AcquireDownloadManager() {
  if (g_references++ == 0) g_manager = std::make_unique<CDownloadManager>();
}

void ReleaseDownloadManager() {
  if (g_references == 0) return;
  if (--g_references == 0) g_manager.reset();
}

CDownloadManager* GetDownloadManager() { return g_manager.get(); }

bool IsCheckDueToday() { return g_manager && IsCheckDueToday(g_manager->ConfigPath()); }

void VxDownloadAcquire() { AcquireDownloadManager(); }
void VxDownloadRelease() { ReleaseDownloadManager(); }

int32_t VxDownloadStart(const char* url, const DownloadCallback* callback, int32_t flags, char* outLocalPath) {
  return g_manager ? g_manager->StartDownload(url, callback, flags, outLocalPath) : -1;
}

int32_t VxDownloadStartTo(const char* url, const char* localPath, const DownloadCallback* callback,
                          int32_t flags) {
  return g_manager ? g_manager->StartDownloadTo(url, localPath, callback, flags) : -1;
}

void VxDownloadPoll() {
  if (g_manager) g_manager->Poll();
}

void VxDownloadClearCache() {
  if (g_manager) g_manager->ClearCache();
}

int32_t VxDownloadGetCacheLimit() { return g_manager ? g_manager->CacheLimit() : 0; }

int32_t VxDownloadSetCacheLimit(int32_t bytes) {
  if (g_manager) g_manager->SetCacheLimit(bytes);
  return bytes;
}

void VxDownloadWriteConfig() {
  if (g_manager) g_manager->WriteConfig(false);
}

void VxDownloadGetProgressText(char* out) {
  if (g_manager && out) CopyText(out, g_manager->ProgressText());
}

void VxDownloadCancel(int32_t slot) {
  if (g_manager) g_manager->CancelDownload(slot);
}

void* VxDownloadGetSlotBuffer(int32_t slot) { return g_manager ? g_manager->GetSlotBuffer(slot) : nullptr; }

int32_t VxDownloadGetStatus(int32_t slot, int32_t* total, int32_t* received) {
  return g_manager ? g_manager->GetDownloadStatus(slot, total, received) : 0;
}

void VxDownloadFreeSlotBuffer(int32_t slot) {
  if (g_manager) g_manager->FreeSlotBuffer(slot);
}

int32_t VxDownloadGetHomeUrl(char* out) {
  return g_manager && out ? CopyText(out, g_manager->Config().homeUrl) + 1 : 0;
}

int32_t VxDownloadGetCacheDir(char* out) {
  return g_manager && out ? CopyText(out, g_manager->CacheFolder()) + 1 : 0;
}

int32_t VxDownloadGetProductsRegistryPath(char* out) {
  return g_manager && out ? CopyText(out, g_manager->ProductsRegistryPath()) + 1 : 0;
}

int32_t VxDownloadGetProductRegistryUrl(char* out) {
  return g_manager && out ? CopyText(out, MakerServerUrl() + g_manager->Config().productRegistryPath) : 0;
}

const VxSlotFunction* VxDownloadSlotTable() {
  static const VxSlotFunction kSlots[] = {
      reinterpret_cast<VxSlotFunction>(&VxDownloadAcquire),
      reinterpret_cast<VxSlotFunction>(&VxDownloadRelease),
      reinterpret_cast<VxSlotFunction>(&VxDownloadStart),
      reinterpret_cast<VxSlotFunction>(&VxDownloadStartTo),
      reinterpret_cast<VxSlotFunction>(&VxDownloadPoll),
      reinterpret_cast<VxSlotFunction>(&VxDownloadClearCache),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetCacheLimit),
      reinterpret_cast<VxSlotFunction>(&VxDownloadSetCacheLimit),
      reinterpret_cast<VxSlotFunction>(&VxDownloadWriteConfig),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetProgressText),
      reinterpret_cast<VxSlotFunction>(&VxDownloadCancel),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetSlotBuffer),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetStatus),
      reinterpret_cast<VxSlotFunction>(&VxDownloadFreeSlotBuffer),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetHomeUrl),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetCacheDir),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetProductsRegistryPath),
      reinterpret_cast<VxSlotFunction>(&VxDownloadGetProductRegistryUrl),
  };
  static_assert(std::size(kSlots) == VxDownloadSlotCount, "one function per Vx_Download slot");
  return kSlots;
}

int32_t BuildVxDownloadTable(VxBuilderArgs* args) {
  if (!args || !args->table || !args->record) return 2;
  const auto define = reinterpret_cast<VxDefineComponentFn>(args->table[VxHostDefineComponent]);
  const auto setCount = reinterpret_cast<VxSetSlotCountFn>(args->table[VxHostSetSlotCount]);
  const auto setSlot = reinterpret_cast<VxSetSlotFn>(args->table[VxHostSetSlot]);
  define(args->record, "Vx_Download", 0);
  setCount(args->record, VxDownloadSlotCount, 0, 1, 0);
  const VxSlotFunction* slots = VxDownloadSlotTable();
  for (int16_t index = 0; index < VxDownloadSlotCount; ++index) setSlot(args->record, index, slots[index]);
  return 0;
}

}  // namespace vx::host
