// Where sound goes: one output stream per open sound device, so that each
// sound's volume stays its own, mixed by the media library (MediaLibrary.h)
// into the machine's audio device. Until that device is open, and for good
// where there is none, a stream plays what it is handed on the platform
// clock (Clock.h) and drops it; it never waits for the device.
//
// Setting VANTESSEL_AUDIO to "null" chooses the null output from the start
// (the tests do, so that they never make a sound).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/PlatformExport.h"

struct VxMediaLayer;
struct VxMediaOutput;

namespace vx {

// The loudest sample of each channel handed to a stream (0..32768).
struct AudioLevels {
  int32_t left = 0;
  int32_t right = 0;
};

class AudioStream {
 public:
  AudioStream(const VxMediaLayer& library, VxMediaOutput* output);
  ~AudioStream();
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;

  // Hands interleaved stereo frames over to be played.
  void Queue(std::span<const int16_t> frames);
  // Frames handed over and not played yet.
  int64_t QueuedFrames();
  // A stream starts paused.
  void Pause();
  void Resume();
  // Drops what was handed over and not played.
  void Clear();
  // True while the sound goes to the null output.
  bool IsNull() const;
  AudioLevels Levels() const;

 private:
  const VxMediaLayer& library_;
  VxMediaOutput* output_;
};

// A stream of kOutputChannels at kOutputSampleRate; null without a media
// library.
std::unique_ptr<AudioStream> OpenAudioStream();

// "" before the first stream, "opening" while the device is being opened,
// then "sdl:<driver>" once it is open, or "null" after the fall-back.
VX_PLATFORM_API std::string AudioOutputName();

}  // namespace vx
