#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "EncodedMovies.h"
#include "MovieTestFiles.h"
#include "engine/media/MediaFactories.h"
#include "engine/media/MediaFormats.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/avi/AviMovie.h"
#include "engine/media/formats/wave/WaveSound.h"
#include "engine/render/DibImage.h"
#include "platform/Clock.h"
#include "platform/media/MediaCommands.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using Log = std::vector<std::string>;
using test::MovieKind;

class SoundMedia : public ::testing::Test {
 protected:
  SoundMedia() {
    test::UseNullAudio();
    ResetSharedInverseMap();
    ClearMediaCommandFailures();
    devicesBefore_ = OpenMediaDeviceCount();
  }
  ~SoundMedia() override { ClearMediaCommandFailures(); }

  // Loads the media object from a local file: ready, then loaded.
  template <typename Media>
  void Load(Media& media, const std::string& path, int32_t expected = MediaComplete) {
    media.SetPixelDepth(32);
    static_cast<void>(media.SetUrl(path.c_str()));
    EXPECT_EQ(media.Process(), MediaFileReady);
    EXPECT_EQ(media.Process(), expected);
  }
  std::string Wave() { return folder_.Write("a.wav", test::WaveFile({})); }
  std::string Movie(const test::MovieSpec& spec = {}) { return folder_.Write("m.avi", test::MovieFile(spec)); }
  static Log TakeLog() {
    Log log = MediaCommandLog();
    ClearMediaCommandLog();
    return log;
  }
  static uint32_t WaveWord(uint32_t device) {
    MediaDeviceState state;
    EXPECT_TRUE(GetMediaDeviceState(device, &state));
    return state.waveVolume;
  }

  ManualClock clock_{7000};
  test::TemporaryFolder folder_{"vxsound"};
  int32_t devicesBefore_ = 0;
};

// A new device plays at full volume; the load silences it, so that a sound
// whose owner keeps it at 0 is never heard.
TEST_F(SoundMedia, AWaveSoundLoadsSilencedAndSendsEachVolumeThatChanges) {
  CWaveSound sound;
  const std::string path = Wave();
  ClearMediaCommandLog();
  Load(sound, path);
  EXPECT_EQ(sound.HasImage(), 1) << "a loaded sound counts as having its picture";
  EXPECT_EQ(sound.GetTypeCode(), MediaType::Wave);
  const std::string alias = sound.Alias();
  ASSERT_EQ(alias.substr(0, 3), "wav");
  EXPECT_EQ(TakeLog(), (Log{"open " + alias + " waveaudio " + path, "volume " + alias + " 0x00000000"}));
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0u);
  sound.SetVolume(0.0f);
  sound.SetVolume(0.5f);
  EXPECT_EQ(TakeLog(), (Log{"volume " + alias + " 0x80008000"})) << "an unchanged volume is not sent again";
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0x80008000u);

  CWaveSound next;
  Load(next, path);
  EXPECT_EQ(next.Alias(), "wav" + std::to_string(std::stoi(alias.substr(3)) + 1)) << "aliases count up";
}

// A negative balance is the left: the right channel is lowered, the same way
// for waves and movies, and a positive balance mirrors it.
TEST_F(SoundMedia, BalanceLowersTheChannelAwayFromTheSoundOnBothFormats) {
  CWaveSound sound;
  Load(sound, Wave());
  CAviMovie movie(true);
  Load(movie, Movie({.withSound = true}));
  TakeLog();
  const std::string dgv = movie.Alias();
  const std::string wav = sound.Alias();

  sound.SetVolume(0.5f);
  sound.SetBalance(-0.5f);
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0x40008000u) << "left 32768 in the low word, right 16384";
  sound.SetBalance(0.5f);
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0x80004000u);
  movie.SetBalance(-0.5f);
  movie.SetVolume(0.5f);
  movie.SetVolume(0.5f);
  movie.SetBalance(0.5f);
  EXPECT_EQ(TakeLog(), (Log{"volume " + wav + " 0x80008000", "volume " + wav + " 0x40008000",
                            "volume " + wav + " 0x80004000", "setaudio " + dgv + " left volume to 500",
                            "setaudio " + dgv + " right volume to 250", "setaudio " + dgv + " left volume to 250",
                            "setaudio " + dgv + " right volume to 500"}))
      << "an unchanged level is not sent again";

  sound.SetBalance(0.04f);
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0x80008000u) << "within the dead zone both are full";
  for (float beyond : {2.0f, -7.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
    SCOPED_TRACE(beyond);
    sound.SetBalance(beyond);
    const uint32_t word = WaveWord(sound.DeviceId());
    EXPECT_TRUE(word == 0x80000000u || word == 0x00008000u || word == 0x80008000u) << std::hex << word;
  }
  sound.SetBalance(0.0f);
  sound.SetVolume(-0.3f);
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0u);
  sound.SetVolume(1.7f);
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0xFFFFFFFFu);
  sound.SetVolume(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(WaveWord(sound.DeviceId()), 0u) << "no volume is made of a NaN";
}

