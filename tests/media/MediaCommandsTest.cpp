#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "MovieTestFiles.h"
#include "platform/Clock.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/MediaCommands.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using Log = std::vector<std::string>;

class MediaCommands : public ::testing::Test {
 protected:
  MediaCommands() {
    test::UseNullAudio();
    ClearMediaCommandLog();
    ClearMediaCommandFailures();
  }
  ~MediaCommands() override {
    for (uint32_t device : opened_) MediaClose(device);
    ClearMediaCommandFailures();
  }
  uint32_t Open(MediaDeviceType type, const std::string& path, const char* alias) {
    uint32_t device = 0;
    EXPECT_EQ(MediaOpen({type, path.c_str(), alias}, &device), kMediaOk);
    opened_.push_back(device);
    return device;
  }
  int64_t Status(uint32_t device, MediaStatusItem item) {
    int64_t value = -1;
    EXPECT_EQ(MediaStatus(device, item, &value), kMediaOk);
    return value;
  }
  Log TakeLog() {
    Log log = MediaCommandLog();
    ClearMediaCommandLog();
    return log;
  }

  ManualClock clock_{5000};
  test::TemporaryFolder folder_{"vxmci"};
  std::vector<uint32_t> opened_;
};

TEST_F(MediaCommands, WaveFilesAreReadPastChunksTheyDoNotKnow) {
  for (bool extra : {false, true}) {
    SCOPED_TRACE(extra);
    const std::string path = folder_.Write("a.wav", test::WaveFile({.rate = 11025, .frames = 22050, .extraChunks = extra}));
    const uint32_t device = Open(MediaDeviceType::WaveAudio, path, extra ? "wav1" : "wav2");
    EXPECT_EQ(Status(device, MediaStatusItem::Length), 2000);
    EXPECT_EQ(Status(device, MediaStatusItem::SamplesPerSecond), 11025);
    MediaDeviceState state;
    ASSERT_TRUE(GetMediaDeviceState(device, &state));
    EXPECT_TRUE(state.hasSound);
  }
}

// A data chunk that claims more than the file holds, or a file cut short,
// plays what is there.
TEST_F(MediaCommands, ShortWaveFilesPlayWhatTheyHold) {
  const std::string whole = test::WaveFile({.frames = 8000});
  std::string claimsMore = whole;
  claimsMore[claimsMore.find("data") + 5] = '\x7f';
  for (const std::string& bytes : {claimsMore, whole.substr(0, whole.size() / 2), whole.substr(0, 50)}) {
    uint32_t device = 0;
    const std::string path = folder_.Write("short.wav", bytes);
    if (MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "short"}, &device) != kMediaOk) continue;
    EXPECT_LE(Status(device, MediaStatusItem::Length), 60000);
    EXPECT_EQ(MediaPlay(device), kMediaOk);
    clock_.Advance(100000);
    MediaPump();
    EXPECT_EQ(MediaClose(device), kMediaOk);
  }
}

// A header that claims 655 MHz and 53 channels would make the resampler
// take a gigabyte; rates and channel counts past the limits are refused.
TEST_F(MediaCommands, WaveFilesOfRatesOrChannelsBeyondTheLimitsAreRefused) {
  struct Case {
    int32_t rate;
    int16_t channels;
    bool opens;
  };
  for (const Case& wave : {Case{1000, 1, true}, Case{999, 1, false}, Case{384000, 2, true}, Case{384001, 2, false},
                           Case{8000, 8, true}, Case{8000, 9, false}, Case{655360000, 53, false}}) {
    SCOPED_TRACE(std::to_string(wave.rate) + " Hz, " + std::to_string(wave.channels) + " channels");
    const std::string path = folder_.Write("w.wav", test::WaveFile({.rate = wave.rate, .channels = wave.channels, .frames = 4}));
    uint32_t device = 0;
    const int32_t opened = MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "limits"}, &device);
    EXPECT_EQ(opened == kMediaOk, wave.opens);
    if (opened == kMediaOk) MediaClose(device);
  }
}

