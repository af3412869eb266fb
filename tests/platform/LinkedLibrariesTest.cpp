// What a program loads before its first line runs: the viewer, the plug-in,
// the engine module and the platform library must not pull in FFmpeg or
// SDL2, which only the media library links and which the platform loads
// when a movie or a sound first needs them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/platform/ChildProcess.h"

namespace vx::test {
namespace {

// The file names of every library the dynamic loader maps for the file,
// its dependencies' dependencies too.
std::vector<std::string> LoadedWith(const std::string& file) {
  const ProgramRun run = RunProgram({"ldd", file});
  EXPECT_EQ(run.status, 0) << file << ": " << run.err;
  std::vector<std::string> names;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string name;
    if (words >> name) names.push_back(name.substr(name.rfind('/') + 1));
  }
  return names;
}

bool IsMediaDependency(const std::string& name) {
  for (const char* prefix : {"libavformat.", "libavcodec.", "libavutil.", "libswscale.", "libswresample.", "libSDL2"})
    if (name.starts_with(prefix)) return true;
  return false;
}

TEST(LinkedLibraries, NoProgramOrModuleLoadsFfmpegOrSdlAtStart) {
  for (const char* file : {VX_VIEWER_PROGRAM, VX_PLUGIN_MODULE, VX_ENGINE_MODULE, VX_PLATFORM_LIBRARY}) {
    const std::vector<std::string> names = LoadedWith(file);
    EXPECT_FALSE(names.empty()) << file;
    for (const std::string& name : names) EXPECT_FALSE(IsMediaDependency(name)) << file << " loads " << name;
  }
}

// The check above sees these libraries where they are linked.
TEST(LinkedLibraries, TheMediaLibraryLinksThemItself) {
  const std::vector<std::string> names = LoadedWith(VX_MEDIA_LIBRARY);
  int found = 0;
  for (const std::string& name : names) found += IsMediaDependency(name) ? 1 : 0;
  EXPECT_GE(found, 6) << "FFmpeg's five libraries and SDL2";
}

}  // namespace
}  // namespace vx::test
