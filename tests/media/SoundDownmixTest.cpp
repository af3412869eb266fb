// Surround sound mixed down to stereo at the levels of FFmpeg's own stereo
// downmix: decoded float samples go through the matrix as it stands, as
// FFmpeg mixes them, rather than one scaled down until no sum can clip.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <dlfcn.h>

#include <vantessel/MediaLayer.h>

#include "platform/media/MediaPlatformLimits.h"
#include "tests/platform/TestEnvironment.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace vx {
namespace {

constexpr int32_t kRate = 22050;
constexpr int32_t kFrames = kRate / 5;
// A level of its own in each channel, steady, so that the mix is too.
constexpr float kLevels[] = {0.30f, -0.20f, 0.25f, 0.10f, 0.15f, -0.10f, 0.05f, 0.20f};

void PutLittle(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
}

// A wave file of 32-bit float samples.
std::string FloatWave(int channels) {
  std::string data;
  for (int32_t frame = 0; frame < kFrames; ++frame)
    for (int c = 0; c < channels; ++c) {
      uint32_t bits = 0;
      std::memcpy(&bits, &kLevels[c], sizeof bits);
      PutLittle(data, bits, 4);
    }
  std::string out = "RIFF";
  PutLittle(out, static_cast<uint32_t>(36 + data.size()), 4);
  out += "WAVEfmt ";
  PutLittle(out, 16, 4);
  PutLittle(out, 3, 2);  // IEEE float
  PutLittle(out, static_cast<uint32_t>(channels), 2);
  PutLittle(out, kRate, 4);
  PutLittle(out, static_cast<uint32_t>(kRate * channels * 4), 4);
  PutLittle(out, static_cast<uint32_t>(channels * 4), 2);
  PutLittle(out, 32, 2);
  out += "data";
  PutLittle(out, static_cast<uint32_t>(data.size()), 4);
  return out + data;
}

// FFmpeg's stereo mix of the levels, in float, cut to 16 bits at the end.
std::vector<int16_t> FfmpegsStereo(int channels) {
  AVChannelLayout in{};
  av_channel_layout_default(&in, channels);
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  SwrContext* mixer = nullptr;
  std::vector<int16_t> mixed;
  if (swr_alloc_set_opts2(&mixer, &stereo, AV_SAMPLE_FMT_FLT, kRate, &in, AV_SAMPLE_FMT_FLT, kRate, 0, nullptr) < 0 ||
      swr_init(mixer) < 0) {
    swr_free(&mixer);
    return mixed;
  }
  float out[2] = {};
  auto* target = reinterpret_cast<uint8_t*>(out);
  const auto* source = reinterpret_cast<const uint8_t*>(kLevels);
  if (swr_convert(mixer, &target, 1, &source, 1) == 1)
    for (const float sample : out) mixed.push_back(static_cast<int16_t>(std::lrint(sample * 32768.0f)));
  swr_free(&mixer);
  return mixed;
}

// The media library's own table of functions.
const VxMediaLayer* MediaLayer() {
  static const VxMediaLayer* layer = []() -> const VxMediaLayer* {
    void* library = dlopen(VX_MEDIA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    const auto entry = library ? reinterpret_cast<VxMediaEntryFn>(dlsym(library, VX_MEDIA_ENTRY_NAME)) : nullptr;
    static const VxMediaHost host{sizeof(VxMediaHost), VX_MEDIA_LAYER_VERSION, []() -> uint64_t { return 0; }};
    return entry ? entry(&host) : nullptr;
  }();
  return layer;
}

class SoundDownmix : public ::testing::TestWithParam<int> {
 protected:
  test::TemporaryFolder folder_{"vxdownmix"};
};

TEST_P(SoundDownmix, FloatSurroundPlaysAtFfmpegsStereoLevels) {
  const int channels = GetParam();
  const std::string path = folder_.Write("surround.wav", FloatWave(channels));
  const std::vector<int16_t> expected = FfmpegsStereo(channels);
  ASSERT_EQ(expected.size(), 2u);
  const VxMediaLayer* layer = MediaLayer();
  ASSERT_NE(layer, nullptr);
  VxMediaSound* sound = layer->openSound(path.c_str(), "wav");
  ASSERT_NE(sound, nullptr);
  std::vector<int16_t> stereo(static_cast<size_t>(kOutputSampleRate / 5) * kOutputChannels);
  const int32_t frames = layer->readSound(sound, stereo.data(), kOutputSampleRate / 5);
  layer->closeSound(sound);
  ASSERT_GT(frames, kOutputSampleRate / 10);
  // A frame well inside the sound, away from the resampler's edges.
  const size_t middle = static_cast<size_t>(kOutputSampleRate / 20) * kOutputChannels;
  EXPECT_NEAR(stereo[middle], expected[0], 1);
  EXPECT_NEAR(stereo[middle + 1], expected[1], 1);
}

INSTANTIATE_TEST_SUITE_P(FourToEightChannels, SoundDownmix, ::testing::Range(4, 9));

}  // namespace
}  // namespace vx
