#include "engine/media/formats/wave/WaveSound.h"

namespace vx {
namespace {

// Aliases "wav1", "wav2", ... across the process.
int32_t g_waveAliases = 0;

}  // namespace

CWaveSound::~CWaveSound() { ReleasePlayer(); }

int32_t CWaveSound::Load() {
  lastWord_ = 0;
  if (!OpenDevice(MediaDeviceType::WaveAudio, "wav", &g_waveAliases)) return MediaUnusable;
  // The first word computed is 0, which is not sent: the owner's first
  // volume is the first that reaches the device.
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
  if (word == lastWord_) return;
  lastWord_ = word;
  MediaSetWaveVolume(DeviceId(), word);
}

}  // namespace vx
