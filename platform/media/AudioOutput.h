// Where sound goes: one output stream per open sound device, so that each
// sound's volume stays its own, mixed into the machine's audio device
// through SDL2.
//
// The device is opened on a thread of its own, the first time a stream is
// asked for, since reaching it can take long (a sound server that accepts
// and never answers holds SDL for half a minute); SDL's signal handlers are
// switched off first, so that SIGTERM and Ctrl+C still end the program.
// Until the device is open, and for good where there is none (CI, a
// server), streams go to the null output, which plays what it is handed on
// the platform clock (Clock.h) and drops it. The engine's thread never
// waits for the device. A missing device is reported once on the standard
// error stream and by AudioOutputName.
//
// Setting VANTESSEL_AUDIO to "null" chooses the null output from the start
// (the tests do, so that they never make a sound).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/PlatformExport.h"

namespace vx {

// The loudest sample of each channel handed to a stream (0..32768).
struct AudioLevels {
  int32_t left = 0;
  int32_t right = 0;
};

struct AudioBuffer;

class AudioStream {
 public:
  AudioStream();
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
  std::unique_ptr<AudioBuffer> buffer_;
};

// A stream of kOutputChannels at kOutputSampleRate; it never waits.
std::unique_ptr<AudioStream> OpenAudioStream();

// "" before the first stream, "opening" while the device is being opened,
// then "sdl:<driver>" once it is open, or "null" after the fall-back.
VX_PLATFORM_API std::string AudioOutputName();

}  // namespace vx
