#include "platform/media/AviFile.h"

#include <cassert>

#include <vantessel/MediaLayer.h>

#include "platform/Faults.h"
#include "platform/media/MediaLibrary.h"

namespace vx {

static_assert(static_cast<int32_t>(AviOpenResult::TooLarge) == VxMediaVideoTooLarge, "results in the table's order");

// A movie's pictures take their final size from the first one, which opening
// decodes, so the size read here holds for every frame.
AviFile::AviFile(const VxMediaLayer& library, VxMediaVideo* video) : library_(library), video_(video) {
  VxMediaVideoInfo info{};
  library_.videoInfo(video_, &info);
  fileInfo_ = {info.width, info.height, info.streamCount};
  videoInfo_ = {info.start, info.length, info.rate};
}

AviFile::~AviFile() { library_.closeVideo(video_); }

AviOpenResult AviFile::Open(const char* path, std::unique_ptr<AviFile>* out, const char* container) {
  out->reset();
  if (ShouldFail(FaultKind::kOpen)) return AviOpenResult::CannotOpen;
  const VxMediaLayer* library = MediaLibrary();
  if (!library) return AviOpenResult::CannotOpen;
  VxMediaVideo* video = nullptr;
  const int32_t opened = library->openVideo(path, container, &video);
  if (opened != VxMediaVideoOpened) return static_cast<AviOpenResult>(opened);
  assert(video && "an opened video has a handle");
  out->reset(new AviFile(*library, video));
  return AviOpenResult::Opened;
}

bool AviFile::Probe(const char* path, AviStreamInfo* out) {
  *out = {};
  const VxMediaLayer* library = MediaLibrary();
  VxMediaVideoInfo info{};
  if (!library || library->probeVideo(path, &info) == 0) return false;
  *out = {info.start, info.length, info.rate};
  return true;
}

std::span<const uint32_t> AviFile::GetFrame(int32_t n) {
  const uint32_t* pixels = library_.videoFrame(video_, n);
  if (!pixels) return {};
  return {pixels, static_cast<size_t>(fileInfo_.width) * static_cast<size_t>(fileInfo_.height)};
}

int32_t AviFile::FrameAt(double seconds) const { return library_.videoFrameAt(video_, seconds); }

}  // namespace vx
