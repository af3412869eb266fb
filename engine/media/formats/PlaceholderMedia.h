// Formats that are recognised by their names and never read: a scene that
// names such a file loads without it. None of them makes an image.
#pragma once

#include "engine/media/MediaObject.h"

namespace vx {

// ".fpx": completes in one decode step after the file is at hand.
class CFpxMedia final : public CMediaObject {
 public:
  MediaType GetTypeCode() const override { return MediaType::Fpx; }
  int32_t Load() override { return MediaDecoding; }
  int32_t DecodeStep() override { return MediaComplete; }
};

// ".tts" speech: complete once the file is at hand, and plays silently,
// reporting itself as playing.
class CTtsMedia final : public CMediaObject {
 public:
  MediaType GetTypeCode() const override { return MediaType::Tts; }
  int32_t Load() override { return MediaComplete; }
  float GetDuration() override { return 1.0f; }
  float IsPlaying() override { return 1.0f; }
};

// ".lvd": nothing is downloaded; complete at once.
class CLvdMedia final : public CMediaObject {
 public:
  MediaType GetTypeCode() const override { return MediaType::Lvd; }
  int32_t StartDownload() override { return MediaFileReady; }
  int32_t Load() override { return MediaComplete; }
};

}  // namespace vx
