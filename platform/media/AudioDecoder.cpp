#include "platform/media/AudioDecoder.h"

#include <array>

#include <vantessel/MediaLayer.h>

#include "platform/media/AudioOutput.h"
#include "platform/media/MediaLibrary.h"
#include "platform/media/MediaPlatformLimits.h"

namespace vx {

AudioDecoder::AudioDecoder(const VxMediaLayer& library, VxMediaSound* sound) : library_(library), sound_(sound) {
  VxMediaSoundInfo info{};
  library_.soundInfo(sound_, &info);
  lengthMs_ = info.lengthMs;
  sampleRate_ = info.sampleRate;
}

AudioDecoder::~AudioDecoder() { library_.closeSound(sound_); }

std::unique_ptr<AudioDecoder> AudioDecoder::Open(const std::string& path, const char* formatName) {
  const VxMediaLayer* library = MediaLibrary();
  VxMediaSound* sound = library ? library->openSound(path.c_str(), formatName) : nullptr;
  if (!sound) return nullptr;
  return std::unique_ptr<AudioDecoder>(new AudioDecoder(*library, sound));
}

int32_t AudioDecoder::Read(std::span<int16_t> out) {
  return library_.readSound(sound_, out.data(), static_cast<int32_t>(out.size() / kOutputChannels));
}

bool AudioDecoder::Rewind() { return library_.rewindSound(sound_) != 0; }

void FeedAudio(AudioDecoder& sound, AudioStream& output, double leftGain, double rightGain) {
  const int64_t lead = static_cast<int64_t>(kOutputSampleRate) * kOutputLeadMs / 1000;
  std::array<int16_t, kAudioBlockFrames * kOutputChannels> block{};
  while (output.QueuedFrames() < lead) {
    const int32_t frames = sound.Read(block);
    if (frames <= 0) return;
    for (int32_t i = 0; i < frames; ++i) {
      block[2 * i] = static_cast<int16_t>(block[2 * i] * leftGain);
      block[2 * i + 1] = static_cast<int16_t>(block[2 * i + 1] * rightGain);
    }
    output.Queue(std::span<const int16_t>(block.data(), static_cast<size_t>(frames) * kOutputChannels));
  }
}

}  // namespace vx