TEST_F(SoundMedia, AMovieLoadsWithItsVideoOffAndBothChannelsAtZero) {
  CAviMovie movie(true);
  const std::string path = Movie({.withSound = true});
  const bool first = OpenMediaDeviceCount() == 0;
  ClearMediaCommandLog();
  Load(movie, path);
  const std::string dgv = movie.Alias();
  Log expected{"open " + dgv + " avivideo " + path, "set " + dgv + " video off"};
  if (first) {
    expected.push_back("status " + dgv + " left volume");
    expected.push_back("status " + dgv + " right volume");
  }
  expected.push_back("setaudio " + dgv + " left volume to 0");
  expected.push_back("setaudio " + dgv + " right volume to 0");
  EXPECT_EQ(TakeLog(), expected);
  FrameGrid grid;
  ASSERT_EQ(movie.GetFrameGrid(&grid), 1);
  EXPECT_EQ(grid.order, kFrameOrderDownColumns);
  EXPECT_EQ(grid.framesDown, 6);
  EXPECT_EQ(grid.framesAcross, 1);
  EXPECT_EQ(grid.frameWidth, 32);
  EXPECT_EQ(grid.frameHeight, 32);
}

TEST_F(SoundMedia, DurationPositionAndPlayProgressRunOnTheClock) {
  CWaveSound sound;
  Load(sound, Wave());
  EXPECT_FLOAT_EQ(sound.GetDuration(), 1000.0f);
  EXPECT_EQ(sound.GetPosition(), 0);
  sound.Play();
  clock_.Advance(400);
  EXPECT_EQ(sound.GetPosition(), 400);
  EXPECT_FLOAT_EQ(sound.IsPlaying(), 8000.0f) << "samples a second while playing";
  clock_.Advance(700);
  EXPECT_EQ(sound.GetPosition(), 1000);
  EXPECT_FLOAT_EQ(sound.IsPlaying(), 0.0f) << "nothing once it ran out";
  sound.Rewind();
  EXPECT_EQ(sound.GetPosition(), 0);

  CAviMovie movie(true);
  Load(movie, Movie({.frames = 6, .rate = 10}));
  EXPECT_FLOAT_EQ(movie.GetDuration(), 600.0f);
  movie.Play();
  clock_.Advance(100);
  EXPECT_FLOAT_EQ(movie.IsPlaying(), 6.0f / 600.0f) << "frames a millisecond";
}

// The image shows the frame of the device's position, frame 0 from the
// start, and is drawn only when that frame changes.
TEST_F(SoundMedia, AMovieDrawsTheFrameOfItsPositionAndLeavesARestingFrameAlone) {
  CAviMovie movie(true);
  Load(movie, Movie({.frames = 6, .rate = 10}));
  MediaImageInfo image;
  ASSERT_EQ(movie.GetImageInfo(&image), 0);
  auto topPixel = [&] {
    uint32_t pixel = 0;
    std::memcpy(&pixel, image.Row(2) + 4 * 3, 4);
    return pixel & 0xFFFFFF;
  };
  std::memset(image.Row(2), 0x11, 16);
  movie.Play();
  movie.Process();
  EXPECT_EQ(topPixel(), test::FrameColor(0)) << "the first frame at once";
  clock_.Advance(250);
  movie.Process();
  EXPECT_EQ(topPixel(), test::FrameColor(2));
  clock_.Advance(100);
  movie.Process();
  EXPECT_EQ(topPixel(), test::FrameColor(3));
  std::memset(image.Row(2), 0x11, 16);
  movie.Process();
  EXPECT_EQ(topPixel(), 0x111111u) << "the same frame is not drawn again";
  clock_.Advance(10000);
  movie.Process();
  EXPECT_EQ(topPixel(), test::FrameColor(5)) << "the end rests on the last frame";

}

