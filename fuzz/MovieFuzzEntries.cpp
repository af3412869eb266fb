#include "fuzz/MovieFuzzEntries.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/media/AviFile.h"
#include "platform/media/MediaCommands.h"
#include "platform/media/MediaPlatformLimits.h"
#include "platform/media/PictFile.h"

namespace vx::fuzz {
namespace {

// The readers take file names: the bytes become a file in memory, named by
// its descriptor.
class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("vantessel-fuzz", 0)) {
    for (size_t written = 0; fd_ >= 0 && written < size;) {
      const ssize_t count = ::write(fd_, data + written, size - written);
      if (count <= 0) break;
      written += static_cast<size_t>(count);
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  bool IsOpen() const { return fd_ >= 0; }
  const char* Path() const { return path_.c_str(); }

 private:
  int fd_;
  std::string path_;
};

constexpr int32_t kMaxFramesDecoded = 12;
constexpr int32_t kCorner = 64;

bool FrameFits(std::span<const uint32_t> pixels, const AviFileInfo& info) {
  return pixels.empty() || pixels.size() == static_cast<size_t>(info.width) * static_cast<size_t>(info.height);
}

}  // namespace

bool DecodeMovieBytes(const uint8_t* data, size_t size) {
  if (size == 0) return true;
  const char* container = (data[0] & 1) != 0 ? "mov" : "avi";
  const MemoryFile file(data + 1, size - 1);
  std::unique_ptr<AviFile> movie;
  if (!file.IsOpen() || AviFile::Open(file.Path(), &movie, container) != AviOpenResult::Opened) return true;
  const AviFileInfo& info = movie->FileInfo();
  if (info.width <= 0 || info.height <= 0 || int64_t{info.width} * info.height > kMaxMovieFramePixels) return false;
  const AviStreamInfo& video = movie->VideoInfo();
  const int32_t frames = std::min(video.length, kMaxFramesDecoded);
  for (int32_t n = 0; n < frames; ++n)
    if (!FrameFits(movie->GetFrame(video.start + n), info)) return false;
  for (int32_t n = frames - 1; n >= 0; n -= 3)
    if (!FrameFits(movie->GetFrame(video.start + n), info)) return false;
  if (!FrameFits(movie->GetFrame(video.start + video.length - 1), info)) return false;
  const int32_t shown = movie->FrameAt(0.5);
  return video.length == 0 || (shown >= video.start && shown < video.start + video.length);
}

bool PlaySoundBytes(const uint8_t* data, size_t size) {
  static const bool silent = setenv("VANTESSEL_AUDIO", "null", 1) == 0;
  const MemoryFile file(data, size);
  uint32_t device = 0;
  if (!silent || !file.IsOpen() || MediaOpen({MediaDeviceType::WaveAudio, file.Path(), "fuzz"}, &device) != kMediaOk)
    return true;
  ManualClock clock;
  const int64_t lead = int64_t{kOutputSampleRate} * kOutputLeadMs / 1000 + kAudioBlockFrames;
  bool bounded = true;
  auto play = [&](int steps) {
    static_cast<void>(MediaPlay(device));
    for (int step = 0; step < steps; ++step) {
      clock.Advance(100);
      MediaPump();
      MediaDeviceState state;
      bounded = bounded && GetMediaDeviceState(device, &state) && state.queuedFrames <= lead &&
                state.loudestLeft <= 32768 && state.loudestRight <= 32768;
    }
  };
  play(6);
  MediaSetWaveVolume(device, 0x80004000u);
  static_cast<void>(MediaSeekToStart(device));
  play(3);
  MediaClose(device);
  return bounded;
}

bool DrawPictBytes(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  PictHeader header;
  if (ReadPictHeader(bytes, &header) != PictStatus::Complete) return true;
  const int32_t width = header.frame.Width();
  const int32_t height = header.frame.Height();
  if (width <= 0 || height <= 0 || width > kMaxPictSide || height > kMaxPictSide ||
      int64_t{width} * height > kMaxPictPixels)
    return false;
  const int32_t cornerWidth = std::min(width, kCorner);
  const int32_t cornerHeight = std::min(height, kCorner);
  std::vector<uint32_t> corner(static_cast<size_t>(cornerWidth) * static_cast<size_t>(cornerHeight));
  static_cast<void>(DrawPict(bytes, header, corner.data(), cornerWidth, cornerHeight, 0, 0));
  static_cast<void>(
      DrawPict(bytes, header, corner.data(), cornerWidth, cornerHeight, width - cornerWidth, height - cornerHeight));
  return true;
}

}  // namespace vx::fuzz
