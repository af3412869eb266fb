// A program that plays a wave file as the viewer would, for the tests that
// need a process of its own: it opens and plays the sound, reports how long
// that took and which output the sound went to, then keeps the sound going
// until it is ended from outside.
//   sound_probe <wave file> <wait for the device: yes|no>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "platform/media/AudioOutput.h"
#include "platform/media/MediaCommands.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const auto start = std::chrono::steady_clock::now();
  uint32_t device = 0;
  if (vx::MediaOpen({vx::MediaDeviceType::WaveAudio, argv[1], "probe"}, &device) != vx::kMediaOk) return 3;
  if (vx::MediaPlay(device) != vx::kMediaOk) return 4;
  vx::MediaPump();
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  if (std::strcmp(argv[2], "yes") == 0) {
    for (int tries = 0; tries < 1000 && vx::AudioOutputName() == "opening"; ++tries)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::printf("played %lld %s\n", static_cast<long long>(took.count()), vx::AudioOutputName().c_str());
  std::fflush(stdout);
  for (;;) {
    vx::MediaPump();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