// A movie opened for its sound (an AudioClip's) has no picture to draw and
// needs no pixel depth.
TEST_F(SoundMedia, AMovieOpenedForItsSoundPlaysWithoutAnImage) {
  CAviMovie movie(false);
  static_cast<void>(movie.SetUrl(Movie({.withSound = true}).c_str()));
  EXPECT_EQ(movie.Process(), MediaFileReady);
  EXPECT_EQ(movie.Process(), MediaComplete);
  EXPECT_EQ(movie.HasImage(), 1);
  MediaImageInfo image;
  EXPECT_EQ(movie.GetImageInfo(&image), kMediaNoAnswer);
  movie.Play();
  clock_.Advance(250);
  movie.Process();
  EXPECT_GT(movie.IsPlaying(), 0.0f);
  auto frame = movie.GetFrameRef({1, 0, 1});
  EXPECT_EQ(movie.SetFrameTarget(nullptr), 0);
  EXPECT_EQ(movie.DrawFrame(frame.get(), nullptr), 2) << "no image of its own to draw into";
}

// A movie file and the name it is given.
struct NamedMovie {
  test::EncodedMovie encoded;
  const char* fileName;
  MediaType type;
};

void PrintTo(const NamedMovie& movie, std::ostream* out) { *out << movie.encoded.name; }

class NamedMovies : public SoundMedia, public ::testing::WithParamInterface<NamedMovie> {};

// MPEG-4 with B-frames in AVI (the common DivX and Xvid case) and MPEG-1
// with B-frames: each frame drawn, through the frame grid and while the
// movie plays, is the picture FFmpeg decodes at that place; at the time of
// frame p frame p shows, frame 0 from the start.
TEST_P(NamedMovies, EveryFrameDrawsAsFfmpegDecodesItAtItsOwnTime) {
  const test::EncodedMovie& encoded = GetParam().encoded;
  const std::string path = folder_.Path() + "/" + GetParam().fileName;
  const std::string missing = test::WriteEncodedMovie(path, encoded);
  if (!missing.empty()) GTEST_SKIP() << missing;
  const test::DecodedFrames reference = test::DecodeWithFfmpeg(path);
  ASSERT_EQ(reference.frames.size(), static_cast<size_t>(encoded.frames));
  const std::unique_ptr<CMediaObject> opened = OpenMedia(path.c_str(), true);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->GetTypeCode(), GetParam().type);
  CMediaObject& movie = *opened;
  Load(movie, path);
  auto shows = [&reference](const PixelMap& pixels, int32_t n) {
    for (int32_t y = 0; y < reference.height; ++y) {
      for (int32_t x = 0; x < reference.width; ++x) {
        uint32_t pixel = 0;
        std::memcpy(&pixel, pixels.Row(y) + 4 * x, 4);
        if ((pixel & 0xFFFFFF) != (reference.frames[static_cast<size_t>(n)][static_cast<size_t>(y * reference.width + x)] & 0xFFFFFF))
          return ::testing::AssertionFailure() << "frame " << n << " differs at " << x << "," << y;
      }
    }
    return ::testing::AssertionSuccess();
  };
  auto target = CDibImage::Create(reference.width, reference.height, 32, nullptr, false, false);
  ASSERT_TRUE(target);
  ASSERT_EQ(movie.SetFrameTarget(target.get()), 0);
  for (int16_t n : {int16_t{0}, int16_t{1}, int16_t{2}, int16_t{3}, int16_t{17}, int16_t{29}, int16_t{4}, int16_t{14}}) {
    const std::unique_ptr<FrameRef> frame = movie.GetFrameRef({n, 0, 1});
    ASSERT_TRUE(frame);
    ASSERT_EQ(movie.DrawFrame(frame.get(), nullptr), 0);
    EXPECT_TRUE(shows(target->GetPixelMap(), n)) << "by the grid";
  }

  MediaImageInfo image;
  ASSERT_EQ(movie.GetImageInfo(&image), 0);
  movie.Play();
  for (int32_t n = 0; n < encoded.frames; ++n) {
    clock_.Set(7000 + static_cast<uint64_t>(n) * 1000 / encoded.rate + 5);
    movie.Process();
    EXPECT_TRUE(shows(image, n)) << "while playing";
  }
}

