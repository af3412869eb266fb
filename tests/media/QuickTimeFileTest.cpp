// The QuickTime layer on real files: the atoms it reads itself, movies that
// FFmpeg writes and plays, PICT pictures, and files it cannot open.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "EncodedMovies.h"
#include "MovieTestFiles.h"
#include "PictTestFiles.h"
#include "engine/media/formats/pict/PictMedia.h"
#include "engine/media/formats/quicktime/QuickTimeMovie.h"
#include "platform/Clock.h"
#include "platform/media/MovieAtoms.h"
#include "platform/media/QuickTime.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

std::string Big(uint64_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(i < 8 ? static_cast<char>((value >> (8 * i)) & 0xFF) : '\0');
  return out;
}

std::string Atom(const char* type, const std::string& body) { return Big(body.size() + 8, 4) + type + body; }

std::string MovieHeader(uint32_t scale, uint32_t duration, uint32_t rate) {
  return Atom("mvhd", Big(0, 4) + Big(0, 8) + Big(scale, 4) + Big(duration, 4) + Big(rate, 4) + std::string(76, '\0'));
}

std::string Track(const char* handler, uint32_t mediaScale, uint32_t firstDelta) {
  const std::string times = Atom("stts", Big(0, 4) + Big(1, 4) + Big(10, 4) + Big(firstDelta, 4));
  const std::string media = Atom("mdhd", Big(0, 12) + Big(mediaScale, 4) + Big(1000, 4) + Big(0, 4)) +
                            Atom("hdlr", Big(0, 4) + "mhlr" + handler + std::string(12, '\0')) +
                            Atom("minf", Atom("stbl", times));
  return Atom("trak", Atom("tkhd", std::string(84, '\0')) + Atom("mdia", media));
}

std::string SampleMoovBody() {
  return MovieHeader(600, 720, 0x10000) + Track("vide", 600, 20) + Track("STpn", 1200, 40) +
         Atom("udta", Atom("NAVG", std::string(48, '\x07')) + Atom("REAL", std::string("\x00\x03\x00\x02\x3F\x80\x00\x00", 8)) +
                          Big(0, 4));
}

MovieAtoms Parsed(const std::string& moov) {
  MovieAtoms atoms;
  EXPECT_TRUE(ParseMovieAtoms({reinterpret_cast<const uint8_t*>(moov.data()), moov.size()}, &atoms));
  return atoms;
}

TEST(MovieAtoms, TheHeaderTracksAndUserDataAreRead) {
  const MovieAtoms atoms = Parsed(SampleMoovBody());
  EXPECT_EQ(atoms.timeScale, 600u);
  EXPECT_EQ(atoms.duration, 720u);
  EXPECT_EQ(atoms.preferredRate, 0x10000);
  ASSERT_EQ(atoms.tracks.size(), 2u);
  EXPECT_EQ(atoms.tracks[0].handlerType, FourCharCode("vide"));
  EXPECT_EQ(atoms.tracks[0].firstSampleDuration, 20u);
  EXPECT_EQ(atoms.tracks[1].handlerType, FourCharCode("STpn"));
  EXPECT_EQ(atoms.tracks[1].mediaTimeScale, 1200u);
  ASSERT_EQ(atoms.userData.size(), 2u) << "the closing zero word is no item";
  EXPECT_EQ(atoms.userData[0].type, FourCharCode("NAVG"));
  EXPECT_EQ(atoms.userData[0].bytes.size(), 48u);
  EXPECT_EQ(atoms.userData[1].bytes, (std::vector<uint8_t>{0x00, 0x03, 0x00, 0x02, 0x3F, 0x80, 0x00, 0x00}));

  const std::string wide = Atom("mvhd", std::string("\x01\0\0\0", 4) + Big(0, 16) + Big(90000, 4) +
                                            Big(0x1'0000'0000ULL, 8) + Big(0x20000, 4));
  const MovieAtoms held = Parsed(wide);
  EXPECT_EQ(held.duration, 0xFFFFFFFFu) << "a 64-bit duration is held at the largest 32-bit one";
  EXPECT_EQ(held.preferredRate, 0x20000);
}

TEST(MovieAtoms, CutAndLyingAtomsEndTheWalkWithoutReadingPastTheBytes) {
  const std::string moov = SampleMoovBody();
  for (size_t size = 0; size < moov.size(); ++size) {
    // A copy of exactly that size, so that the sanitizer sees any read past it.
    const std::unique_ptr<uint8_t[]> cut(new uint8_t[size + 1]);
    std::memcpy(cut.get(), moov.data(), size);
    MovieAtoms atoms;
    const bool read = ParseMovieAtoms({cut.get(), size}, &atoms);
    EXPECT_EQ(read, size >= 108) << "the movie header atom is 108 bytes; cut at " << size;
    EXPECT_LE(atoms.tracks.size(), 2u);
  }
  for (const std::string& lie : {Big(0xFFFFFFFF, 4) + "trak", Big(1, 4) + "trak" + Big(~0ULL, 8), Big(4, 4) + "udta",
                                 Big(1, 4) + "udta" + Big(8, 8)}) {
    MovieAtoms atoms;
    const std::string moov = MovieHeader(600, 1, 0) + lie + std::string(8, '\0');
    EXPECT_TRUE(ParseMovieAtoms({reinterpret_cast<const uint8_t*>(moov.data()), moov.size()}, &atoms));
    EXPECT_TRUE(atoms.tracks.empty());
  }
}

