#include "platform/media/AudioOutput.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/media/MediaPlatformLimits.h"

namespace vx {
namespace {

class NullStream final : public AudioStream {
 public:
  void Queue(std::span<const int16_t>) override {}
  int64_t QueuedFrames() const override { return 0; }
  void Pause() override {}
  void Resume() override {}
  void Clear() override {}
  bool IsNull() const override { return true; }
};

class SdlStream final : public AudioStream {
 public:
  explicit SdlStream(SDL_AudioDeviceID device) : device_(device) {}
  ~SdlStream() override { SDL_CloseAudioDevice(device_); }
  void Queue(std::span<const int16_t> frames) override {
    SDL_QueueAudio(device_, frames.data(), static_cast<Uint32>(frames.size_bytes()));
  }
  int64_t QueuedFrames() const override {
    return SDL_GetQueuedAudioSize(device_) / (sizeof(int16_t) * kOutputChannels);
  }
  void Pause() override { SDL_PauseAudioDevice(device_, 1); }
  void Resume() override { SDL_PauseAudioDevice(device_, 0); }
  void Clear() override { SDL_ClearQueuedAudio(device_); }
  bool IsNull() const override { return false; }

 private:
  SDL_AudioDeviceID device_;
};

enum class OutputState { Untried, Device, Null };

struct Output {
  OutputState state = OutputState::Untried;
  std::string name;
};

Output& TheOutput() {
  static Output output;
  return output;
}

void FallBack(const char* reason) {
  Output& output = TheOutput();
  output.state = OutputState::Null;
  output.name = "null";
  std::fprintf(stderr, "vantessel: no audio output (%s); sound plays silently\n", reason);
}

bool NullChosen() {
  const char* choice = std::getenv("VANTESSEL_AUDIO");
  return choice && std::strcmp(choice, "null") == 0;
}

// SDL's audio is started once, on the first stream.
void StartOutput() {
  Output& output = TheOutput();
  if (output.state != OutputState::Untried) return;
  if (NullChosen()) {
    output.state = OutputState::Null;
    output.name = "null";
    return;
  }
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return FallBack(SDL_GetError());
  const char* driver = SDL_GetCurrentAudioDriver();
  output.state = OutputState::Device;
  output.name = std::string("sdl:") + (driver ? driver : "");
}

}  // namespace

std::unique_ptr<AudioStream> OpenAudioStream() {
  StartOutput();
  if (TheOutput().state == OutputState::Device) {
    SDL_AudioSpec wanted{};
    wanted.freq = kOutputSampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kOutputChannels;
    wanted.samples = 1024;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device != 0) return std::make_unique<SdlStream>(device);
    FallBack(SDL_GetError());
  }
  return std::make_unique<NullStream>();
}

std::string AudioOutputName() { return TheOutput().name; }

}  // namespace vx
