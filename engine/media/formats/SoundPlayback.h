// What the AVI movie and the wave sound share: a sound device of the
// platform's command table, opened under an alias of their own, played,
// sought and stopped alike, with volume and balance kept by the object and
// sent as two channel levels.
//
// Balance runs from -1 (left) to 1 (right), as the Sound node computes it
// (a source on the listener's right gives a positive balance). Within
// kBalanceDeadZone both channels are full; beyond it the channel away from
// the sound is lowered by the balance's size and the other stays full.
#pragma once

#include <cstdint>
#include <string>

#include "engine/media/MediaObject.h"
#include "platform/media/MediaCommands.h"

namespace vx {

inline constexpr double kBalanceDeadZone = 0.05;

struct ChannelLevels {
  int32_t left = 0;
  int32_t right = 0;
};

// The levels of volume (0..1) and balance (-1..1) on a scale of 0..scale.
ChannelLevels LevelsFor(float volume, float balance, int32_t scale);

class CPlayedMedia : public CMediaObject {
 public:
  void Rewind() override;
  void Play() override;
  void Stop() override;
  // Milliseconds; 0 without a device.
  int32_t GetPosition() override;
  float GetDuration() override;
  void SetVolume(float volume) override;
  void SetBalance(float balance) override;
  void Update() override;
  bool ChangesByItself() const override { return playing_; }

  bool HasDevice() const { return device_ != 0; }
  uint32_t DeviceId() const { return device_; }
  const std::string& Alias() const { return alias_; }
  bool IsPlayingFlagSet() const { return playing_; }

 protected:
  // Opens the device under "<prefix><n>", n counting the opens of that
  // prefix from 1; false when the device cannot be opened (nothing stays open).
  [[nodiscard]] bool OpenDevice(MediaDeviceType type, const char* prefix, int32_t* counter);
  // Closes the device, and the format's own player with it. Destructors of
  // the formats call it, since the base cannot reach their part.
  virtual void ReleasePlayer();
  // Sends the levels; called only with a device.
  virtual void SendLevels(const ChannelLevels& levels) = 0;
  virtual int32_t LevelScale() const = 0;
  float Volume() const { return volume_; }

 private:
  void ReleaseOnFailure(int32_t result);

  uint32_t device_ = 0;
  std::string alias_;
  bool playing_ = false;
  float volume_ = 0.0f;
  float balance_ = 0.0f;
};

}  // namespace vx
