#include "engine/media/formats/jpeg/JpegMedia.h"

#include <algorithm>

#include "engine/hostlink/HostComponent.h"
#include "engine/media/MediaLimits.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/StillImageMedia.h"

namespace vx {

CJpegMedia::CJpegMedia() : service_(GetDownloadComponent()), decoder_(std::make_unique<CJpegDecoder>()) {}

CJpegMedia::~CJpegMedia() {
  if (RequestId() >= 0) GiveBackBody(RequestId());
}

// The service frees the request after this report but keeps the memory copy
// of a finished body until it is given back; the rest is read from the file.
void CJpegMedia::OnDownloadDone(int32_t message, DownloadRequest* request) {
  GiveBackBody(request->slot);
  CMediaObject::OnDownloadDone(message, request);
}

// A picture whose last row is in waits for the download's end like any
// other, so that its file stays in the cache.
int32_t CJpegMedia::PollDownload() {
  const int32_t request = RequestId();
  const std::span<const uint8_t> body = finished_ || request < 0 ? std::span<const uint8_t>() : ReceivedBody(request);
  if (body.empty()) return CMediaObject::PollDownload();
  DecodeStatus status = StartImage(body, false);
  if (status == DecodeStatus::Complete) status = DecodeRows(body, false);
  if (status == DecodeStatus::Pending || status == DecodeStatus::Complete) return CMediaObject::PollDownload();
  GiveBackBody(request);
  CancelRequest();
  return LoadStateAfterDecode(status, false);
}

int32_t CJpegMedia::Load() {
  if (finished_) return MediaComplete;
  DecodeStatus status = ReadWholeFile(LocalPath(), &file_);
  if (status == DecodeStatus::Complete) status = StartImage(file_, true);
  if (status == DecodeStatus::Complete) return MediaDecoding;
  EndDecoding();
  return LoadStateAfterDecode(status, IsReady());
}

int32_t CJpegMedia::DecodeStep() {
  const DecodeStatus status = DecodeRows(file_, true);
  return status == DecodeStatus::Pending ? MediaDecoding : LoadStateAfterDecode(status, IsReady());
}

DecodeStatus CJpegMedia::StartImage(std::span<const uint8_t> arrived, bool allArrived) {
  if (imageMade_) return DecodeStatus::Complete;
  if (!decoder_) return DecodeStatus::Corrupt;
  const DecodeStatus header = decoder_->ReadHeader(arrived, allArrived);
  if (header == DecodeStatus::Pending) return header;
  const PictureSize size = decoder_->Size();
  // Without an image the load ends as it does for a corrupt file.
  int32_t failure = 0;
  if (header != DecodeStatus::Complete || !RequestImage(size.width, size.height, &failure)) {
    EndDecoding();
    return header == DecodeStatus::Complete ? DecodeStatus::Corrupt : header;
  }
  imageMade_ = true;
  GetPalette(&output_.palette);
  if (GetPixelDepth() == 8) output_.inverseMap = GetSharedInverseMap(output_.palette);
  output_.noise = Noise();
  return DecodeStatus::Complete;
}

DecodeStatus CJpegMedia::DecodeRows(std::span<const uint8_t> arrived, bool allArrived) {
  if (finished_) return DecodeStatus::Complete;
  if (!decoder_ || !imageMade_) return DecodeStatus::Corrupt;
  const DecodeStatus status = decoder_->DecodeRows(
      arrived, allArrived, WindowForPlacement(ImageInfo(), GetPlacement(), decoder_->Size()), output_, kJpegRowsPerStep);
  if (status == DecodeStatus::Complete) finished_ = true;
  if (status != DecodeStatus::Pending) EndDecoding();
  return status;
}

std::span<const uint8_t> CJpegMedia::ReceivedBody(int32_t request) const {
  auto status = service_ ? service_->Slot<VxDownloadGetStatusFn>(VxDownloadGetStatusSlot) : nullptr;
  auto buffer = service_ ? service_->Slot<VxDownloadGetSlotBufferFn>(VxDownloadGetSlotBufferSlot) : nullptr;
  if (!status || !buffer) return {};
  int32_t total = -1;
  int32_t received = 0;
  static_cast<void>(status(request, &total, &received));
  const auto* bytes = static_cast<const uint8_t*>(buffer(request));
  // The copy holds no more than the announced length.
  if (!bytes || total <= 0 || received <= 0) return {};
  return {bytes, static_cast<size_t>(std::min(total, received))};
}

void CJpegMedia::GiveBackBody(int32_t request) const {
  auto release = service_ ? service_->Slot<VxDownloadFreeSlotBufferFn>(VxDownloadFreeSlotBufferSlot) : nullptr;
  if (release) release(request);
}

void CJpegMedia::EndDecoding() {
  decoder_.reset();
  file_ = {};
}

}  // namespace vx