class QuickTimeFiles : public ::testing::Test {
 protected:
  QuickTimeFiles() { test::UseNullAudio(); }
  int32_t Load(CMediaObject& media, const std::string& path) {
    media.SetPixelDepth(32);
    static_cast<void>(media.SetUrl(path.c_str()));
    EXPECT_EQ(media.Process(), MediaFileReady);
    return media.Process();
  }
  std::string In(const char* name) const { return folder_.Path() + "/" + name; }
  static uint32_t TopBand(CMediaObject& media) {
    MediaImageInfo image;
    EXPECT_EQ(media.GetImageInfo(&image), 0);
    uint32_t pixel = 0;
    if (image.bits) std::memcpy(&pixel, image.Row(3) + 4 * 5, 4);
    return pixel & 0x00FFFFFF;
  }

  ManualClock clock_{5000};
  test::TemporaryFolder folder_{"vxqt"};
};

TEST_F(QuickTimeFiles, TheAtomsOfAWrittenFileAreFoundPastTheMediaData) {
  const std::string path =
      folder_.Write("a.mov", Atom("ftyp", "qt  ") + Atom("mdat", std::string(1000, 'x')) + Atom("moov", SampleMoovBody()));
  MovieAtoms atoms;
  ASSERT_TRUE(ReadMovieAtoms(path.c_str(), &atoms));
  EXPECT_EQ(atoms.tracks.size(), 2u);
  const std::string cut = folder_.Write("b.mov", Atom("ftyp", "qt  ") + Big(4000, 4) + "moov" + SampleMoovBody());
  EXPECT_FALSE(ReadMovieAtoms(cut.c_str(), &atoms)) << "a header that claims more than the file holds";
  EXPECT_FALSE(ReadMovieAtoms(folder_.Write("c.mov", Atom("mdat", "")).c_str(), &atoms));
}

TEST_F(QuickTimeFiles, AMovieWrittenByFfmpegPlaysItsFramesInOrder) {
  const test::MovieSpec spec{.width = 32, .height = 32, .frames = 6, .rate = 10};
  const std::string path = In("film.mov");
  if (!test::WriteQuickTimeMovie(path, spec)) GTEST_SKIP() << "FFmpeg has no PNG encoder or mov muxer";
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie, path), MediaComplete);
  EXPECT_NEAR(movie.GetDuration(), 0.6f, 0.001f);
  FrameGrid grid;
  ASSERT_EQ(movie.GetFrameGrid(&grid), 1);
  EXPECT_EQ(grid.order, kFrameOrderDownColumns);
  EXPECT_EQ(grid.framesDown, 6);
  EXPECT_EQ(grid.frameWidth, 32);

  movie.Play();
  EXPECT_NE(movie.IsPlaying(), 0.0f);
  for (int32_t k = 0; k < spec.frames; ++k) {
    clock_.Set(5000 + static_cast<uint64_t>(k) * 100 + 50);
    movie.Process();
    EXPECT_EQ(TopBand(movie), test::FrameColor(k)) << "frame " << k;
  }
  clock_.Set(7000);
  EXPECT_EQ(movie.IsPlaying(), 0.0f);
  movie.Rewind();
  movie.Process();
  EXPECT_EQ(TopBand(movie), test::FrameColor(0));

  ASSERT_EQ(movie.SetFrameTarget(nullptr), 0);
  for (int16_t k = 5; k >= 0; --k) {
    const std::unique_ptr<FrameRef> frame = movie.GetFrameRef({k, 0, 0});
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(movie.DrawFrame(frame.get(), nullptr), 0);
    EXPECT_EQ(TopBand(movie), test::FrameColor(k)) << "frame " << k << " by the grid";
  }
}