INSTANTIATE_TEST_SUITE_P(
    WrittenByFfmpeg, NamedMovies,
    ::testing::Values(
        NamedMovie{{.name = "Mpeg4InAvi", .container = "avi", .encoders = {"mpeg4"}, .bFrames = 2},
                   "divx.avi",
                   MediaType::Avi},
        NamedMovie{{.name = "Mpeg1SystemStream", .container = "mpeg", .encoders = {"mpeg1video"}, .bFrames = 2},
                   "clip.mpg",
                   MediaType::Mpeg},
        NamedMovie{{.name = "Mpeg1VideoStream", .container = "mpeg1video", .encoders = {"mpeg1video"}, .bFrames = 2},
                   "clip.mpeg",
                   MediaType::Mpeg},
        NamedMovie{{.name = "Mpeg1UnderAnotherName", .container = "mpeg", .encoders = {"mpeg1video"}},
                   "clip.dat",
                   MediaType::Mpeg}),
    [](const auto& info) { return std::string(info.param.encoded.name); });

class MovieFrames : public SoundMedia, public ::testing::WithParamInterface<MovieKind> {};

// Eight frame colours and the bottom band's grey are the palette of 8-bit
// targets, so each decoded colour has its own entry.
TEST_P(MovieFrames, EachFrameDrawsIntoEightSixteenAndThirtyTwoBitTargets) {
  const bool lossy = GetParam() == MovieKind::Mjpeg || GetParam() == MovieKind::Cinepak;
  CAviMovie movie(true);
  PaletteTable palette;
  palette.count = 9;
  for (int32_t i = 0; i < 8; ++i) palette.entries[static_cast<size_t>(i)] = test::FrameColor(i);
  palette.entries[8] = test::kBottomColor;
  movie.SetPalette(&palette);
  Load(movie, Movie({.kind = GetParam(), .frames = 6}));
  for (int32_t depth : {8, 16, 32}) {
    SCOPED_TRACE(depth);
    auto target = CDibImage::Create(32, 32, depth, &palette, false, false);
    ASSERT_TRUE(target);
    EXPECT_EQ(movie.SetFrameTarget(target.get()), 0);
    for (int16_t row : {int16_t{3}, int16_t{0}, int16_t{5}}) {
      auto frame = movie.GetFrameRef({row, 0, 1});
      ASSERT_TRUE(frame);
      EXPECT_EQ(movie.DrawFrame(frame.get(), nullptr), 0);
      const PixelMap pixels = target->GetPixelMap();
      const uint8_t* top = pixels.Row(4) + 5 * pixels.bytesPerPixel;
      const uint8_t* bottom = pixels.Row(28) + 5 * pixels.bytesPerPixel;
      if (depth == 8) {
        EXPECT_EQ(*top, row) << "the nearest palette entry";
        EXPECT_EQ(*bottom, 8);
      } else if (depth == 16) {
        uint16_t pixel = 0;
        std::memcpy(&pixel, top, 2);
        const uint32_t color = test::FrameColor(row);
        const uint16_t exact = static_cast<uint16_t>(((color >> 9) & 0x7C00) | ((color >> 6) & 0x3E0) | ((color >> 3) & 0x1F));
        if (lossy) {
          EXPECT_LE(std::abs(((pixel >> 10) & 31) - ((exact >> 10) & 31)), 5);
        } else {
          EXPECT_EQ(pixel, exact);
        }
      } else {
        uint32_t pixel = 0;
        std::memcpy(&pixel, top, 4);
        if (!lossy) {
          EXPECT_EQ(pixel, test::FrameColor(row));
        }
      }
    }
  }
  EXPECT_FALSE(movie.GetFrameRef({6, 0, 1})) << "no frame past the last";
  EXPECT_FALSE(movie.GetFrameRef({-1, 0, 1}));
  EXPECT_EQ(movie.ClearFrameTarget(), 0);
  auto frame = movie.GetFrameRef({1, 0, 1});
  EXPECT_EQ(movie.DrawFrame(frame.get(), nullptr), 2) << "no target";
  EXPECT_EQ(movie.SetFrameTarget(nullptr), 0);
  EXPECT_EQ(movie.DrawFrame(frame.get(), nullptr), 0) << "null means the movie's own image";
}

