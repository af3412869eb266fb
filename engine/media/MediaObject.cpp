#include "engine/media/MediaObject.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "engine/hostlink/FrameDemand.h"
#include "engine/hostlink/HostComponent.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/render/DibImage.h"
#include "engine/scene/CallerText.h"
#include "engine/scene/PropertyText.h"
#include "platform/Random.h"

namespace vx {
namespace {

static_assert(VX_TEXT_BUFFER_SIZE == kMediaNameBufferSize, "names go out through the callers' text buffers");

constexpr std::string_view kHttpPrefix = "http://";

bool IsHttpName(std::string_view name) {
  return name.size() >= kHttpPrefix.size() && StrEqualNoCase(name.substr(0, kHttpPrefix.size()), kHttpPrefix);
}

uint32_t CopyOut(const std::string& text, char* out) {
  CopyToCaller(text, out);
  return static_cast<uint32_t>(std::min<size_t>(text.size(), kMaxMediaNameLength) + 1);
}

std::string DeliveredPath(const DownloadRequest& request) {
  return std::string(request.localPath, strnlen(request.localPath, sizeof request.localPath));
}

}  // namespace

CMediaObject::CMediaObject() : downloadService_(GetDownloadComponent()) {
  for (int32_t& value : noise_) value = static_cast<int32_t>(Random() * kNoiseScale);
}

CMediaObject::~CMediaObject() { CancelRequest(); }

uint32_t CMediaObject::GetUrl(char* out) const { return CopyOut(url_, out); }

uint32_t CMediaObject::GetLocalPath(char* out) const { return CopyOut(localPath_, out); }

uint32_t CMediaObject::SetUrl(const char* name) {
  localPath_.clear();
  const size_t length = name ? strnlen(name, kMediaNameBufferSize) : 0;
  if (length > static_cast<size_t>(kMaxMediaNameLength)) {
    url_.clear();
    loadState_ = MediaFailedNoFile;
    return 0;
  }
  url_.assign(name ? name : "", length);
  if (IsHttpName(url_)) return 1;
  localPath_ = url_;
  ready_ = true;
  return 0;
}

int32_t CMediaObject::Process() {
  switch (loadState_) {
    case MediaIdle: loadState_ = StartDownload(); break;
    case MediaDownloading: loadState_ = PollDownload(); break;
    case MediaCancelled:
    case MediaFailedNoFile: requestId_ = -1; break;
    case MediaFileReady: loadState_ = ProcessFileReady(); break;
    case MediaDecoding: loadState_ = DecodeStep(); break;
    case MediaComplete: loadState_ = EndDownload(); break;
    default: break;
  }
  if (hasImage_) Update();
  // What it shows changes by itself while it arrives, decodes or plays.
  const bool loading = loadState_ == MediaDownloading || loadState_ == MediaFileReady || loadState_ == MediaDecoding;
  if (loading || ChangesByItself()) RequestFrameNow();
  return loadState_;
}

// The service may report a download done before its report has brought the
// file's name: the object waits for the name rather than load nothing.
int32_t CMediaObject::ProcessFileReady() {
  if (localPath_.empty() && requestId_ >= 0) return MediaDownloading;
  return Load();
}

int32_t CMediaObject::StartDownload() {
  if (url_.empty()) return loadState_;
  if (ready_) return MediaFileReady;
  auto start = downloadService_ ? downloadService_->Slot<VxDownloadStartFn>(VxDownloadStartSlot) : nullptr;
  if (!start) return MediaIdle;
  const DownloadCallback completion{this, &CMediaObject::DownloadCompletion};
  char cachedPath[VX_DOWNLOAD_TEXT_SIZE] = {};
  localPath_.clear();
  starting_ = true;
  const int32_t request = start(url_.c_str(), &completion, DownloadFlags(), cachedPath);
  starting_ = false;
  if (request < 0) return MediaIdle;
  // A report that came inside the start call has settled the request.
  if (loadState_ != MediaIdle) return loadState_;
  requestId_ = request;
  cachedPath[VX_DOWNLOAD_TEXT_SIZE - 1] = '\0';
  if (cachedPath[0] == '\0') return MediaDownloading;
  localPath_ = cachedPath;
  ready_ = true;
  CancelRequest();
  return MediaFileReady;
}

int32_t CMediaObject::PollDownload() {
  auto status = downloadService_ ? downloadService_->Slot<VxDownloadGetStatusFn>(VxDownloadGetStatusSlot) : nullptr;
  if (!status || requestId_ < 0) return loadState_;
  const int32_t state = status(requestId_, nullptr, nullptr);
  if (state == DownloadDone && localPath_.empty()) return MediaDownloading;
  return state;
}

int32_t CMediaObject::EndDownload() {
  requestId_ = -1;
  return loadState_;
}

void CMediaObject::DownloadCompletion(int32_t message, DownloadRequest* request, void* self) {
  auto* object = static_cast<CMediaObject*>(self);
  if (message != VX_DOWNLOAD_EVENT || !request) return;
  // Reports of requests the object gave up (cancelled, or forgotten after a
  // failure) are not its business any more.
  if (!object->starting_ && request->slot != object->requestId_) return;
  object->OnDownloadDone(message, request);
}

// The service frees the request right after this report, so the object
// forgets its number: cancelling it later could stop someone else's download.
void CMediaObject::OnDownloadDone(int32_t /*message*/, DownloadRequest* request) {
  requestId_ = -1;
  if (request->state != DownloadDone) {
    loadState_ = request->state == DownloadCancelled ? MediaCancelled : MediaFailedNoFile;
    return;
  }
  localPath_ = DeliveredPath(*request);
  ready_ = !localPath_.empty();
  loadState_ = ready_ ? MediaFileReady : MediaFailedNoFile;
}

void CMediaObject::CancelRequest() {
  if (requestId_ < 0) return;
  const int32_t request = requestId_;
  requestId_ = -1;
  auto cancel = downloadService_ ? downloadService_->Slot<VxDownloadCancelFn>(VxDownloadCancelSlot) : nullptr;
  if (cancel) cancel(request);
}

void CMediaObject::SetPalette(const PaletteTable* palette) {
  if (!palette) return;
  palette_.count = std::clamp(palette->count, 0, kPaletteSize);
  std::copy_n(palette->entries.begin(), palette_.count, palette_.entries.begin());
}

void CMediaObject::GetPalette(PaletteTable* out) const {
  if (!out) return;
  out->count = palette_.count;
  std::copy_n(palette_.entries.begin(), palette_.count, out->entries.begin());
}

int32_t CMediaObject::GetImageInfo(MediaImageInfo* out) const {
  if (!out) return kMediaNoAnswer;
  if (!hasImage_ || !imageInfo_.bits) {
    out->bits = nullptr;
    return kMediaNoAnswer;
  }
  *out = imageInfo_;
  return 0;
}

void CMediaObject::DeliverFrame() {
  if (!image_) return;
  if (frameCallback_.fn) {
    frameCallback_.fn(kMediaMessage, image_, frameCallback_.context);
    return;
  }
  image_->Fill(fillColor_, GetSharedInverseMap(palette_));
}

void CMediaObject::RefreshImageInfo() {
  if (image_) imageInfo_ = image_->GetPixelMap();
}

bool CMediaObject::RequestImage(int32_t width, int32_t height, int32_t* failureState) {
  *failureState = ready_ ? MediaUnusable : MediaFailedNoFile;
  if (CheckPictureSize(width, height) != DecodeStatus::Complete) return false;
  placement_ = Placement{0, 0, static_cast<int16_t>(std::min(height, 0x7FFF)),
                         static_cast<int16_t>(std::min(width, 0x7FFF))};
  CDibImage* supplied = nullptr;
  if (notify_.fn) {
    ImageRequest request;
    request.placement = &placement_;
    GetPalette(&request.palette);
    request.pixelDepth = static_cast<uint16_t>(pixelDepth_);
    CopyToCaller(url_, request.url);
    request.image = &supplied;
    notify_.fn(kMediaMessage, &request, notify_.context);
  } else {
    ownImage_ = CDibImage::Create(width, height, pixelDepth_, &palette_, false, false);
    supplied = ownImage_.get();
  }
  if (!supplied) return false;
  image_ = supplied;
  imageInfo_ = image_->GetPixelMap();
  hasImage_ = true;
  DeliverFrame();
  return true;
}

}  // namespace vx
