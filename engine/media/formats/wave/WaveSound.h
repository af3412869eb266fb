// Wave sound: the file opened on a "waveaudio" device of the platform's
// command table and played there. Volume and balance go out as one word to
// the output of this sound's own device (left level in the low word, right
// in the high word, 0..65535 each), and only when the word changes; the
// first word, silence sent by the load, always goes out.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/media/formats/SoundPlayback.h"

namespace vx {

inline constexpr int32_t kWaveLevelScale = 65535;

class CWaveSound final : public CPlayedMedia {
 public:
  ~CWaveSound() override;

  MediaType GetTypeCode() const override { return MediaType::Wave; }
  // Samples a second while the sound has some way to go, else 0.
  float IsPlaying() override;
  int32_t Load() override;

 protected:
  void SendLevels(const ChannelLevels& levels) override;
  int32_t LevelScale() const override { return kWaveLevelScale; }

 private:
  std::optional<uint32_t> lastWord_;  // none before the first word is sent
};

}  // namespace vx
