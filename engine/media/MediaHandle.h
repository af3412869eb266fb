// What nodes and renderers hold instead of a media object: a small owner
// that forwards each operation to its object and answers a default when it
// has none. The handle's kind tells what the media can do.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/MediaObject.h"

namespace vx {

enum class HandleKind : int32_t { Media = 0, Image = 1, Movie = 2, Sound = 3, FrameSet = 4, Panorama = 5 };

class CMediaHandle {
 public:
  explicit CMediaHandle(std::unique_ptr<CMediaObject> media);
  virtual ~CMediaHandle();
  CMediaHandle(const CMediaHandle&) = delete;
  CMediaHandle& operator=(const CMediaHandle&) = delete;

  // One loading step; the load state after it (0 without an object).
  virtual int32_t Process();
  uint16_t HasImage() const;
  void SetPalette(const PaletteTable* palette);
  void GetPalette(PaletteTable* out) const;
  virtual HandleKind GetKind() const { return HandleKind::Media; }
  MediaType GetTypeCode() const;
  uint32_t SetUrl(const char* name);
  uint32_t GetUrl(char* out) const;
  // The download service's progress text (kMediaNameBufferSize characters);
  // empty without a service.
  void GetProgressText(char* out) const;
  void SetPixelDepth(int32_t bits);
  int32_t GetPixelDepth() const;
  // 9 and the record untouched without an object.
  virtual int32_t GetImageInfo(MediaImageInfo* out) const;
  // The picture's opacity (CMediaObject::GetAlpha); null without one.
  const AlphaPlane* GetAlpha() const { return media_ ? media_->GetAlpha() : nullptr; }
  void SetFillColor(const FloatColor& color);
  void SetFrameCallback(const MediaCallback& callback);
  void SetNotify(const MediaCallback& callback);
  void SetMaskColor(const FloatColor& color);
  // The world's clock for the next steps (CMediaObject::SetWorldTime).
  void SetWorldTime(double seconds);

  CMediaObject* Media() const { return media_.get(); }

 protected:
  std::unique_ptr<CMediaObject> media_;
};

class CImageHandle final : public CMediaHandle {
 public:
  using CMediaHandle::CMediaHandle;
  HandleKind GetKind() const override { return HandleKind::Image; }
};

// Movies and sounds: the playback operations.
class CPlaybackHandle : public CMediaHandle {
 public:
  using CMediaHandle::CMediaHandle;
  void Rewind();
  void Play();
  void Stop();
  int32_t GetPosition() const;
  float GetDuration() const;
  // Non-zero while playing (a sound: 0 once it has ended).
  float IsPlaying() const;
  void SetVolume(float volume);
  void SetBalance(float balance);
  int32_t GetPlayFlag() const;
};

class CMovieHandle final : public CPlaybackHandle {
 public:
  using CPlaybackHandle::CPlaybackHandle;
  HandleKind GetKind() const override { return HandleKind::Movie; }
};

class CSoundHandle final : public CPlaybackHandle {
 public:
  using CPlaybackHandle::CPlaybackHandle;
  HandleKind GetKind() const override { return HandleKind::Sound; }
};

}  // namespace vx