// The process's peak resident memory so far, in megabytes.
int64_t PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// FFmpeg allocates a wave file's "LIST" items at the size they claim: one
// that claims 832 MB in a file of a few hundred bytes is refused without
// taking that memory. (Measured by the peak, which an earlier test of the
// same process may have raised already; it can only hide a fault, never
// make one up.)
TEST_F(MediaCommands, AWaveFileWhoseListItemClaimsHundredsOfMegabytesIsRefusedWithoutTakingThem) {
  std::string bytes = test::WaveFile({.frames = 100, .extraChunks = true});
  auto claim = [&bytes](const char* chunk, uint32_t size) {
    const size_t at = bytes.find(chunk) + 4;
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
  };
  claim("LIST", 0x7FFFFFF0u);
  claim("INAM", 0x34000000u);
  const std::string path = folder_.Write("list.wav", bytes);
  const int64_t before = PeakMegabytes();
  uint32_t device = 0;
  EXPECT_NE(MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "list"}, &device), kMediaOk);
  EXPECT_LT(PeakMegabytes() - before, 256);
}

TEST_F(MediaCommands, FilesThatAreNotOfTheDevicesKindAreRefusedAndLeaveNoDevice) {
  const int32_t before = OpenMediaDeviceCount();
  uint32_t device = 7;
  const std::string garbage = folder_.Write("g.wav", std::string(200, 'x'));
  const std::string movie = folder_.Write("m.avi", test::MovieFile({}));
  EXPECT_EQ(MediaOpen({MediaDeviceType::WaveAudio, garbage.c_str(), "w1"}, &device), kMediaCannotOpen);
  EXPECT_EQ(device, 0u);
  EXPECT_EQ(MediaOpen({MediaDeviceType::WaveAudio, (folder_.Path() + "/none.wav").c_str(), "w1"}, &device),
            kMediaCannotOpen);
  EXPECT_EQ(MediaOpen({MediaDeviceType::AviVideo, garbage.c_str(), "d1"}, &device), kMediaCannotOpen);
  EXPECT_EQ(MediaOpen({MediaDeviceType::WaveAudio, movie.c_str(), "w1"}, &device), kMediaCannotOpen)
      << "a movie without sound is no wave";
  EXPECT_EQ(OpenMediaDeviceCount(), before);
  EXPECT_EQ(TakeLog(), (Log{"open w1 waveaudio " + garbage, "open w1 waveaudio " + folder_.Path() + "/none.wav",
                            "open d1 avivideo " + garbage, "open w1 waveaudio " + movie}));
}

TEST_F(MediaCommands, TheWavePositionFollowsTheClockStopsAtTheEndAndSeeksBack) {
  const uint32_t device = Open(MediaDeviceType::WaveAudio, folder_.Write("a.wav", test::WaveFile({})), "wav1");
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 0);
  ASSERT_EQ(MediaPlay(device), kMediaOk);
  clock_.Advance(250);
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 250);
  EXPECT_EQ(MediaStop(device), kMediaOk);
  clock_.Advance(500);
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 250) << "a stopped device keeps its place";
  ASSERT_EQ(MediaPlay(device), kMediaOk);
  clock_.Advance(5000);
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 1000) << "playing ends at the end";
  MediaDeviceState state;
  ASSERT_TRUE(GetMediaDeviceState(device, &state));
  EXPECT_FALSE(state.playing);
  ASSERT_EQ(MediaSeekToStart(device), kMediaOk);
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 0);
  EXPECT_EQ(TakeLog(), (Log{"open wav1 waveaudio " + folder_.Path() + "/a.wav", "status wav1 position",
                            "play wav1", "status wav1 position", "stop wav1", "status wav1 position", "play wav1",
                            "status wav1 position", "seek wav1 to start", "status wav1 position"}));
}

