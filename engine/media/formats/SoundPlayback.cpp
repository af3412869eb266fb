#include "engine/media/formats/SoundPlayback.h"

#include <algorithm>
#include <cmath>

namespace vx {
namespace {

// A value held within its range; a NaN from a broken scene counts as 0.
float Held(float value, float low, float high) { return std::isnan(value) ? 0.0f : std::clamp(value, low, high); }

int32_t Level(double fraction, float volume, int32_t scale) {
  return static_cast<int32_t>(std::trunc(fraction * volume * scale + 0.5));
}

}  // namespace

// The levels mirror each other, so that a balance beyond the dead zone on
// either side lowers exactly one channel by a defined amount.
ChannelLevels LevelsFor(float volume, float balance, int32_t scale) {
  volume = Held(volume, 0.0f, 1.0f);
  balance = Held(balance, -1.0f, 1.0f);
  const int32_t full = Level(1.0, volume, scale);
  if (balance < -kBalanceDeadZone) return {full, Level(1.0 + balance, volume, scale)};
  if (balance > kBalanceDeadZone) return {Level(1.0 - balance, volume, scale), full};
  return {full, full};
}

bool CPlayedMedia::OpenDevice(MediaDeviceType type, const char* prefix, int32_t* counter) {
  ReleasePlayer();
  alias_ = prefix + std::to_string(++*counter);
  const MediaOpenRequest request{type, LocalPath().c_str(), alias_.c_str()};
  if (MediaOpen(request, &device_) != kMediaOk) {
    device_ = 0;
    return false;
  }
  return true;
}

void CPlayedMedia::ReleasePlayer() {
  if (device_ != 0) MediaClose(device_);
  device_ = 0;
  playing_ = false;
}

void CPlayedMedia::ReleaseOnFailure(int32_t result) {
  if (result != kMediaOk) ReleasePlayer();
}

void CPlayedMedia::Rewind() {
  if (device_ == 0) return;
  ReleaseOnFailure(MediaSeekToStart(device_));
}

void CPlayedMedia::Play() {
  if (device_ == 0) return;
  const int32_t result = MediaPlay(device_);
  if (result == kMediaOk) playing_ = true;
  ReleaseOnFailure(result);
}

void CPlayedMedia::Stop() {
  if (!playing_ || device_ == 0) return;
  MediaStop(device_);
  playing_ = false;
}

int32_t CPlayedMedia::GetPosition() {
  if (device_ == 0) return 0;
  int64_t position = 0;
  MediaSetTimeFormat(device_, MediaTimeFormat::Milliseconds);
  if (MediaStatus(device_, MediaStatusItem::Position, &position) != kMediaOk) return 0;
  return static_cast<int32_t>(std::min<int64_t>(position, INT32_MAX));
}

float CPlayedMedia::GetDuration() {
  if (device_ == 0) return 0.0f;
  int64_t length = 0;
  MediaSetTimeFormat(device_, MediaTimeFormat::Milliseconds);
  if (MediaStatus(device_, MediaStatusItem::Length, &length) != kMediaOk) return 0.0f;
  return static_cast<float>(length);
}

void CPlayedMedia::SetVolume(float volume) {
  if (device_ == 0) return;
  volume_ = Held(volume, 0.0f, 1.0f);
  SendLevels(LevelsFor(volume_, balance_, LevelScale()));
}

void CPlayedMedia::SetBalance(float balance) {
  if (device_ == 0) return;
  balance_ = Held(balance, -1.0f, 1.0f);
  SetVolume(volume_);
}

void CPlayedMedia::Update() { MediaPump(); }

}  // namespace vx
