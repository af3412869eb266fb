#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>

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

}  // namespace
}  // namespace vx
