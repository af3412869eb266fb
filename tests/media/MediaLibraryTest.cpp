// The media library (libvxmedia.so) as programs meet it: loaded only when a
// world first has a movie or a sound, found beside the platform library
// wherever that lies, and, where it is missing, missed quietly but for one
// line. Each case runs a probe (tests/media/MediaWorldProbe) in a process of
// its own, which links the engine and, like the viewer, no FFmpeg.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <vantessel/MediaLayer.h>

#include "MovieTestFiles.h"
#include "PictTestFiles.h"
#include "tests/platform/ChildProcess.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

constexpr const char* kMissingLibrary = "no movie and sound library";

// The words of the probe's line that starts with the heading, by key.
std::map<std::string, std::string> ReportLine(const std::string& out, const std::string& heading) {
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != heading) continue;
    std::map<std::string, std::string> values;
    while (words >> word) values[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
    return values;
  }
  return {};
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class MediaLibraryProbe : public ::testing::Test {
 protected:
  MediaLibraryProbe() {
    const std::string movie = folder_.Write("movie.avi", MovieFile({.kind = MovieKind::Uncompressed, .frames = 6}));
    const std::string wave = folder_.Write("tone.wav", WaveFile({.rate = 8000, .frames = 80000}));
    PictRaster raster;
    raster.opcode = 0x9A;
    raster.pixelSize = 32;
    raster.packType = 1;
    raster.bounds = raster.source = raster.destination = {0, 0, 2, 2};
    raster.pixels.assign(4, 0x3060C0);
    picture_ = folder_.Write("still.pic", PictWriter(2, raster.bounds).Raster(raster).Bytes());
    still_ = folder_.Write("still.wrl", "#VRML V2.0 utf8\nShape { geometry Box { } }\n");
    media_ = folder_.Write(
        "media.wrl",
        "#VRML V2.0 utf8\nViewpoint { position 0 0 0 }\n"
        "Transform { translation 0 0 -4 children Shape { appearance Appearance {\n"
        "  texture DEF MOVIE MovieTexture { url \"" + movie + "\" loop TRUE } } geometry Box { } } }\n"
        "Sound { location 0 0 -0.5 source DEF CLIP AudioClip { url \"" + wave + "\" loop TRUE } }\n");
  }

  // The probe with the platform library (and the media library when
  // `withMedia`) copied into a folder of their own, which the loader then
  // searches first.
  ProgramRun RunFromCopies(bool withMedia) {
    const std::filesystem::path libraries = std::filesystem::path(folder_.Path()) / "lib";
    std::filesystem::create_directory(libraries);
    std::filesystem::copy_file(VX_PLATFORM_LIBRARY, libraries / "libvxplatform.so");
    if (withMedia) std::filesystem::copy_file(VX_MEDIA_LIBRARY, libraries / VX_MEDIA_LIBRARY_FILE);
    return Run({"LD_LIBRARY_PATH=" + libraries.string()});
  }
  ProgramRun Run(const std::vector<std::string>& variables = {}) {
    return RunProgram({VX_MEDIA_WORLD_PROBE, still_, media_, picture_}, variables);
  }
  std::string LibraryFolder() const { return folder_.Path() + "/lib"; }

 private:
  TemporaryFolder folder_{"vxmedialib"};
  std::string picture_;
  std::string still_;
  std::string media_;
};

TEST_F(MediaLibraryProbe, AMovieAndASoundPlayInAWorldOpenedAfterOneWithout) {
  const ProgramRun run = Run();
  ASSERT_EQ(run.status, 0) << run.err;
  const auto still = ReportLine(run.out, "still");
  EXPECT_EQ(still.at("library"), "-") << "a world without media loads no media library";
  EXPECT_EQ(still.at("ffmpeg"), "0");
  EXPECT_EQ(still.at("sdl"), "0");
  const auto media = ReportLine(run.out, "media");
  EXPECT_EQ(media.at("library"), std::filesystem::path(VX_MEDIA_LIBRARY).parent_path().string());
  EXPECT_EQ(media.at("ffmpeg"), "1");
  EXPECT_EQ(media.at("sdl"), "1");
  EXPECT_GE(std::stoi(media.at("frames")), 3) << "the movie plays on";
  EXPECT_GT(std::stoi(media.at("loudest")), 1000) << "the sound is heard";
  EXPECT_EQ(media.at("picture"), "1");
  EXPECT_EQ(Count(run.err, kMissingLibrary), 0) << run.err;
}

// As in an installation: the platform library in a folder of its own finds
// the media library beside it, not the one it was built beside.
TEST_F(MediaLibraryProbe, TheMediaLibraryIsTheOneBesideThePlatformLibrary) {
  const ProgramRun run = RunFromCopies(true);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto media = ReportLine(run.out, "media");
  EXPECT_EQ(media.at("library"), LibraryFolder());
  EXPECT_GE(std::stoi(media.at("frames")), 3);
  EXPECT_GT(std::stoi(media.at("loudest")), 1000);
}

TEST_F(MediaLibraryProbe, WithoutTheMediaLibraryNothingPlaysAndThatIsSaidOnce) {
  const ProgramRun run = RunFromCopies(false);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto media = ReportLine(run.out, "media");
  EXPECT_EQ(media.at("library"), "-");
  EXPECT_EQ(media.at("ffmpeg"), "0");
  EXPECT_EQ(media.at("sdl"), "0");
  EXPECT_EQ(media.at("frames"), "0");
  EXPECT_EQ(media.at("loudest"), "-1") << "the clip has no sound device";
  EXPECT_EQ(media.at("picture"), "1") << "PICT pictures need no media library";
  EXPECT_EQ(Count(run.err, kMissingLibrary), 1) << run.err;
  EXPECT_NE(run.err.find(VX_MEDIA_LIBRARY_FILE), std::string::npos) << "the reason names the library: " << run.err;
}

// A library left over from another build is refused rather than called
// with a table of another shape; a current one fills every function.
TEST(MediaLibraryEntry, AnswersOnlyAHostOfItsOwnVersion) {
  void* library = dlopen(VX_MEDIA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const auto entry = reinterpret_cast<VxMediaEntryFn>(dlsym(library, VX_MEDIA_ENTRY_NAME));
  ASSERT_NE(entry, nullptr);
  auto clock = []() -> uint64_t { return 0; };
  const VxMediaHost older{sizeof(VxMediaHost), VX_MEDIA_LAYER_VERSION - 1, clock};
  const VxMediaHost smaller{sizeof(VxMediaHost) - sizeof(void*), VX_MEDIA_LAYER_VERSION, clock};
  EXPECT_EQ(entry(&older), nullptr);
  EXPECT_EQ(entry(&smaller), nullptr);
  EXPECT_EQ(entry(nullptr), nullptr);

  const VxMediaHost host{sizeof(VxMediaHost), VX_MEDIA_LAYER_VERSION, clock};
  const VxMediaLayer* layer = entry(&host);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->size, sizeof(VxMediaLayer));
  EXPECT_EQ(layer->version, static_cast<uint32_t>(VX_MEDIA_LAYER_VERSION));
  std::array<void (*)(), (sizeof(VxMediaLayer) - offsetof(VxMediaLayer, openVideo)) / sizeof(void (*)())> functions{};
  std::memcpy(functions.data(), &layer->openVideo, sizeof functions);
  for (size_t i = 0; i < functions.size(); ++i) EXPECT_NE(functions[i], nullptr) << "function " << i;
}

}  // namespace
}  // namespace vx::test
