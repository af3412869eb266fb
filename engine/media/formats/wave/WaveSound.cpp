#include "engine/media/formats/wave/WaveSound.h"

namespace vx {
namespace {

// Aliases "wav1", "wav2", ... across the process.
int32_t g_waveAliases = 0;

}  // namespace

CWaveSound::~CWaveSound() { ReleasePlayer(); }

int32_t CWaveSound::Load() {
  lastWord_.reset();
  if (!OpenDevice(MediaDeviceType::WaveAudio, "wav", &g_waveAliases)) return MediaUnusable;
  // A new device plays at full volume, so the silence it starts in is sent:
  // a sound whose owner keeps it at 0 must never be heard.
  SetVolume(0.0f);
  MarkSoundLoaded();
  return MediaComplete;
}

float CWaveSound::IsPlaying() {
  const auto position = static_cast<float>(GetPosition());
  const float duration = GetDuration();
  if (!HasDevice() || duration <= position) return 0.0f;
  int64_t rate = 0;
  MediaSetTimeFormat(DeviceId(), MediaTimeFormat::Milliseconds);
  if (MediaStatus(DeviceId(), MediaStatusItem::SamplesPerSecond, &rate) != kMediaOk) return 0.0f;
  return static_cast<float>(rate);
}

void CWaveSound::SendLevels(const ChannelLevels& levels) {
  const uint32_t word = (static_cast<uint32_t>(levels.right) << 16) | static_cast<uint32_t>(levels.left);
  if (lastWord_ == word) return;
  lastWord_ = word;
  MediaSetWaveVolume(DeviceId(), word);
}

}  // namespace vx
