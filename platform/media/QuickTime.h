// The QuickTime call layer: movies opened from files, with their tracks,
// user data, times and pictures, a controller that plays one of them, and
// pictures read from PICT files. The media objects reach it only through
// QuickTime(), so tests can put a scripted toolbox in its place.
//
// The toolbox in use by default reads movies with FFmpeg, through the media
// library (MediaLibrary.h) that the first movie opened loads, and PICT files
// with our own reader (PictFile.h), which needs no library. A file that
// neither can read, and every movie where the media library cannot be
// loaded, gets kQuickTimeMissing, the answer of every call on a machine
// without the original toolbox.
//
// Times are in the movie's time units; rates and volumes are fixed-point
// (rates 16.16, volumes 8.8, so 0x100 is full volume).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/PlatformExport.h"
#include "platform/media/MovieAtoms.h"

namespace vx {

inline constexpr int32_t kQuickTimeMissing = static_cast<int32_t>(0x80008001u);
// A track with no sample to read.
inline constexpr int32_t kQuickTimeNoSample = -2014;
inline constexpr int32_t kQuickTimeOk = 0;

struct QtRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// A picture as xRGB pixels, rows top-down, width x height of them; frame is
// where the picture places itself (a PICT file's own frame; a movie
// picture's is (0, 0, width, height)).
struct QtPicture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  QtRect frame;
};

class VX_PLATFORM_API QtController {
 public:
  virtual ~QtController() = default;
  // 0 stops; the time runs on from where it stands.
  virtual void Play(int32_t rate) = 0;
  virtual void GoToTime(uint32_t time) = 0;
  virtual void SetVolume(int16_t volume) = 0;
  virtual int32_t PlayRate() = 0;
  // Gives the controller time to hand on its sound.
  virtual void Idle() = 0;
};

class VX_PLATFORM_API QtMovie {
 public:
  virtual ~QtMovie() = default;
  virtual int32_t TrackCount() = 0;
  // Tracks count from 1; the media handler type, 0 for no such track.
  virtual uint32_t TrackMediaType(int32_t track) = 0;
  virtual void EnableTrack(int32_t track, bool enabled) = 0;
  virtual QtRect Box() = 0;
  virtual void SetBox(const QtRect& box) = 0;
  virtual uint32_t Duration() = 0;
  virtual int32_t TimeScale() = 0;
  virtual int32_t PreferredRate() = 0;
  virtual uint32_t CurrentTime() = 0;
  // kQuickTimeOk and the duration of the track's first sample in movie time
  // units, or an error.
  virtual int32_t FirstSampleDuration(int32_t track, uint32_t* duration) = 0;
  // The whole user-data item of that type; false when the movie has none.
  virtual bool UserDataItem(uint32_t type, std::vector<uint8_t>* bytes) = 0;
  // The picture the movie shows at that time; null when there is none.
  virtual std::unique_ptr<QtPicture> PictureAt(uint32_t time) = 0;
  // The controller plays this movie; the movie outlives it.
  virtual std::unique_ptr<QtController> NewController(const QtRect& box) = 0;
};

class VX_PLATFORM_API QtToolbox {
 public:
  virtual ~QtToolbox() = default;
  // kQuickTimeOk and the movie, or an error.
  [[nodiscard]] virtual int32_t OpenMovie(const char* path, std::unique_ptr<QtMovie>* out) = 0;
  // kQuickTimeOk and the picture, or an error.
  [[nodiscard]] virtual int32_t OpenPicture(const char* path, std::unique_ptr<QtPicture>* out) = 0;
};

VX_PLATFORM_API QtToolbox& QuickTime();
// Puts a toolbox (not owned) in place of FFmpeg's; null gives FFmpeg's back.
VX_PLATFORM_API void SetQuickTimeToolbox(QtToolbox* toolbox);

}  // namespace vx
