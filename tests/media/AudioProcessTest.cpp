// The audio device seen from processes of their own (tests/media/SoundProbe):
// a program that has played a sound still ends on SIGTERM, and a sound
// server that accepts and never answers holds nothing up.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MovieTestFiles.h"
#include "tests/platform/TestEnvironment.h"

extern char** environ;

namespace vx {
namespace {

using namespace std::chrono_literals;

// The probe, started on a wave file with the environment given on top of
// ours (and the audio output left to choose); killed if it still runs at
// the end.
class SoundProbe {
 public:
  SoundProbe(const std::string& wave, bool waitForDevice, const std::map<std::string, std::string>& variables) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
      const std::string variable(*entry);
      const std::string name = variable.substr(0, variable.find('='));
      if (name != "VANTESSEL_AUDIO" && !variables.contains(name)) environment.push_back(variable);
    }
    for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string program = VX_SOUND_PROBE;
    std::string file = wave;
    std::string wait = waitForDevice ? "yes" : "no";
    char* argv[] = {program.data(), file.data(), wait.data(), nullptr};

    int pipe[2] = {-1, -1};
    if (::pipe(pipe) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe[0]);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    out_ = pipe[0];
  }
  ~SoundProbe() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  SoundProbe(const SoundProbe&) = delete;
  SoundProbe& operator=(const SoundProbe&) = delete;

  // The probe's report; empty when none came within the time.
  std::string Report(std::chrono::milliseconds within) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd ready{out_, POLLIN, 0};
      if (::poll(&ready, 1, 20) <= 0) continue;
      char buffer[256];
      const ssize_t read = ::read(out_, buffer, sizeof buffer);
      if (read <= 0) break;
      line.append(buffer, static_cast<size_t>(read));
    }
    return line.find('\n') == std::string::npos ? std::string() : line.substr(0, line.find('\n'));
  }
  // Sends SIGTERM; true when the probe ended by it within the time.
  bool EndsOnSigterm(std::chrono::milliseconds within) {
    if (pid_ <= 0 || ::kill(pid_, SIGTERM) != 0) return false;
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

struct Played {
  long long milliseconds = -1;
  std::string output;
};

Played ParseReport(const std::string& report) {
  Played played;
  std::istringstream words(report);
  std::string word;
  words >> word >> played.milliseconds >> played.output;
  return played;
}

class AudioProcess : public ::testing::Test {
 protected:
  std::string Wave() const { return folder_.Write("a.wav", test::WaveFile({.frames = 80000})); }
  test::TemporaryFolder folder_{"vxaudio"};
};

// SDL catches SIGTERM and SIGINT for programs that read its events; this
// program reads none, so they must still end it.
TEST_F(AudioProcess, AProgramThatHasPlayedASoundEndsOnSigterm) {
  SoundProbe probe(Wave(), true, {{"SDL_AUDIODRIVER", "dummy"}});
  const Played played = ParseReport(probe.Report(20s));
  ASSERT_GE(played.milliseconds, 0) << "the probe played nothing";
  if (played.output != "sdl:dummy") GTEST_SKIP() << "SDL opened no dummy device here: " << played.output;
  EXPECT_TRUE(probe.EndsOnSigterm(5s)) << "SIGTERM did not end the program";
}

// A PulseAudio server that takes connections and never answers: the sound
// plays at once on the null output while the device is still being opened.
TEST_F(AudioProcess, AStalledSoundServerHoldsNothingUp) {
  const std::string path = folder_.Path() + "/pulse";
  const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(server, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(server, 8), 0);

  SoundProbe probe(Wave(), false, {{"SDL_AUDIODRIVER", "pulseaudio"}, {"PULSE_SERVER", "unix:" + path}});
  const Played played = ParseReport(probe.Report(10s));
  ::close(server);
  ASSERT_GE(played.milliseconds, 0) << "playing the sound waited for the sound server";
  if (played.output != "opening") GTEST_SKIP() << "SDL does not reach PulseAudio here: " << played.output;
  EXPECT_LT(played.milliseconds, 5000);
  EXPECT_TRUE(probe.EndsOnSigterm(5s)) << "SIGTERM did not end the program";
}

}  // namespace
}  // namespace vx
