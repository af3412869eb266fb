#include "platform/media/QuickTime.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <string>

#include "platform/Clock.h"
#include "platform/media/AudioDecoder.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/AviFile.h"
#include "platform/media/MediaLibrary.h"
#include "platform/media/MediaPlatformLimits.h"
#include "platform/media/PictFile.h"

namespace vx {
namespace {

constexpr int32_t kUnitRate = 0x10000;
constexpr int32_t kFullVolume = 0x100;
// The time scale of a movie whose header FFmpeg read but this layer could not.
constexpr uint32_t kFallbackTimeScale = 600;

// Movie time as the controller runs it on the platform clock; at either end
// of the movie it stops there.
class PlayClock {
 public:
  PlayClock(uint32_t timeScale, uint32_t duration) : timeScale_(timeScale), duration_(duration) {}

  uint32_t Now() {
    if (rate_ == 0) return from_;
    const double elapsed = static_cast<double>(NowMs() - startedAt_) / 1000.0;
    const double time = from_ + elapsed * (static_cast<double>(rate_) / kUnitRate) * timeScale_;
    const bool pastEnd = rate_ > 0 ? time >= duration_ : time <= 0.0;
    if (!pastEnd) return static_cast<uint32_t>(std::clamp(time, 0.0, static_cast<double>(duration_)));
    GoTo(rate_ > 0 ? duration_ : 0);
    rate_ = 0;
    return from_;
  }
  int32_t Rate() {
    Now();
    return rate_;
  }
  void SetRate(int32_t rate) {
    from_ = Now();
    startedAt_ = NowMs();
    rate_ = rate;
  }
  void GoTo(uint32_t time) {
    from_ = std::min(time, duration_);
    startedAt_ = NowMs();
  }
  uint32_t TimeScale() const { return timeScale_; }

 private:
  uint32_t timeScale_;
  uint32_t duration_;
  int32_t rate_ = 0;
  uint64_t startedAt_ = 0;
  uint32_t from_ = 0;
};

// Plays the movie's sound, if it has any FFmpeg decodes, along its clock.
class FfmpegController final : public QtController {
 public:
  FfmpegController(const std::string& path, std::shared_ptr<PlayClock> clock)
      : clock_(std::move(clock)), sound_(AudioDecoder::Open(path, "mov")) {
    if (sound_) output_ = OpenAudioStream();
  }

  void Play(int32_t rate) override {
    clock_->SetRate(rate);
    if (!output_) return;
    if (rate > 0) {
      output_->Resume();
      Idle();
    } else {
      output_->Pause();
    }
  }
  void GoToTime(uint32_t time) override {
    clock_->GoTo(time);
    if (!output_) return;
    output_->Clear();
    if (!sound_->Rewind()) {
      sound_.reset();
      output_.reset();
      return;
    }
    SkipSound(time);
  }
  void SetVolume(int16_t volume) override {
    gain_ = std::clamp(static_cast<double>(volume) / kFullVolume, 0.0, 1.0);
  }
  int32_t PlayRate() override { return clock_->Rate(); }
  void Idle() override {
    if (output_ && clock_->Rate() > 0) FeedAudio(*sound_, *output_, gain_, gain_);
  }

 private:
  void SkipSound(uint32_t time) {
    std::array<int16_t, kAudioBlockFrames * kOutputChannels> scratch{};
    auto frames = static_cast<int64_t>(static_cast<double>(time) / clock_->TimeScale() * kOutputSampleRate);
    while (frames > 0) {
      const auto wanted = static_cast<size_t>(std::min<int64_t>(frames, kAudioBlockFrames)) * kOutputChannels;
      const int32_t read = sound_->Read(std::span<int16_t>(scratch.data(), wanted));
      if (read <= 0) return;
      frames -= read;
    }
  }