TEST_F(QuickTimeFiles, ASoundOnlyMovieLoadsWithoutPictureAndPlaysToItsEnd) {
  const std::string path = In("voice.mov");
  ASSERT_TRUE(test::WriteQuickTimeSound(path, 500));
  CQuickTimeMovie movie(false);
  ASSERT_EQ(Load(movie, path), MediaComplete);
  MediaImageInfo image;
  EXPECT_EQ(movie.GetImageInfo(&image), kMediaNoAnswer);
  EXPECT_EQ(movie.GetFrameGrid(nullptr), 0);
  EXPECT_NEAR(movie.GetDuration(), 0.5f, 0.001f);
  movie.SetVolume(0.5f);
  movie.Play();
  clock_.Set(5250);
  movie.Process();
  EXPECT_NE(movie.IsPlaying(), 0.0f);
  const int32_t halfway = movie.GetPosition();
  EXPECT_GT(halfway, 0);
  clock_.Set(6000);
  movie.Process();
  EXPECT_EQ(movie.IsPlaying(), 0.0f);
  EXPECT_EQ(movie.GetPosition(), 2 * halfway) << "the time stops at the end";
  movie.Rewind();
  EXPECT_EQ(movie.GetPosition(), 0);
}

TEST_F(QuickTimeFiles, FilesFfmpegCannotOpenLoadAsUnusable) {
  const test::MovieSpec avi{.frames = 2};
  for (const std::string& path : {folder_.Write("junk.mov", std::string(300, '\x5A')), folder_.Write("empty.mov", ""),
                                  folder_.Write("riff.mov", test::MovieFile(avi)), In("missing.mov")}) {
    CQuickTimeMovie movie(true);
    EXPECT_EQ(Load(movie, path), MediaUnusable) << path;
    movie.Play();
    movie.SetVolume(1.0f);
    EXPECT_EQ(movie.IsPlaying(), 0.0f);
  }
  std::unique_ptr<QtMovie> none;
  EXPECT_EQ(QuickTime().OpenMovie(In("missing.mov").c_str(), &none), kQuickTimeMissing);
}

// A PICT file goes through the layer's own reader: its frame gives the
// image's size, also away from the origin, and a file it cannot read fails
// the load.
TEST_F(QuickTimeFiles, PictFilesAreReadAndDrawnAtTheirFramesSize) {
  test::PictRaster raster;
  raster.opcode = 0x9A;
  raster.pixelSize = 32;
  raster.packType = 4;
  raster.bounds = raster.source = raster.destination = {40, 30, 70, 80};
  for (int32_t i = 0; i < 30 * 50; ++i) raster.pixels.push_back(i % 50 < 25 ? 0x2040C0u : 0xC04020u);
  CPictMedia pict;
  ASSERT_EQ(Load(pict, folder_.Write("a.pict", test::PictWriter(2, raster.bounds).Raster(raster).Bytes())),
            MediaDecoding);
  EXPECT_EQ(pict.Process(), MediaComplete);
  MediaImageInfo image;
  ASSERT_EQ(pict.GetImageInfo(&image), 0);
  EXPECT_EQ(image.width, 50);
  EXPECT_EQ(image.height, 30);
  EXPECT_EQ(TopBand(pict), 0x2040C0u);

  CPictMedia broken;
  EXPECT_EQ(Load(broken, folder_.Write("b.pict", std::string(512, '\0') + "\x00\x0A")), MediaUnusable);
}

// H.264 with B-frames (and MPEG-4 with B-frames, for a machine without an
// H.264 encoder): at each frame's time while the movie plays, its image is
// that frame as FFmpeg decodes it, to the last one.
class ReorderedQuickTimeFiles : public QuickTimeFiles, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReorderedQuickTimeFiles, EachFrameIsShownAtItsTime) {
  const test::EncodedMovie encoded{.name = GetParam(), .container = "mov", .encoders = {GetParam()}, .bFrames = 3};
  const std::string path = In("reordered.mov");
  const std::string missing = test::WriteEncodedMovie(path, encoded);
  if (!missing.empty()) GTEST_SKIP() << missing;
  const test::DecodedFrames reference = test::DecodeWithFfmpeg(path);
  ASSERT_FALSE(reference.frames.empty());
  CQuickTimeMovie movie(true);
  ASSERT_EQ(Load(movie, path), MediaComplete);
  MediaImageInfo image;
  ASSERT_EQ(movie.GetImageInfo(&image), 0);
  ASSERT_EQ(image.width, reference.width);
  movie.Play();
  for (size_t k = 0; k < reference.frames.size(); ++k) {
    clock_.Set(5000 + k * 1000 / static_cast<uint64_t>(encoded.rate) + 10);
    movie.Process();
    int32_t differing = 0;
    for (int32_t y = 0; y < reference.height; ++y) {
      for (int32_t x = 0; x < reference.width; ++x) {
        uint32_t pixel = 0;
        std::memcpy(&pixel, image.Row(y) + 4 * x, 4);
        differing += (pixel & 0xFFFFFF) != (reference.frames[k][static_cast<size_t>(y * reference.width + x)] & 0xFFFFFF);
      }
    }
    EXPECT_EQ(differing, 0) << "frame " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, ReorderedQuickTimeFiles, ::testing::Values("h264", "mpeg4"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace vx
