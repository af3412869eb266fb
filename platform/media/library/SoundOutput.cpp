#include "platform/media/library/SoundOutput.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/media/MediaPlatformLimits.h"
#include "platform/media/library/HostClock.h"

namespace vx {

// One stream's sound, handed over and not played yet.
struct SoundBuffer {
  std::deque<int16_t> samples;  // interleaved stereo
  bool paused = true;
  // The null output's play: the clock it has played up to, and the part of
  // a frame that was due and not played yet (in thousandths).
  uint64_t clockMs = 0;
  int64_t owedMilliFrames = 0;
  // The loudest sample of each channel handed over (0..32768).
  int32_t loudestLeft = 0;
  int32_t loudestRight = 0;
};

namespace {

enum class OutputState { Untried, Opening, Device, Null };

constexpr int32_t kDeviceFrames = 1024;

// What the streams share with the device thread and SDL's callback thread;
// the streams' buffers are touched only under its lock. It is never
// destroyed, since both threads may outlive the program's static objects.
struct Mixer {
  std::mutex lock;
  OutputState state = OutputState::Untried;
  std::string name;
  std::vector<SoundBuffer*> streams;
  std::vector<int32_t> sum;  // the callback's scratch
};

Mixer& TheMixer() {
  static Mixer* const mixer = new Mixer();
  return *mixer;
}

bool NullChosen() {
  const char* choice = std::getenv("VANTESSEL_AUDIO");
  return choice && std::strcmp(choice, "null") == 0;
}

void FallBack(const std::string& reason) {
  Mixer& mixer = TheMixer();
  const std::lock_guard<std::mutex> held(mixer.lock);
  if (mixer.state == OutputState::Null) return;
  mixer.state = OutputState::Null;
  mixer.name = "null";
  std::fprintf(stderr, "vantessel: no audio output (%s); sound plays silently\n", reason.c_str());
}

// SDL's callback: the unpaused streams' next sound, added up and held to
// 16 bits.
void MixStreams(void* /*unused*/, Uint8* bytes, int length) {
  Mixer& mixer = TheMixer();
  const size_t count = static_cast<size_t>(length) / sizeof(int16_t);
  const std::lock_guard<std::mutex> held(mixer.lock);
  mixer.sum.assign(count, 0);
  for (SoundBuffer* stream : mixer.streams) {
    if (stream->paused) continue;
    const size_t taken = std::min(count, stream->samples.size());
    for (size_t i = 0; i < taken; ++i) mixer.sum[i] += stream->samples[i];
    stream->samples.erase(stream->samples.begin(), stream->samples.begin() + static_cast<std::ptrdiff_t>(taken));
  }
  auto* out = reinterpret_cast<int16_t*>(bytes);
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<int16_t>(std::clamp(mixer.sum[i], -32768, 32767));
}

// On the device thread: every call here may take long. The error text is
// SDL's for this thread, kept before its thread data is freed.
void OpenDevice() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_AudioDeviceID device = 0;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    SDL_AudioSpec wanted{};
    wanted.freq = kOutputSampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kOutputChannels;
    wanted.samples = kDeviceFrames;
    wanted.callback = MixStreams;
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  }
  if (device == 0) {
    const std::string reason = SDL_GetError();
    SDL_TLSCleanup();
    return FallBack(reason);
  }
  const char* driver = SDL_GetCurrentAudioDriver();
  {
    Mixer& mixer = TheMixer();
    const std::lock_guard<std::mutex> held(mixer.lock);
    mixer.state = OutputState::Device;
    mixer.name = std::string("sdl:") + (driver ? driver : "");
  }
  SDL_PauseAudioDevice(device, 0);
  SDL_TLSCleanup();
}

// The device is tried once, on the first stream.
void StartOutput() {
  Mixer& mixer = TheMixer();
  {
    const std::lock_guard<std::mutex> held(mixer.lock);
    if (mixer.state != OutputState::Untried) return;
    if (NullChosen()) {
      mixer.state = OutputState::Null;
      mixer.name = "null";
      return;
    }
    mixer.state = OutputState::Opening;
    mixer.name = "opening";
  }
  try {
    std::thread(OpenDevice).detach();
  } catch (const std::system_error& error) {
    FallBack(error.what());
  }
}

// The null output plays a stream's sound on the clock; called under the lock
// while there is no device.
void PlayOnClock(SoundBuffer& stream) {
  const uint64_t now = HostNowMs();
  const uint64_t elapsed = now > stream.clockMs ? now - stream.clockMs : 0;
  stream.clockMs = now;
  if (stream.paused) return;
  stream.owedMilliFrames += static_cast<int64_t>(elapsed) * kOutputSampleRate;
  const auto frames = static_cast<size_t>(stream.owedMilliFrames / 1000);
  stream.owedMilliFrames %= 1000;
  const size_t dropped = std::min(frames * kOutputChannels, stream.samples.size());
  stream.samples.erase(stream.samples.begin(), stream.samples.begin() + static_cast<std::ptrdiff_t>(dropped));
}

// Takes the lock for a stream's call and brings its null play up to date.
class StreamLock {
 public:
  explicit StreamLock(SoundBuffer& stream) : held_(TheMixer().lock) {
    if (TheMixer().state != OutputState::Device) PlayOnClock(stream);
  }

 private:
  std::lock_guard<std::mutex> held_;
};

}  // namespace

SoundStream::SoundStream() : buffer_(std::make_unique<SoundBuffer>()) {
  buffer_->clockMs = HostNowMs();
  Mixer& mixer = TheMixer();
  const std::lock_guard<std::mutex> held(mixer.lock);
  mixer.streams.push_back(buffer_.get());
}

SoundStream::~SoundStream() {
  Mixer& mixer = TheMixer();
  const std::lock_guard<std::mutex> held(mixer.lock);
  std::erase(mixer.streams, buffer_.get());
}

void SoundStream::Queue(std::span<const int16_t> samples) {
  const StreamLock held(*buffer_);
  SoundBuffer& buffer = *buffer_;
  for (size_t i = 0; i + 1 < samples.size(); i += 2) {
    buffer.loudestLeft = std::max(buffer.loudestLeft, std::abs(static_cast<int32_t>(samples[i])));
    buffer.loudestRight = std::max(buffer.loudestRight, std::abs(static_cast<int32_t>(samples[i + 1])));
  }
  buffer.samples.insert(buffer.samples.end(), samples.begin(), samples.end());
}

int64_t SoundStream::QueuedFrames() {
  const StreamLock held(*buffer_);
  return static_cast<int64_t>(buffer_->samples.size() / kOutputChannels);
}

void SoundStream::SetPaused(bool paused) {
  const StreamLock held(*buffer_);
  buffer_->paused = paused;
}

void SoundStream::Clear() {
  const StreamLock held(*buffer_);
  buffer_->samples.clear();
}

VxMediaOutputState SoundStream::State() const {
  Mixer& mixer = TheMixer();
  const std::lock_guard<std::mutex> held(mixer.lock);
  return {mixer.state != OutputState::Device ? 1 : 0, buffer_->loudestLeft, buffer_->loudestRight};
}

std::unique_ptr<SoundStream> OpenSoundStream() {
  StartOutput();
  return std::make_unique<SoundStream>();
}

std::string SoundOutputName() {
  Mixer& mixer = TheMixer();
  const std::lock_guard<std::mutex> held(mixer.lock);
  return mixer.name;
}

}  // namespace vx
