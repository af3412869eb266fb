#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include "EncodedMovies.h"
#include "MovieTestFiles.h"
#include "platform/Faults.h"
#include "platform/media/AviFile.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using test::MovieKind;

// Largest difference of one channel between two xRGB pixels.
int ChannelDistance(uint32_t a, uint32_t b) {
  int largest = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    largest = std::max(largest, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return largest;
}

// Lossy codecs come back near the colour they were given.
int ToleranceOf(MovieKind kind) { return kind == MovieKind::Mjpeg || kind == MovieKind::Cinepak ? 40 : 0; }

class AviFileKinds : public ::testing::TestWithParam<std::tuple<MovieKind, bool>> {
 protected:
  test::MovieSpec Spec() const {
    test::MovieSpec spec;
    spec.kind = std::get<0>(GetParam());
    spec.index = std::get<1>(GetParam());
    spec.withSound = spec.kind == MovieKind::Uncompressed;
    return spec;
  }
  std::unique_ptr<AviFile> OpenMovie(const test::MovieSpec& spec) {
    const std::string bytes = test::MovieFile(spec);
    EXPECT_FALSE(bytes.empty()) << "the encoder is missing";
    std::unique_ptr<AviFile> file;
    EXPECT_EQ(AviFile::Open(folder_.Write("movie.avi", bytes).c_str(), &file), AviOpenResult::Opened);
    return file;
  }
  // The frame's top band shows its own colour and its bottom band the fixed
  // one, the right way up.
  void ExpectFrame(AviFile& file, int32_t n, int32_t width, int32_t height) {
    const auto pixels = file.GetFrame(n);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(width * height)) << "frame " << n;
    const int tolerance = ToleranceOf(std::get<0>(GetParam()));
    EXPECT_LE(ChannelDistance(pixels[static_cast<size_t>(width + 3)], test::FrameColor(n)), tolerance) << "frame " << n;
    EXPECT_LE(ChannelDistance(pixels[pixels.size() - static_cast<size_t>(width) - 3], test::kBottomColor), tolerance)
        << "frame " << n;
  }

  test::TemporaryFolder folder_{"vxavi"};
};

TEST_P(AviFileKinds, ReadsTheStreamAndDecodesEveryFrameInOrderAndOutOfOrder) {
  const test::MovieSpec spec = Spec();
  std::unique_ptr<AviFile> file = OpenMovie(spec);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->FileInfo().width, spec.width);
  EXPECT_EQ(file->FileInfo().height, spec.height);
  EXPECT_EQ(file->FileInfo().streamCount, spec.withSound ? 2 : 1);
  EXPECT_EQ(file->VideoInfo().start, 0);
  EXPECT_EQ(file->VideoInfo().length, spec.frames);
  EXPECT_DOUBLE_EQ(file->VideoInfo().rate, spec.rate);
  for (int32_t n = 0; n < spec.frames; ++n) ExpectFrame(*file, n, spec.width, spec.height);
  for (int32_t n : {4, 1, 5, 0, 2}) ExpectFrame(*file, n, spec.width, spec.height);
  EXPECT_TRUE(file->GetFrame(spec.frames).empty());
  EXPECT_TRUE(file->GetFrame(-1).empty());

  AviStreamInfo probed;
  ASSERT_TRUE(AviFile::Probe((folder_.Path() + "/movie.avi").c_str(), &probed));
  EXPECT_EQ(probed.length, spec.frames);
}

INSTANTIATE_TEST_SUITE_P(KindsWithAndWithoutIndex, AviFileKinds,
                         ::testing::Combine(::testing::Values(MovieKind::Uncompressed, MovieKind::Rle8,
                                                              MovieKind::Mjpeg, MovieKind::Cinepak),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(test::NameOf(std::get<0>(info.param))) +
                                  (std::get<1>(info.param) ? "Indexed" : "WithoutIndex");
                         });

class AviFileRefusals : public ::testing::Test {
 protected:
  AviOpenResult OpenBytes(const std::string& bytes) {
    std::unique_ptr<AviFile> file;
    const AviOpenResult result = AviFile::Open(folder_.Write("bad.avi", bytes).c_str(), &file);
    EXPECT_EQ(result == AviOpenResult::Opened, file != nullptr);
    if (file) {
      for (int32_t n = 0; n < file->VideoInfo().length; ++n) static_cast<void>(file->GetFrame(n));
    }
    return result;
  }
  test::TemporaryFolder folder_{"vxavi"};
};