INSTANTIATE_TEST_SUITE_P(Kinds, MovieFrames,
                         ::testing::Values(MovieKind::Uncompressed, MovieKind::Rle8, MovieKind::Mjpeg,
                                           MovieKind::Cinepak),
                         [](const auto& info) { return std::string(test::NameOf(info.param)); });

TEST_F(SoundMedia, AFailedPlayOrRewindReleasesTheDeviceForGood) {
  CWaveSound sound;
  Load(sound, Wave());
  const std::string wav = sound.Alias();
  InjectMediaCommandFailure(MediaCommand::Play, 1);
  ClearMediaCommandLog();
  sound.Play();
  EXPECT_FALSE(sound.HasDevice());
  EXPECT_EQ(OpenMediaDeviceCount(), devicesBefore_);
  sound.SetVolume(1.0f);
  sound.Play();
  sound.Rewind();
  EXPECT_EQ(sound.GetPosition(), 0);
  EXPECT_EQ(TakeLog(), (Log{"play " + wav, "close " + wav})) << "nothing is sent once the device is gone";

  CAviMovie movie(true);
  Load(movie, Movie({.withSound = true}));
  const bool last = OpenMediaDeviceCount() == devicesBefore_ + 1;
  const std::string dgv = movie.Alias();
  InjectMediaCommandFailure(MediaCommand::Seek, 1);
  ClearMediaCommandLog();
  movie.Rewind();
  EXPECT_FALSE(movie.HasDevice());
  EXPECT_FALSE(movie.GetFrameRef({0, 0, 1})) << "the pictures went with the device";
  EXPECT_EQ(OpenMediaDeviceCount(), devicesBefore_);
  Log expected{"seek " + dgv + " to start"};
  if (last) {
    expected.push_back("setaudio " + dgv + " left volume to 1000");
    expected.push_back("setaudio " + dgv + " right volume to 1000");
  }
  expected.push_back("close " + dgv);
  EXPECT_EQ(TakeLog(), expected) << "the last movie device gives back the volumes it found";
}

TEST_F(SoundMedia, FilesThatCannotBeOpenedFailTheLoadAndKeepNoDevice) {
  CWaveSound missing;
  Load(missing, folder_.Path() + "/none.wav", MediaUnusable);
  CAviMovie garbage(true);
  Load(garbage, folder_.Write("g.avi", "RIFF\x10\0\0\0AVI LIST\x04\0\0\0hdrl"), MediaUnusable);
  CAviMovie wave(true);
  Load(wave, Wave(), MediaUnusable);
  EXPECT_EQ(OpenMediaDeviceCount(), devicesBefore_);
  EXPECT_EQ(missing.HasImage(), 0);
}

TEST_F(SoundMedia, TheFactoriesMakeSoundAndMovieHandlesForBothFormats) {
  auto sound = CreateSoundHandle(Wave().c_str());
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->GetTypeCode(), MediaType::Wave);
  auto movieSound = CreateSoundHandle(Movie().c_str());
  ASSERT_TRUE(movieSound);
  EXPECT_EQ(movieSound->Process(), MediaFileReady);
  EXPECT_EQ(movieSound->Process(), MediaComplete);
  auto movie = CreateMovieHandle(Movie().c_str());
  ASSERT_TRUE(movie);
  EXPECT_EQ(movie->GetTypeCode(), MediaType::Avi);
  EXPECT_TRUE(CreateFrameSetTexture(Movie().c_str()));
  EXPECT_FALSE(CreateImageHandle(Wave().c_str()));
}

}  // namespace
}  // namespace vx
