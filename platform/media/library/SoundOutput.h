// Where sound goes: one output stream per open sound, so that each sound's
// volume stays its own, mixed into the machine's audio device through SDL2.
//
// The device is opened on a thread of its own, the first time a stream is
// asked for, since reaching it can take long (a sound server that accepts
// and never answers holds SDL for half a minute); SDL's signal handlers are
// switched off first, so that SIGTERM and Ctrl+C still end the program.
// Until the device is open, and for good where there is none (CI, a
// server), streams go to the null output, which plays what it is handed on
// the host's clock (HostClock.h) and drops it. The caller's thread never
// waits for the device. A missing device is reported once on the standard
// error stream and by SoundOutputName.
//
// Setting VANTESSEL_AUDIO to "null" chooses the null output from the start
// (the tests do, so that they never make a sound).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <vantessel/MediaLayer.h>

namespace vx {

struct SoundBuffer;

class SoundStream {
 public:
  SoundStream();
  ~SoundStream();
  SoundStream(const SoundStream&) = delete;
  SoundStream& operator=(const SoundStream&) = delete;

  // Hands interleaved stereo samples over to be played.
  void Queue(std::span<const int16_t> samples);
  // Frames handed over and not played yet.
  int64_t QueuedFrames();
  // A stream starts paused.
  void SetPaused(bool paused);
  // Drops what was handed over and not played.
  void Clear();
  VxMediaOutputState State() const;

 private:
  std::unique_ptr<SoundBuffer> buffer_;
};

// A stream of kOutputChannels at kOutputSampleRate; it never waits.
std::unique_ptr<SoundStream> OpenSoundStream();

// "" before the first stream, "opening" while the device is being opened,
// then "sdl:<driver>" once it is open, or "null" after the fall-back.
std::string SoundOutputName();

}  // namespace vx