  std::shared_ptr<PlayClock> clock_;
  std::unique_ptr<AudioDecoder> sound_;
  std::unique_ptr<AudioStream> output_;
  double gain_ = 1.0;
};

uint32_t HandlerTypeOf(const VxMediaStreamFacts& stream) {
  switch (stream.kind) {
    case VxMediaStreamVideo: return FourCharCode("vide");
    case VxMediaStreamSound: return FourCharCode("soun");
    case VxMediaStreamText: return FourCharCode("text");
    default: return 0;
  }
}

// A duration in microseconds in the movie's time units, rounded to the
// nearest; an unknown one is 0.
uint32_t InTimeUnits(int64_t microseconds, uint32_t timeScale) {
  if (microseconds <= 0) return 0;
  constexpr __int128 kMicroseconds = 1000000;
  const __int128 units = (static_cast<__int128>(microseconds) * timeScale + kMicroseconds / 2) / kMicroseconds;
  return static_cast<uint32_t>(std::min<__int128>(units, UINT32_MAX));
}

// The movie's times, tracks and user data come from its own atoms where
// they could be read, else from what FFmpeg found; its pictures from the
// AVI layer's frame reader, opened when the first picture is asked for.
class FfmpegMovie final : public QtMovie {
 public:
  static int32_t Open(const char* path, std::unique_ptr<QtMovie>* out) {
    const VxMediaLayer* library = MediaLibrary();
    auto facts = std::make_unique<VxMediaMovieFacts>();
    if (!library || library->describeMovie(path, "mov", facts.get()) == 0) return kQuickTimeMissing;
    std::unique_ptr<FfmpegMovie> movie(new FfmpegMovie(path));
    movie->Describe(*facts);
    *out = std::move(movie);
    return kQuickTimeOk;
  }

  int32_t TrackCount() override { return static_cast<int32_t>(tracks_.size()); }
  uint32_t TrackMediaType(int32_t track) override { return IsTrack(track) ? tracks_[Index(track)].handlerType : 0; }
  // Pictures and sound do not depend on it: the engine switches only
  // visual tracks, and pictures are asked for by time.
  void EnableTrack(int32_t /*track*/, bool /*enabled*/) override {}
  QtRect Box() override { return box_; }
  void SetBox(const QtRect& box) override { box_ = box; }
  uint32_t Duration() override { return duration_; }
  int32_t TimeScale() override { return static_cast<int32_t>(timeScale_); }
  int32_t PreferredRate() override { return preferredRate_; }
  uint32_t CurrentTime() override { return clock_->Now(); }

  int32_t FirstSampleDuration(int32_t track, uint32_t* duration) override {
    *duration = 0;
    if (!IsTrack(track) || !tracks_[Index(track)].hasSamples) return kQuickTimeNoSample;
    const MovieTrackAtoms& found = tracks_[Index(track)];
    const uint64_t scale = found.mediaTimeScale ? found.mediaTimeScale : timeScale_;
    *duration = static_cast<uint32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(found.firstSampleDuration) * timeScale_ / scale, UINT32_MAX));
    return kQuickTimeOk;
  }

  bool UserDataItem(uint32_t type, std::vector<uint8_t>* bytes) override {
    for (const MovieUserDataItem& item : userData_) {
      if (item.type != type) continue;
      *bytes = item.bytes;
      return true;
    }
    return false;
  }

  std::unique_ptr<QtPicture> PictureAt(uint32_t time) override {
    if (!triedPictures_) {
      triedPictures_ = true;
      if (AviFile::Open(path_.c_str(), &pictures_, "mov") != AviOpenResult::Opened) pictures_.reset();
    }
    if (!pictures_) return nullptr;
    const std::span<const uint32_t> pixels = pictures_->GetFrame(pictures_->FrameAt(static_cast<double>(time) / timeScale_));
    if (pixels.empty()) return nullptr;
    auto picture = std::make_unique<QtPicture>();
    picture->width = pictures_->FileInfo().width;
    picture->height = pictures_->FileInfo().height;
    picture->pixels.assign(pixels.begin(), pixels.end());
    picture->frame = {0, 0, picture->width, picture->height};
    return picture;
  }

  std::unique_ptr<QtController> NewController(const QtRect& /*box*/) override {
    return std::make_unique<FfmpegController>(path_, clock_);
  }

 private:
  explicit FfmpegMovie(const char* path) : path_(path) {}

  bool IsTrack(int32_t track) const { return track >= 1 && static_cast<size_t>(track) <= tracks_.size(); }
  static size_t Index(int32_t track) { return static_cast<size_t>(track - 1); }