TEST_F(MediaCommands, AMovieCountsItsPositionAndLengthInFramesWhenAsked) {
  const std::string path = folder_.Write("m.avi", test::MovieFile({.frames = 6, .rate = 10, .withSound = true}));
  const uint32_t device = Open(MediaDeviceType::AviVideo, path, "dgv1");
  EXPECT_EQ(MediaSetVideoOff(device), kMediaOk);
  EXPECT_EQ(Status(device, MediaStatusItem::Length), 600);
  EXPECT_EQ(MediaSetTimeFormat(device, MediaTimeFormat::Frames), kMediaOk);
  EXPECT_EQ(Status(device, MediaStatusItem::Length), 6);
  ASSERT_EQ(MediaPlay(device), kMediaOk);
  clock_.Advance(350);
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 3);
  clock_.Advance(1000);
  EXPECT_EQ(Status(device, MediaStatusItem::Position), 6);
  int64_t rate = 0;
  EXPECT_EQ(MediaStatus(device, MediaStatusItem::SamplesPerSecond, &rate), kMediaNotSupported);

  const uint32_t silent = Open(MediaDeviceType::AviVideo, folder_.Write("s.avi", test::MovieFile({})), "dgv2");
  MediaDeviceState state;
  ASSERT_TRUE(GetMediaDeviceState(silent, &state));
  EXPECT_FALSE(state.hasSound) << "a movie without sound still opens";
  const uint32_t wave = Open(MediaDeviceType::WaveAudio, folder_.Write("a.wav", test::WaveFile({})), "wav1");
  EXPECT_EQ(MediaSetTimeFormat(wave, MediaTimeFormat::Frames), kMediaNotSupported);
  EXPECT_EQ(MediaSetVideoOff(wave), kMediaNotSupported);
}

TEST_F(MediaCommands, VolumesAreEachDevicesOwnAndEveryCommandIsLogged) {
  const std::string path = folder_.Write("a.wav", test::WaveFile({}));
  const uint32_t first = Open(MediaDeviceType::WaveAudio, path, "wav1");
  const uint32_t second = Open(MediaDeviceType::WaveAudio, path, "wav2");
  const uint32_t movie = Open(MediaDeviceType::AviVideo, folder_.Write("m.avi", test::MovieFile({})), "dgv1");
  TakeLog();
  EXPECT_EQ(MediaSetWaveVolume(first, 0x40008000u), kMediaOk);
  EXPECT_EQ(MediaSetAudio("dgv1", AudioChannel::Left, 500), kMediaOk);
  EXPECT_EQ(MediaSetAudio("dgv1", AudioChannel::Right, 1500), kMediaOk);
  int32_t right = 0;
  EXPECT_EQ(MediaAudioStatus("dgv1", AudioChannel::Right, &right), kMediaOk);
  EXPECT_EQ(right, 1000) << "clamped";
  EXPECT_EQ(MediaSetAudio("nobody", AudioChannel::Left, 5), kMediaNoDevice);
  EXPECT_EQ(MediaSetWaveVolume(9999, 1), kMediaNoDevice);

  MediaDeviceState state;
  ASSERT_TRUE(GetMediaDeviceState(first, &state));
  EXPECT_EQ(state.waveVolume, 0x40008000u);
  ASSERT_TRUE(GetMediaDeviceState(second, &state));
  EXPECT_EQ(state.waveVolume, 0xFFFFFFFFu) << "another sound keeps its own volume";
  ASSERT_TRUE(GetMediaDeviceState(movie, &state));
  EXPECT_EQ(state.leftVolume, 500);
  EXPECT_EQ(state.rightVolume, 1000);
  EXPECT_EQ(TakeLog(), (Log{"volume wav1 0x40008000", "setaudio dgv1 left volume to 500",
                            "setaudio dgv1 right volume to 1500", "status dgv1 right volume",
                            "setaudio nobody left volume to 5", "volume ? 0x00000001"}));
}

TEST_F(MediaCommands, AliasesAreUniqueAndClosedDevicesAnswerNoMore) {
  const std::string path = folder_.Write("a.wav", test::WaveFile({}));
  const uint32_t device = Open(MediaDeviceType::WaveAudio, path, "wav1");
  uint32_t again = 0;
  EXPECT_EQ(MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "wav1"}, &again), kMediaAliasInUse);
  EXPECT_EQ(MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "an-alias-far-too-long"}, &again), kMediaAliasInUse);
  EXPECT_EQ(MediaClose(device), kMediaOk);
  EXPECT_EQ(MediaPlay(device), kMediaNoDevice);
  EXPECT_EQ(MediaClose(device), kMediaNoDevice);
  const uint32_t reopened = Open(MediaDeviceType::WaveAudio, path, "wav1");
  EXPECT_NE(reopened, device) << "ids are never reused";
}

