#include "platform/media/AudioOutput.h"

#include <array>

#include <vantessel/MediaLayer.h>

#include "platform/media/MediaLibrary.h"
#include "platform/media/MediaPlatformLimits.h"

namespace vx {

AudioStream::AudioStream(const VxMediaLayer& library, VxMediaOutput* output) : library_(library), output_(output) {}

AudioStream::~AudioStream() { library_.closeOutput(output_); }

void AudioStream::Queue(std::span<const int16_t> frames) {
  library_.queueOutput(output_, frames.data(), static_cast<int32_t>(frames.size() / kOutputChannels));
}

int64_t AudioStream::QueuedFrames() { return library_.queuedFrames(output_); }

void AudioStream::Pause() { library_.pauseOutput(output_, 1); }

void AudioStream::Resume() { library_.pauseOutput(output_, 0); }

void AudioStream::Clear() { library_.clearOutput(output_); }

bool AudioStream::IsNull() const {
  VxMediaOutputState state{};
  library_.outputState(output_, &state);
  return state.isNull != 0;
}

AudioLevels AudioStream::Levels() const {
  VxMediaOutputState state{};
  library_.outputState(output_, &state);
  return {state.loudestLeft, state.loudestRight};
}

std::unique_ptr<AudioStream> OpenAudioStream() {
  const VxMediaLayer* library = MediaLibrary();
  VxMediaOutput* output = library ? library->openOutput() : nullptr;
  if (!output) return nullptr;
  return std::make_unique<AudioStream>(*library, output);
}

std::string AudioOutputName() {
  const VxMediaLayer* library = LoadedMediaLibrary();
  if (!library) return "";
  std::array<char, VX_MEDIA_NAME_SIZE> name{};
  library->outputName(name.data(), static_cast<int32_t>(name.size()));
  return name.data();
}

}  // namespace vx
