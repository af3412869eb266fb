// Where sound goes: one output stream per open sound device, so that each
// sound's volume stays its own. Streams go to the machine's audio device
// through SDL2; where there is none (CI, a server), every stream goes to a
// null output that accepts and drops the sound at once. The fall-back is
// reported once on the standard error stream and by AudioOutputName; it
// never waits for a device.
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

class AudioStream {
 public:
  virtual ~AudioStream() = default;
  // Hands interleaved stereo frames to the device.
  virtual void Queue(std::span<const int16_t> frames) = 0;
  // Frames handed over and not played yet; always 0 for the null output.
  virtual int64_t QueuedFrames() const = 0;
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  // Drops what was handed over and not played.
  virtual void Clear() = 0;
  virtual bool IsNull() const = 0;
};

// A stream of kOutputChannels at kOutputSampleRate: on the device when one
// opens, else on the null output.
std::unique_ptr<AudioStream> OpenAudioStream();

// "sdl:<driver>" once a device opened, "null" after the fall-back, "" before
// the first stream.
VX_PLATFORM_API std::string AudioOutputName();

}  // namespace vx
