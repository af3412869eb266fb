// The sound of a wave, AVI or QuickTime file, decoded by FFmpeg and
// resampled to the output's signed 16-bit stereo, read from the start
// onwards. Sound of a rate or channel count beyond the limits is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct AVChannelLayout;

namespace vx {

class SoundDecoder {
 public:
  // Null when the file cannot be read as that format ("wav", "avi", "mov")
  // or has no sound FFmpeg can decode.
  static std::unique_ptr<SoundDecoder> Open(const std::string& path, const char* formatName);
  ~SoundDecoder();
  SoundDecoder(const SoundDecoder&) = delete;
  SoundDecoder& operator=(const SoundDecoder&) = delete;

  // The sound's length in milliseconds and its own sample rate.
  int64_t LengthMs() const { return lengthMs_; }
  int32_t SampleRate() const { return sampleRate_; }

  // Fills out with interleaved stereo frames; returns the frames written,
  // fewer than asked at the end (0 once everything was read).
  int32_t Read(std::span<int16_t> out);
  // Back to the start; false when the file cannot be read again.
  [[nodiscard]] bool Rewind();

 private:
  struct State;
  SoundDecoder();
  [[nodiscard]] bool OpenState();
  // Makes the resampler for sound of that rate, FFmpeg sample format and
  // channel layout; false for sound beyond the limits.
  [[nodiscard]] bool Resample(int rate, int sampleFormat, const AVChannelLayout& layout);
  [[nodiscard]] bool DecodeMore();

  std::string path_;
  std::string formatName_;
  std::unique_ptr<State> state_;
  int64_t lengthMs_ = 0;
  int32_t sampleRate_ = 0;
};

}  // namespace vx
