// The command table of the sound and movie devices: a device is opened on a
// wave or AVI file under an alias, then played, sought, stopped and asked for
// its length and position, as the multimedia commands of the original
// platform allow. Positions run on the platform clock (Clock.h), so a test
// that installs a ManualClock steps playback by hand.
//
// Sound goes to an output stream of the device's own (AudioOutput.h); its
// volume is the device's "setaudio" volumes times its wave volume word.
// Movies play only their sound here: pictures come from AviFile.
//
// Every command is written to a log as text ("play wav1", "setaudio dgv1
// left volume to 500"), so that tests can read what was sent. Results are
// 0 for success and a MediaError otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/PlatformExport.h"

namespace vx {

enum class MediaDeviceType : int32_t { WaveAudio, AviVideo };
enum class MediaTimeFormat : int32_t { Milliseconds = 0, Frames = 3 };
enum class MediaStatusItem : int32_t { Length = 1, Position = 2, SamplesPerSecond = 0x4003 };
enum class AudioChannel : int32_t { Left, Right };

// The commands, in the order of the table of their names.
enum class MediaCommand : int32_t {
  Open,
  Close,
  Play,
  Seek,
  Stop,
  Set,
  Status,
  SetAudio,
  AudioStatus,
  WaveVolume,
};
inline constexpr int32_t kMediaCommandCount = static_cast<int32_t>(MediaCommand::WaveVolume) + 1;

enum MediaError : int32_t {
  kMediaOk = 0,
  kMediaNoDevice = 1,       // no open device of that id or alias
  kMediaCannotOpen = 2,     // the file is missing or not of the device's type
  kMediaAliasInUse = 3,
  kMediaTooManyDevices = 4,
  kMediaNotSupported = 5,   // an item the device cannot answer
  kMediaCommandFailed = 6,  // the device refused (an injected failure)
};

struct MediaOpenRequest {
  MediaDeviceType type = MediaDeviceType::WaveAudio;
  const char* path = nullptr;
  const char* alias = nullptr;
};

// The device's id (never 0, never reused) goes to *device.
[[nodiscard]] VX_PLATFORM_API int32_t MediaOpen(const MediaOpenRequest& request, uint32_t* device);
VX_PLATFORM_API int32_t MediaClose(uint32_t device);
[[nodiscard]] VX_PLATFORM_API int32_t MediaPlay(uint32_t device);
// Seeks to the start; playing stops.
[[nodiscard]] VX_PLATFORM_API int32_t MediaSeekToStart(uint32_t device);
VX_PLATFORM_API int32_t MediaStop(uint32_t device);
VX_PLATFORM_API int32_t MediaSetTimeFormat(uint32_t device, MediaTimeFormat format);
// A movie device plays its sound only ("set video off"); nothing else changes.
VX_PLATFORM_API int32_t MediaSetVideoOff(uint32_t device);
// Length and position in the device's time format (frames only for movies);
// samples per second of a wave device's sound.
[[nodiscard]] VX_PLATFORM_API int32_t MediaStatus(uint32_t device, MediaStatusItem item, int64_t* value);
// "setaudio <alias> left|right volume to <volume>", 0..1000 (clamped).
VX_PLATFORM_API int32_t MediaSetAudio(const char* alias, AudioChannel channel, int32_t volume);
// "status <alias> left|right volume".
[[nodiscard]] VX_PLATFORM_API int32_t MediaAudioStatus(const char* alias, AudioChannel channel, int32_t* volume);
// The wave output volume of the device's own output: left in the low word,
// right in the high word, 0..0xFFFF each.
VX_PLATFORM_API int32_t MediaSetWaveVolume(uint32_t device, uint32_t volumeWord);

// Hands the playing devices' next sound to their outputs; the media objects
// call it on every step, and playing and seeking call it too.
VX_PLATFORM_API void MediaPump();

// What a test may see of a device.
struct MediaDeviceState {
  bool playing = false;
  int32_t leftVolume = 0;   // "setaudio", 0..1000
  int32_t rightVolume = 0;
  uint32_t waveVolume = 0;  // the output word
  bool hasSound = false;
  bool nullOutput = true;
  int64_t queuedFrames = 0;  // handed to the output and not played yet
  // The loudest sample of each channel handed to the output so far (0..32768).
  int32_t loudestLeft = 0;
  int32_t loudestRight = 0;
};
// False when no device of that id is open.
[[nodiscard]] VX_PLATFORM_API bool GetMediaDeviceState(uint32_t device, MediaDeviceState* out);
VX_PLATFORM_API int32_t OpenMediaDeviceCount();

// The commands sent since the log was last cleared, oldest first.
VX_PLATFORM_API std::vector<std::string> MediaCommandLog();
VX_PLATFORM_API void ClearMediaCommandLog();

// Makes the nth command of the kind from now (n >= 1) fail, once; 0 disarms.
VX_PLATFORM_API void InjectMediaCommandFailure(MediaCommand command, uint32_t n);
VX_PLATFORM_API void ClearMediaCommandFailures();

}  // namespace vx
