// The base class of every image, movie and sound source: one object stands
// for one named file (a local path or an "http://" URL). The base follows the
// road from the name to the decoded picture: it asks the host's download
// service for remote files, hands the local file to the format's loader,
// drives decoding in steps and announces the image it produced. Formats
// replace the loader, the decode step and the playback operations.
//
// Nodes hold a media object only through a handle (MediaHandle.h).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include <vantessel/Download.h>

#include "engine/media/MediaLimits.h"
#include "engine/media/MediaTypes.h"
#include "engine/render/Palette.h"

namespace vx {

class CDibImage;
class CHostComponent;

// What a loader hands to the notify callback once the picture's size is
// known. The callee may move the placement and stores into *image the image
// that is to receive the picture; without one the load fails.
struct ImageRequest {
  Placement* placement = nullptr;
  PaletteTable palette;
  uint16_t pixelDepth = 0;
  char url[kMediaNameBufferSize] = {};
  CDibImage** image = nullptr;
};

class CMediaObject {
 public:
  CMediaObject();
  // Cancels a download that still runs.
  virtual ~CMediaObject();
  CMediaObject(const CMediaObject&) = delete;
  CMediaObject& operator=(const CMediaObject&) = delete;

  // Copies the name into out (kMediaNameBufferSize characters) and returns
  // the bytes copied, terminator included.
  uint32_t GetUrl(char* out) const;
  // Non-zero for an "http://" name (any case), which is downloaded on the
  // first Process; any other name is a local file, ready at once. A name
  // longer than kMaxMediaNameLength is refused: the object fails (state 3).
  uint32_t SetUrl(const char* name);
  uint32_t GetLocalPath(char* out) const;
  const std::string& LocalPath() const { return localPath_; }

  int32_t GetPixelDepth() const { return pixelDepth_; }
  void SetPixelDepth(int32_t bits) { pixelDepth_ = bits; }

  // One step of decoding: 5 more to do, 1 waiting for data, 8 done, 7 error.
  virtual int32_t DecodeStep() { return 0; }
  int32_t GetLoadState() const { return loadState_; }
  // One step of the state machine; returns the state after it.
  int32_t Process();
  uint16_t HasImage() const { return hasImage_ ? 1 : 0; }

  // Non-zero when the format has a frame grid, copied into out.
  virtual int16_t GetFrameGrid(FrameGrid* /*out*/) { return 0; }
  virtual void SetFrameGrid(const FrameGrid& /*grid*/) {}
  virtual MediaType GetTypeCode() const { return MediaType::None; }

  virtual void Rewind() {}
  virtual void Play() {}
  virtual void Stop() {}
  virtual int32_t GetPosition() { return 0; }
  virtual float GetDuration() { return 0.0f; }
  virtual float IsPlaying() { return 0.0f; }
  // Whether what the media shows or reports changes with time by itself
  // (a running animation or a playing movie or sound), so that its views
  // draw frames for it. Asks the media's player nothing.
  virtual bool ChangesByItself() const { return false; }
  virtual void SetVolume(float /*volume*/) {}
  virtual void SetBalance(float /*balance*/) {}
  virtual void Update() {}
  // Seconds on the clock of the world that shows the media, handed over
  // before each step by whoever steps it; formats that keep their own time
  // (GIF animations) measure it there.
  void SetWorldTime(double seconds) { worldTime_ = seconds; }
  double WorldTime() const { return worldTime_; }

  // The download service's report that the request ended.
  virtual void OnDownloadDone(int32_t message, DownloadRequest* request);
  void SetFillColor(const FloatColor& color) { fillColor_ = color; }
  // Forgets the request; returns the load state.
  virtual int32_t EndDownload();
  virtual int32_t PollDownload();
  // 0 (nothing to do, or refused: tried again later), 1 (running) or 4.
  virtual int32_t StartDownload();
  // The format's loader: 5, 7, 8 (or 3).
  virtual int32_t Load() { return MediaDecoding; }