TEST_F(MediaCommands, InjectedFailuresHitTheNthCommandOfTheirKind) {
  const uint32_t device = Open(MediaDeviceType::WaveAudio, folder_.Write("a.wav", test::WaveFile({})), "wav1");
  InjectMediaCommandFailure(MediaCommand::Play, 2);
  EXPECT_EQ(MediaPlay(device), kMediaOk);
  EXPECT_EQ(MediaPlay(device), kMediaCommandFailed);
  EXPECT_EQ(MediaPlay(device), kMediaOk);
  InjectMediaCommandFailure(MediaCommand::Open, 1);
  uint32_t other = 0;
  EXPECT_EQ(MediaOpen({MediaDeviceType::WaveAudio, "whatever.wav", "wav2"}, &other), kMediaCommandFailed);
}

// The device is opened on a thread of its own; this waits until it is open
// or the output fell back.
std::string ChosenOutput() {
  for (int tries = 0; tries < 2000 && AudioOutputName() == "opening"; ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return AudioOutputName();
}

// Each test runs in a process of its own under CTest, so the output is still
// to be chosen here; run together with others, an earlier test chose it.
TEST(AudioOutput, WithoutADeviceSoundPlaysOnTheNullOutputAndTheLossIsReportedOnce) {
  if (!AudioOutputName().empty()) GTEST_SKIP() << "the output was chosen by an earlier test of this process";
  test::ScopedEnvironment noChoice("VANTESSEL_AUDIO", nullptr);
  test::ScopedEnvironment noDriver("SDL_AUDIODRIVER", "no-such-driver");
  test::TemporaryFolder folder("vxmci");
  const std::string path = folder.Write("a.wav", test::WaveFile({}));
  ManualClock clock;
  ::testing::internal::CaptureStderr();
  uint32_t device = 0;
  ASSERT_EQ(MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "wav1"}, &device), kMediaOk);
  MediaDeviceState state;
  ASSERT_TRUE(GetMediaDeviceState(device, &state));
  EXPECT_TRUE(state.nullOutput) << "until a device is open";
  EXPECT_EQ(ChosenOutput(), "null");
  uint32_t second = 0;
  ASSERT_EQ(MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "wav2"}, &second), kMediaOk);
  const std::string reported = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(reported.find("no audio output"), reported.rfind("no audio output")) << reported;
  EXPECT_NE(reported.find("no audio output"), std::string::npos) << reported;

  EXPECT_EQ(MediaPlay(device), kMediaOk);
  clock.Advance(2000);
  MediaPump();
  ASSERT_TRUE(GetMediaDeviceState(device, &state));
  EXPECT_FALSE(state.playing) << "the null output plays to the end on the clock";
  EXPECT_GT(state.loudestLeft, 0) << "and hears the sound it was handed";
  MediaClose(second);
  MediaClose(device);
}

// With a device (SDL's dummy driver, which plays on a clock of its own) each
// sound gets a stream, filled a little ahead of its position, at its volume.
TEST(AudioOutput, WithADeviceEachSoundHasAStreamFilledAhead) {
  if (!AudioOutputName().empty()) GTEST_SKIP() << "the output was chosen by an earlier test of this process";
  test::ScopedEnvironment noChoice("VANTESSEL_AUDIO", nullptr);
  test::ScopedEnvironment dummy("SDL_AUDIODRIVER", "dummy");
  test::TemporaryFolder folder("vxmci");
  const std::string path = folder.Write("a.wav", test::WaveFile({.channels = 2}));
  uint32_t device = 0;
  ASSERT_EQ(MediaOpen({MediaDeviceType::WaveAudio, path.c_str(), "wav1"}, &device), kMediaOk);
  ASSERT_EQ(ChosenOutput(), "sdl:dummy");
  MediaDeviceState state;
  ASSERT_TRUE(GetMediaDeviceState(device, &state));
  EXPECT_FALSE(state.nullOutput);
  EXPECT_EQ(MediaSetWaveVolume(device, 0x40004000u), kMediaOk);
  ASSERT_EQ(MediaPlay(device), kMediaOk);
  ASSERT_TRUE(GetMediaDeviceState(device, &state));
  EXPECT_GT(state.queuedFrames, 0);
  EXPECT_EQ(MediaStop(device), kMediaOk);
  EXPECT_EQ(MediaSeekToStart(device), kMediaOk);
  ASSERT_TRUE(GetMediaDeviceState(device, &state));
  EXPECT_EQ(state.queuedFrames, 0) << "seeking drops what was queued";
  EXPECT_EQ(MediaClose(device), kMediaOk);
}

}  // namespace
}  // namespace vx
