// The one export of libvxmedia.so: the table through which the platform
// layer reaches the library's readers and outputs. Each function turns the
// table's opaque handles back into the classes behind them.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <vantessel/Export.h>
#include <vantessel/MediaLayer.h>

#include "platform/media/MediaPlatformLimits.h"
#include "platform/media/library/HostClock.h"
#include "platform/media/library/MovieFacts.h"
#include "platform/media/library/SoundDecoder.h"
#include "platform/media/library/SoundOutput.h"
#include "platform/media/library/VideoReader.h"

struct VxMediaVideo {
  std::unique_ptr<vx::VideoReader> reader;
};
struct VxMediaSound {
  std::unique_ptr<vx::SoundDecoder> decoder;
};
struct VxMediaOutput {
  std::unique_ptr<vx::SoundStream> stream;
};

namespace vx {
namespace {

int32_t OpenVideo(const char* path, const char* container, VxMediaVideo** out) {
  *out = nullptr;
  if (!path || !container) return VxMediaVideoCannotOpen;
  std::unique_ptr<VideoReader> reader;
  const VxMediaVideoResult result = VideoReader::Open(path, container, &reader);
  if (result == VxMediaVideoOpened) *out = new VxMediaVideo{std::move(reader)};
  return result;
}

void GetVideoInfo(const VxMediaVideo* video, VxMediaVideoInfo* out) { *out = video->reader->Info(); }

const uint32_t* VideoFrame(VxMediaVideo* video, int32_t frame) {
  const std::span<const uint32_t> pixels = video->reader->GetFrame(frame);
  return pixels.empty() ? nullptr : pixels.data();
}

int32_t VideoFrameAt(const VxMediaVideo* video, double seconds) { return video->reader->FrameAt(seconds); }

void CloseVideo(VxMediaVideo* video) { delete video; }

int32_t ProbeVideo(const char* path, VxMediaVideoInfo* out) {
  *out = {};
  return path && VideoReader::Probe(path, out) ? 1 : 0;
}

int32_t Describe(const char* path, const char* container, VxMediaMovieFacts* out) {
  if (!path || !container) {
    *out = {};
    return 0;
  }
  return DescribeMovie(path, container, out) ? 1 : 0;
}

VxMediaSound* OpenSound(const char* path, const char* container) {
  if (!path || !container) return nullptr;
  std::unique_ptr<SoundDecoder> decoder = SoundDecoder::Open(path, container);
  return decoder ? new VxMediaSound{std::move(decoder)} : nullptr;
}

void GetSoundInfo(const VxMediaSound* sound, VxMediaSoundInfo* out) {
  *out = {sound->decoder->LengthMs(), sound->decoder->SampleRate()};
}

int32_t ReadSound(VxMediaSound* sound, int16_t* samples, int32_t frames) {
  if (frames <= 0) return 0;
  return sound->decoder->Read(std::span<int16_t>(samples, static_cast<size_t>(frames) * kOutputChannels));
}

int32_t RewindSound(VxMediaSound* sound) { return sound->decoder->Rewind() ? 1 : 0; }

void CloseSound(VxMediaSound* sound) { delete sound; }

VxMediaOutput* OpenOutput() { return new VxMediaOutput{OpenSoundStream()}; }

void QueueOutput(VxMediaOutput* output, const int16_t* samples, int32_t frames) {
  if (frames <= 0) return;
  output->stream->Queue(std::span<const int16_t>(samples, static_cast<size_t>(frames) * kOutputChannels));
}

int64_t QueuedFrames(VxMediaOutput* output) { return output->stream->QueuedFrames(); }

void PauseOutput(VxMediaOutput* output, int32_t paused) { output->stream->SetPaused(paused != 0); }

void ClearOutput(VxMediaOutput* output) { output->stream->Clear(); }

void GetOutputState(const VxMediaOutput* output, VxMediaOutputState* out) { *out = output->stream->State(); }

void CloseOutput(VxMediaOutput* output) { delete output; }

int32_t OutputName(char* text, int32_t size) {
  if (size <= 0) return 0;
  const std::string name = SoundOutputName();
  const size_t length = std::min(name.size(), static_cast<size_t>(size) - 1);
  std::memcpy(text, name.data(), length);
  text[length] = '\0';
  return static_cast<int32_t>(length);
}

constexpr VxMediaLayer kLayer = {
    .size = sizeof(VxMediaLayer),
    .version = VX_MEDIA_LAYER_VERSION,
    .openVideo = OpenVideo,
    .videoInfo = GetVideoInfo,
    .videoFrame = VideoFrame,
    .videoFrameAt = VideoFrameAt,
    .closeVideo = CloseVideo,
    .probeVideo = ProbeVideo,
    .describeMovie = Describe,
    .openSound = OpenSound,
    .soundInfo = GetSoundInfo,
    .readSound = ReadSound,
    .rewindSound = RewindSound,
    .closeSound = CloseSound,
    .openOutput = OpenOutput,
    .queueOutput = QueueOutput,
    .queuedFrames = QueuedFrames,
    .pauseOutput = PauseOutput,
    .clearOutput = ClearOutput,
    .outputState = GetOutputState,
    .closeOutput = CloseOutput,
    .outputName = OutputName,
};

}  // namespace
}  // namespace vx

VX_EXTERN_C VX_EXPORT const VxMediaLayer* VxMediaEntry(const VxMediaHost* host) {
  if (!host || host->size != sizeof(VxMediaHost) || host->version != VX_MEDIA_LAYER_VERSION || !host->nowMs)
    return nullptr;
  vx::SetHostClock(host->nowMs);
  return &vx::kLayer;
}