  // Null leaves the palette as it is.
  void SetPalette(const PaletteTable* palette);
  void GetPalette(PaletteTable* out) const;

  virtual int32_t SetFrameTarget(CDibImage* /*target*/) { return 0; }
  virtual std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& /*position*/) { return nullptr; }
  // 0 drawn; 2 without a target or on failure.
  virtual int32_t DrawFrame(FrameRef* /*frame*/, const PixelMap* /*destination*/) { return 0; }
  virtual int32_t ClearFrameTarget() { return 0; }
  virtual int32_t GetFrameFlags() { return 0; }
  virtual int16_t GetFrameStyle() { return 0; }
  uint8_t GetPlayFlag() const { return 0; }

  void SetFrameCallback(const MediaCallback& callback) { frameCallback_ = callback; }
  // 0 and the image record once there is an image; otherwise 9 and a null
  // pixel pointer in out.
  int32_t GetImageInfo(MediaImageInfo* out) const;
  // The picture's opacity (MediaTypes.h); null when its file has none, or
  // before the picture is decoded.
  const AlphaPlane* GetAlpha() const { return alpha_.Empty() ? nullptr : &alpha_; }
  // Announces a new image: to the frame callback when there is one, else by
  // filling the image with the fill colour.
  void DeliverFrame();
  void SetMaskColor(const FloatColor& color) { maskColor_ = color; }
  void SetNotify(const MediaCallback& callback) { notify_ = callback; }

  int32_t RequestId() const { return requestId_; }
  bool IsReady() const { return ready_; }
  const std::array<int32_t, kNoiseCount>& Noise() const { return noise_; }

 protected:
  // The loaders' one road to an image of width x height: the notify callback
  // supplies it (and may move the placement), else the object makes its own
  // at its pixel depth. False, with the failure state to return (3 or 7),
  // when there is no image. On success the image is announced; a loader
  // writes only through WindowForPlacement (StillImageDecoder.h).
  [[nodiscard]] bool RequestImage(int32_t width, int32_t height, int32_t* failureState);

  const MediaImageInfo& ImageInfo() const { return imageInfo_; }
  // The image the picture goes to (null before RequestImage made one), and
  // its record taken again after a format drew into it.
  CDibImage* Image() const { return image_; }
  void RefreshImageInfo();
  const FloatColor& FillColor() const { return fillColor_; }
  const FloatColor& MaskColor() const { return maskColor_; }
  // A sound has no picture: once it is loaded it counts as having one, so
  // that Process steps its Update.
  void MarkSoundLoaded() { hasImage_ = true; }
  const Placement& GetPlacement() const { return placement_; }
  // The formats whose files have opacity keep it here, in the picture's
  // size.
  AlphaPlane& Alpha() { return alpha_; }

  // The flags of the download request; non-zero asks the service to keep
  // the body in memory as it arrives, for formats that decode it early.
  virtual int32_t DownloadFlags() const { return 0; }
  // Forgets the request first, so that the cancel report is not taken for
  // a new end of it.
  void CancelRequest();

 private:
  static void DownloadCompletion(int32_t message, DownloadRequest* request, void* self);
  int32_t ProcessFileReady();

  std::string url_;
  bool ready_ = false;
  CDibImage* image_ = nullptr;
  std::unique_ptr<CDibImage> ownImage_;
  MediaImageInfo imageInfo_;
  int32_t pixelDepth_ = 0;
  bool hasImage_ = false;
  std::shared_ptr<CHostComponent> downloadService_;
  std::string localPath_;
  int32_t loadState_ = MediaIdle;
  int32_t requestId_ = -1;
  bool starting_ = false;  // inside the service's start call
  MediaCallback frameCallback_;
  MediaCallback notify_;
  Placement placement_;
  std::array<int32_t, kNoiseCount> noise_{};
  FloatColor fillColor_;
  PaletteTable palette_;
  FloatColor maskColor_;
  double worldTime_ = 0.0;
  AlphaPlane alpha_;
};

}  // namespace vx