  void Describe(const VxMediaMovieFacts& facts) {
    MovieAtoms atoms;
    const bool read = ReadMovieAtoms(path_.c_str(), &atoms) && atoms.timeScale > 0;
    timeScale_ = read ? atoms.timeScale : kFallbackTimeScale;
    duration_ = read ? atoms.duration : InTimeUnits(facts.durationUs, timeScale_);
    preferredRate_ = read ? atoms.preferredRate : kUnitRate;
    userData_ = std::move(atoms.userData);
    // Each track of the file is one stream of FFmpeg's, in file order.
    if (read && atoms.tracks.size() == static_cast<size_t>(facts.streamCount)) {
      tracks_ = std::move(atoms.tracks);
    } else {
      const int32_t described = std::min({facts.streamCount, kMaxMovieTracks, VX_MEDIA_MAX_STREAMS});
      for (int32_t i = 0; i < described; ++i) tracks_.push_back(StreamTrack(facts.streams[i]));
    }
    const int32_t width = facts.videoWidth;
    const int32_t height = facts.videoHeight;
    if (width > 0 && height > 0 && width <= kMaxMovieFrameSide && height <= kMaxMovieFrameSide &&
        static_cast<int64_t>(width) * height <= kMaxMovieFramePixels)
      box_ = {0, 0, width, height};
    clock_ = std::make_shared<PlayClock>(timeScale_, duration_);
  }

  MovieTrackAtoms StreamTrack(const VxMediaStreamFacts& stream) const {
    MovieTrackAtoms track;
    track.handlerType = HandlerTypeOf(stream);
    if (track.handlerType == FourCharCode("vide")) {
      track.hasSamples = true;
      track.mediaTimeScale = timeScale_;
      track.firstSampleDuration = static_cast<uint32_t>(std::lround(timeScale_ / stream.frameRate));
    }
    return track;
  }

  std::string path_;
  uint32_t timeScale_ = kFallbackTimeScale;
  uint32_t duration_ = 0;
  int32_t preferredRate_ = kUnitRate;
  std::vector<MovieTrackAtoms> tracks_;
  std::vector<MovieUserDataItem> userData_;
  QtRect box_;
  std::shared_ptr<PlayClock> clock_;
  bool triedPictures_ = false;
  std::unique_ptr<AviFile> pictures_;
};

// The whole file, or nothing when it is missing or larger than a picture may be.
bool ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxPictFileBytes) return false;
  bytes->resize(static_cast<size_t>(size));
  in.seekg(0);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes->data()), size));
}

// A PICT file read by our own reader, drawn whole at its frame's size.
int32_t ReadPicture(const char* path, std::unique_ptr<QtPicture>* out) {
  std::vector<uint8_t> bytes;
  PictHeader header;
  if (!ReadWholeFile(path, &bytes) || ReadPictHeader(bytes, &header) != PictStatus::Complete) return kQuickTimeMissing;
  auto picture = std::make_unique<QtPicture>();
  picture->width = header.frame.Width();
  picture->height = header.frame.Height();
  picture->pixels.resize(static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height));
  picture->frame = {header.frame.left, header.frame.top, header.frame.right, header.frame.bottom};
  if (DrawPict(bytes, header, picture->pixels.data(), picture->width, picture->height, 0, 0) != PictStatus::Complete)
    return kQuickTimeMissing;
  *out = std::move(picture);
  return kQuickTimeOk;
}

class FfmpegToolbox final : public QtToolbox {
 public:
  int32_t OpenMovie(const char* path, std::unique_ptr<QtMovie>* out) override {
    out->reset();
    return path ? FfmpegMovie::Open(path, out) : kQuickTimeMissing;
  }
  int32_t OpenPicture(const char* path, std::unique_ptr<QtPicture>* out) override {
    out->reset();
    return path ? ReadPicture(path, out) : kQuickTimeMissing;
  }
};

QtToolbox* g_installed = nullptr;

}  // namespace

QtToolbox& QuickTime() {
  static FfmpegToolbox ffmpeg;
  return g_installed ? *g_installed : ffmpeg;
}

void SetQuickTimeToolbox(QtToolbox* toolbox) { g_installed = toolbox; }

}  // namespace vx