TEST_F(AviFileRefusals, MissingGarbageAndSoundOnlyFilesAreNotOpened) {
  std::unique_ptr<AviFile> file;
  EXPECT_EQ(AviFile::Open((folder_.Path() + "/none.avi").c_str(), &file), AviOpenResult::CannotOpen);
  EXPECT_EQ(AviFile::Open(nullptr, &file), AviOpenResult::CannotOpen);
  EXPECT_NE(OpenBytes("RIFF\x04\0\0\0AVI "), AviOpenResult::Opened);
  EXPECT_NE(OpenBytes(std::string(300, '\x7f')), AviOpenResult::Opened);
  EXPECT_EQ(OpenBytes(test::WaveFile({})), AviOpenResult::CannotOpen);
}

// A file cut anywhere opens with the frames that are whole, or not at all,
// and every frame it offers decodes or is refused without harm.
TEST_F(AviFileRefusals, TruncatedMoviesNeverReadPastTheirBytes) {
  const std::string whole = test::MovieFile({.kind = MovieKind::Rle8});
  for (size_t cut : {whole.size() / 8, whole.size() / 3, whole.size() / 2, whole.size() - 40}) {
    SCOPED_TRACE(cut);
    static_cast<void>(OpenBytes(whole.substr(0, cut)));
  }
}

TEST_F(AviFileRefusals, AnInjectedOpenFailureIsReported) {
  const std::string path = folder_.Write("movie.avi", test::MovieFile({}));
  ScopedFault fault(FaultKind::kOpen, 1);
  std::unique_ptr<AviFile> file;
  EXPECT_EQ(AviFile::Open(path.c_str(), &file), AviOpenResult::CannotOpen);
  EXPECT_EQ(AviFile::Open(path.c_str(), &file), AviOpenResult::Opened);
}

