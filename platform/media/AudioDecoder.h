// The sound of a wave, AVI or QuickTime file, decoded by the media library
// (MediaLibrary.h) and resampled to the output's signed 16-bit stereo, read
// from the start onwards. Sound of a rate or channel count beyond the
// limits is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct VxMediaLayer;
struct VxMediaSound;

namespace vx {

class AudioStream;

class AudioDecoder {
 public:
  // Null when the file cannot be read as that format ("wav", "avi", "mov"),
  // has no sound that can be decoded, or there is no media library.
  static std::unique_ptr<AudioDecoder> Open(const std::string& path, const char* formatName);
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  // The sound's length in milliseconds and its own sample rate.
  int64_t LengthMs() const { return lengthMs_; }
  int32_t SampleRate() const { return sampleRate_; }

  // Fills out with interleaved stereo frames; returns the frames written,
  // fewer than asked at the end (0 once everything was read).
  int32_t Read(std::span<int16_t> out);
  // Back to the start; false when the file cannot be read again.
  [[nodiscard]] bool Rewind();

 private:
  AudioDecoder(const VxMediaLayer& library, VxMediaSound* sound);

  const VxMediaLayer& library_;
  VxMediaSound* sound_;
  int64_t lengthMs_ = 0;
  int32_t sampleRate_ = 0;
};

// Hands the output the decoder's next sound, scaled per channel, until it
// holds kOutputLeadMs of it.
void FeedAudio(AudioDecoder& sound, AudioStream& output, double leftGain, double rightGain);

}  // namespace vx
