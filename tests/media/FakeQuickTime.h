// A scripted QuickTime toolbox: the test writes what the movie has (tracks,
// times, user data, the first sample's duration) and reads back what the
// media object asked of it. Pictures are generated: the pixel at (x, y) of
// the picture at time t is PixelOf(t, x, y), so a test sees which time was
// drawn and where each pixel went.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/QuickTime.h"

namespace vx::test {

inline uint32_t PixelOf(uint32_t time, int32_t x, int32_t y) {
  return ((time & 0xFF) << 16) | (static_cast<uint32_t>(x & 0xFF) << 8) | static_cast<uint32_t>(y & 0xFF);
}

struct FakeMovieScript {
  std::vector<uint32_t> tracks;  // media handler types, track 1 first
  QtRect box{0, 0, 32, 16};
  uint32_t duration = 600;
  int32_t timeScale = 600;
  int32_t preferredRate = 0x10000;
  int32_t sampleResult = kQuickTimeOk;
  uint32_t sampleDuration = 60;
  std::map<uint32_t, std::vector<uint8_t>> userData;
  bool opens = true;
  bool picturesOpen = true;  // the second opening of the same file
  bool hasPictures = true;
};

// What the movie's controller and tracks were told, and the time it reports.
struct FakeMovieState {
  uint32_t time = 0;
  int32_t rate = 0;
  std::vector<std::string> log;  // "enable 2 0", "play 65536", "go 0", "volume 128"
  int32_t idles = 0;
  std::vector<uint32_t> pictureTimes;  // times asked of the picture source
};

class FakeController final : public QtController {
 public:
  explicit FakeController(FakeMovieState& state) : state_(state) {}
  void Play(int32_t rate) override {
    state_.rate = rate;
    state_.log.push_back("play " + std::to_string(rate));
  }
  void GoToTime(uint32_t time) override {
    state_.time = time;
    state_.log.push_back("go " + std::to_string(time));
  }
  void SetVolume(int16_t volume) override { state_.log.push_back("volume " + std::to_string(volume)); }
  int32_t PlayRate() override { return state_.rate; }
  void Idle() override { ++state_.idles; }

 private:
  FakeMovieState& state_;
};

class FakeMovie final : public QtMovie {
 public:
  FakeMovie(const FakeMovieScript& script, FakeMovieState& state, bool picturesOnly)
      : script_(script), state_(state), picturesOnly_(picturesOnly) {}
  int32_t TrackCount() override { return static_cast<int32_t>(script_.tracks.size()); }
  uint32_t TrackMediaType(int32_t track) override {
    return track >= 1 && track <= TrackCount() ? script_.tracks[static_cast<size_t>(track - 1)] : 0;
  }
  void EnableTrack(int32_t track, bool enabled) override {
    if (!picturesOnly_) state_.log.push_back("enable " + std::to_string(track) + (enabled ? " 1" : " 0"));
  }
  QtRect Box() override { return script_.box; }
  void SetBox(const QtRect& /*box*/) override {}
  uint32_t Duration() override { return script_.duration; }
  int32_t TimeScale() override { return script_.timeScale; }
  int32_t PreferredRate() override { return script_.preferredRate; }
  uint32_t CurrentTime() override { return state_.time; }
  int32_t FirstSampleDuration(int32_t /*track*/, uint32_t* duration) override {
    *duration = script_.sampleDuration;
    return script_.sampleResult;
  }
  bool UserDataItem(uint32_t type, std::vector<uint8_t>* bytes) override {
    const auto found = script_.userData.find(type);
    if (found == script_.userData.end()) return false;
    *bytes = found->second;
    return true;
  }
  std::unique_ptr<QtPicture> PictureAt(uint32_t time) override {
    if (!script_.hasPictures) return nullptr;
    state_.pictureTimes.push_back(time);
    auto picture = std::make_unique<QtPicture>();
    picture->width = script_.box.right - script_.box.left;
    picture->height = script_.box.bottom - script_.box.top;
    for (int32_t y = 0; y < picture->height; ++y)
      for (int32_t x = 0; x < picture->width; ++x) picture->pixels.push_back(PixelOf(time, x, y));
    picture->frame = {0, 0, picture->width, picture->height};
    return picture;
  }
  std::unique_ptr<QtController> NewController(const QtRect& /*box*/) override {
    return std::make_unique<FakeController>(state_);
  }

 private:
  const FakeMovieScript& script_;
  FakeMovieState& state_;
  bool picturesOnly_;
};

// Installed for its lifetime. The first opening of a file is the played
// movie, the second the picture source.
class FakeToolbox final : public QtToolbox {
 public:
  FakeToolbox() { SetQuickTimeToolbox(this); }
  ~FakeToolbox() override { SetQuickTimeToolbox(nullptr); }
  FakeToolbox(const FakeToolbox&) = delete;
  FakeToolbox& operator=(const FakeToolbox&) = delete;

  int32_t OpenMovie(const char* /*path*/, std::unique_ptr<QtMovie>* out) override {
    if (!script.opens) return kQuickTimeMissing;
    const bool second = opened_++ % 2 == 1;
    if (second && !script.picturesOpen) return kQuickTimeMissing;
    *out = std::make_unique<FakeMovie>(script, state, second);
    return kQuickTimeOk;
  }
  int32_t OpenPicture(const char* /*path*/, std::unique_ptr<QtPicture>* out) override {
    if (!picture) return kQuickTimeMissing;
    *out = std::make_unique<QtPicture>(*picture);
    return kQuickTimeOk;
  }

  FakeMovieScript script;
  FakeMovieState state;
  std::unique_ptr<QtPicture> picture;  // what a PICT file holds; none fails

 private:
  int32_t opened_ = 0;
};

}  // namespace vx::test