// A header that claims a far larger picture than the codec's own costs
// nothing: frames come at the size the decoder finds (MJPEG), and a movie
// whose codec takes the claim for its pictures' size is refused before
// anything is kept for them.
TEST_F(AviFileRefusals, AHeadersClaimedSizeIsNeitherBelievedNorAllocated) {
  for (const MovieKind kind : {MovieKind::Mjpeg, MovieKind::Cinepak, MovieKind::Rle8, MovieKind::Uncompressed}) {
    SCOPED_TRACE(test::NameOf(kind));
    std::string bytes = test::MovieFile({.kind = kind});
    ASSERT_FALSE(bytes.empty()) << "the encoder is missing";
    auto claim = [&bytes](const char* chunk, size_t offset, uint32_t value) {
      const size_t at = bytes.find(chunk) + 8 + offset;
      for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    for (const auto& [chunk, widthAt] : {std::pair{"avih", size_t{32}}, std::pair{"strf", size_t{4}}}) {
      claim(chunk, widthAt, 16384);
      claim(chunk, widthAt + 4, 4096);
    }
    std::unique_ptr<AviFile> file;
    const AviOpenResult opened = AviFile::Open(folder_.Write("claims.avi", bytes).c_str(), &file);
    if (kind != MovieKind::Mjpeg) {
      EXPECT_NE(opened, AviOpenResult::Opened);
      continue;
    }
    ASSERT_EQ(opened, AviOpenResult::Opened);
    EXPECT_EQ(file->FileInfo().width, 32);
    EXPECT_EQ(file->FileInfo().height, 32);
    EXPECT_EQ(file->GetFrame(3).size(), 32u * 32u);
  }
}

// Movies whose codecs reorder their pictures (and MJPEG, which does not),
// written by FFmpeg: frame n is the n-th picture FFmpeg shows, however the
// frames are asked for.
class ReorderedMovies : public ::testing::TestWithParam<test::EncodedMovie> {
 protected:
  void SetUp() override {
    path_ = folder_.Path() + "/movie." + GetParam().container;
    const std::string missing = test::WriteEncodedMovie(path_, GetParam());
    if (!missing.empty()) GTEST_SKIP() << missing;
    reference_ = test::DecodeWithFfmpeg(path_);
    // FFmpeg's QuickTime muxer may leave the last B-framed picture outside
    // the movie's edit, and FFmpeg then shows one frame less.
    ASSERT_GE(reference_.frames.size() + 1, static_cast<size_t>(GetParam().frames));
  }
  int32_t Frames() const { return static_cast<int32_t>(reference_.frames.size()); }
  // MPEG-1 files open as the movie device opens every file it plays, by
  // the AVI reader's name.
  std::unique_ptr<AviFile> Open() {
    std::unique_ptr<AviFile> file;
    const bool quickTime = std::string_view(GetParam().container) == "mov";
    EXPECT_EQ(AviFile::Open(path_.c_str(), &file, quickTime ? "mov" : "avi"), AviOpenResult::Opened);
    return file;
  }
  ::testing::AssertionResult IsFfmpegsFrame(AviFile& file, int32_t n) {
    const std::span<const uint32_t> pixels = file.GetFrame(n);
    const std::vector<uint32_t>& expected = reference_.frames[static_cast<size_t>(n)];
    if (pixels.size() != expected.size()) return ::testing::AssertionFailure() << "frame " << n << " not decoded";
    for (size_t i = 0; i < expected.size(); ++i) {
      if ((pixels[i] & 0xFFFFFF) != (expected[i] & 0xFFFFFF))
        return ::testing::AssertionFailure() << "frame " << n << " differs at pixel " << i;
    }
    return ::testing::AssertionSuccess();
  }

  test::TemporaryFolder folder_{"vxorder"};
  std::string path_;
  test::DecodedFrames reference_;
};

TEST_P(ReorderedMovies, FramesInOrderBackwardsAndByTimeAreTheOnesFfmpegShows) {
  std::unique_ptr<AviFile> file = Open();
  ASSERT_TRUE(file);
  const int32_t frames = Frames();
  EXPECT_EQ(file->VideoInfo().length, frames);
  EXPECT_EQ(file->FileInfo().width, reference_.width);
  for (int32_t n = 0; n < frames; ++n) EXPECT_TRUE(IsFfmpegsFrame(*file, n));
  for (int32_t n = frames - 1; n >= 0; --n) EXPECT_TRUE(IsFfmpegsFrame(*file, n)) << "backwards";
  for (int32_t n = 0; n < frames; ++n) EXPECT_EQ(file->FrameAt(n / static_cast<double>(GetParam().rate)), n);
}

// Frames between key frames, the last ones (which come out only once the
// decoder is told the stream ended) and leaps back and forth, each asked of
// a movie that has decoded nothing before.
TEST_P(ReorderedMovies, AnyFrameAskedFirstIsReachedFromTheKeyFrameBeforeIt) {
  const int32_t frames = Frames();
  for (const int32_t first : {7, 11, 13, frames - 1, frames - 2}) {
    if (first >= frames) continue;
    std::unique_ptr<AviFile> file = Open();
    ASSERT_TRUE(file);
    EXPECT_TRUE(IsFfmpegsFrame(*file, first));
    for (const int32_t next : {first - 5, first + 1, 2, first}) {
      if (next < 0 || next >= frames) continue;
      EXPECT_TRUE(IsFfmpegsFrame(*file, next)) << "after " << first;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    WrittenByFfmpeg, ReorderedMovies,
    ::testing::Values(
        test::EncodedMovie{.name = "Mpeg4WithBFramesInAvi", .container = "avi", .encoders = {"mpeg4"}, .bFrames = 2},
        test::EncodedMovie{.name = "Mpeg1InAvi", .container = "avi", .encoders = {"mpeg1video"}, .bFrames = 2},
        test::EncodedMovie{.name = "Mpeg1SystemStream", .container = "mpeg", .encoders = {"mpeg1video"}, .bFrames = 2},
        test::EncodedMovie{
            .name = "Mpeg1VideoStream", .container = "mpeg1video", .encoders = {"mpeg1video"}, .bFrames = 2},
        test::EncodedMovie{.name = "H264InMov", .container = "mov", .encoders = {"h264"}, .bFrames = 3},
        test::EncodedMovie{.name = "Mpeg4WithBFramesInMov", .container = "mov", .encoders = {"mpeg4"}, .bFrames = 2},
        test::EncodedMovie{.name = "MjpegInAvi", .container = "avi", .encoders = {"mjpeg"}},
        // Rows narrower than the scaler's blocks of pixels.
        test::EncodedMovie{.name = "NarrowMpeg4InAvi",
                           .container = "avi",
                           .encoders = {"mpeg4"},
                           .bFrames = 2,
                           .frames = 10,
                           .width = 6,
                           .height = 4}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vx
