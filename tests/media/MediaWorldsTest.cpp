// Movies and sounds in small worlds, as a user meets them: a looping
// QuickTime movie texture, and sounds that must stay silent until the
// listener may hear them, measured by the levels the null output records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MovieTestFiles.h"
#include "engine/media/formats/SoundPlayback.h"
#include "engine/media/nodes/AudioClipNode.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/media/nodes/SoundNode.h"
#include "platform/Clock.h"
#include "platform/media/MediaCommands.h"
#include "tests/nodes/RenderedWorld.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

constexpr uint64_t kStepMs = 100;

class MediaWorlds : public RenderedWorld {
 protected:
  MediaWorlds() { UseNullAudio(); }
  void Steps(int count) {
    for (int i = 0; i < count; ++i) {
      clock_.Advance(kStepMs);
      Frame();
    }
  }

  ManualClock clock_{20000};
  TemporaryFolder folder_{"vxworld"};
};

// The frame a movie texture shows, by the colour of its top band; -1 for
// none of the movie's frames.
int32_t FrameShown(const CMovieTextureNode& texture, int32_t frames) {
  PixelMap image;
  texture.GetFrameInfo(&image);
  if (!image.bits || image.bytesPerPixel != 4) return -1;
  uint32_t pixel = 0;
  std::memcpy(&pixel, image.Row(3) + 4 * 5, 4);
  for (int32_t k = 0; k < frames; ++k)
    if ((pixel & 0xFFFFFF) == FrameColor(k)) return k;
  return -1;
}

// Each step is a frame of the movie long: every round shows every frame,
// the first one too, each once and in order.
TEST_F(MediaWorlds, ALoopingQuickTimeMovieShowsEveryFrameOnEveryRound) {
  const MovieSpec movie{.width = 32, .height = 32, .frames = 6, .rate = 10};
  const std::string path = folder_.Path() + "/loop.mov";
  if (!WriteQuickTimeMovie(path, movie)) GTEST_SKIP() << "FFmpeg has no PNG encoder or mov muxer";
  Load("Shape { appearance Appearance { texture DEF M MovieTexture { url \"" + path +
       "\" loop TRUE } } geometry Box { } }");
  const auto& texture = static_cast<const CMovieTextureNode&>(Named("M"));
  Steps(2);
  std::vector<int32_t> shown;
  for (int i = 0; i < 3 * movie.frames; ++i) {
    Steps(1);
    shown.push_back(FrameShown(texture, movie.frames));
  }
  for (size_t i = 1; i < shown.size(); ++i)
    EXPECT_EQ(shown[i], (shown[i - 1] + 1) % movie.frames) << "step " << i << " after frame " << shown[i - 1];
}

// The loudest sample a clip's sound device was handed so far.
int32_t Loudest(CNode& clip) {
  const CSoundHandle* handle = static_cast<CAudioClipNode&>(clip).Handle();
  const auto* media = handle ? dynamic_cast<const CPlayedMedia*>(handle->Media()) : nullptr;
  MediaDeviceState state;
  if (!media || !GetMediaDeviceState(media->DeviceId(), &state)) return -1;
  return std::max(state.loudestLeft, state.loudestRight);
}

// A sound of intensity 0, and one whose listener stands beyond its ellipse,
// play from the start; neither may be heard until its volume rises.
TEST_F(MediaWorlds, ASoundIsSilentUntilItsVolumeFirstRises) {
  const std::string wave = folder_.Write("a.wav", WaveFile({.rate = 8000, .frames = 80000}));
  Load("Viewpoint { position 0 0 0 }"
       "DEF QUIET Sound { intensity 0 source DEF QUIET_CLIP AudioClip { url \"" + wave + "\" } }"
       "DEF FAR Sound { location 0 0 -50 source DEF FAR_CLIP AudioClip { url \"" + wave + "\" } }");
  Steps(10);
  CNode& quiet = Named("QUIET_CLIP");
  CNode& far = Named("FAR_CLIP");
  EXPECT_EQ(Loudest(quiet), 0);
  EXPECT_EQ(Loudest(far), 0);

  const float full = 1.0f;
  Named("QUIET").SetField("intensity", &full);
  const SFVec3f near{0, 0, -0.5f};
  Named("FAR").SetField("location", &near);
  Steps(10);
  EXPECT_GT(Loudest(quiet), 1000);
  EXPECT_GT(Loudest(far), 1000);
}

}  // namespace
}  // namespace vx::test
