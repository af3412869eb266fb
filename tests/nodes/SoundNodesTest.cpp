#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "EventRecorder.h"
#include "NodeTestSupport.h"
#include "engine/media/MediaHandle.h"
#include "engine/media/formats/SoundPlayback.h"
#include "engine/media/nodes/AudioClipNode.h"
#include "engine/media/nodes/SoundNode.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"
#include "platform/media/MediaCommands.h"
#include "tests/media/MovieTestFiles.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

using Log = std::vector<std::string>;
constexpr int kFrameSize = 16;

// A listener at the origin looking down -z (its right is +x), a Sound
// whose source is an AudioClip, and a recorder of the clip's isActive.
class SoundNodes : public ::testing::Test {
 protected:
  SoundNodes() {
    UseNullAudio();
    ClearMediaCommandLog();
    world_.ResetClock();
    view_.SetFrameBuffer(FrameOver(pixels_, kFrameSize, kFrameSize));
    Listen({0, 0, 0}, std::numbers::pi_v<float>);
    sound_->SetField("source", &clip_);
    recorder_ = RecordInto(*clip_.Get(), "isActive", "flag");
  }
  void Listen(const CVec3f& at, float yaw) {
    view_.SetPosition(at, false);
    view_.SetOrientation(0.0f, yaw, 0.0f, false);
  }
  CSoundNode& Sound() { return As<CSoundNode>(sound_); }
  CAudioClipNode& Clip() { return As<CAudioClipNode>(clip_); }
  CEventRecorder& Recorded() { return As<CEventRecorder>(recorder_); }
  void SetUrls(const std::vector<std::string>& urls) {
    std::vector<SFString> values(urls.size());
    for (size_t i = 0; i < urls.size(); ++i) std::snprintf(values[i].text, sizeof values[i].text, "%s", urls[i].c_str());
    const MFString list{static_cast<int32_t>(values.size()), values.data()};
    Clip().SetField("url", &list);
  }
  // What the listener hears of the sound at that location.
  SoundHeard HeardAt(const SFVec3f& location) {
    Sound().location = location;
    Sound().Traverse(RenderPass::Frame, &view_);
    return {Clip().Volume(), Clip().Balance()};
  }
  void Frames(int count, uint64_t stepMs = 100) {
    for (int i = 0; i < count; ++i) {
      clock_.Advance(stepMs);
      Sound().Traverse(RenderPass::Frame, &view_);
    }
  }
  // The commands sent to the clip's device that start or stop it.
  static Log Playback() {
    Log log;
    for (const std::string& line : MediaCommandLog()) {
      const std::string command = line.substr(0, line.find(' '));
      if (command == "play" || command == "stop" || command == "seek" || command == "open" || command == "close")
        log.push_back(command);
    }
    return log;
  }
  static uint32_t WaveWordOf(const CAudioClipNode& clip) {
    const auto* media = clip.Handle() ? dynamic_cast<const CPlayedMedia*>(clip.Handle()->Media()) : nullptr;
    MediaDeviceState state;
    if (!media || !GetMediaDeviceState(media->DeviceId(), &state)) return 0;
    return state.waveVolume;
  }
  void UseElliptic() {
    Sound().minBack = 1;
    Sound().maxBack = 5;
  }

  ManualClock clock_{30000};
  TemporaryFolder folder_{"vxsoundnode"};
  std::vector<uint32_t> pixels_ = std::vector<uint32_t>(kFrameSize * kFrameSize);
  CViewContext view_{WindowHandle::None, 0};
  CBrowser world_;
  CNodeRef sound_ = NodeFactory("Sound", {.scene = &world_.GetScene()});
  CNodeRef clip_ = NodeFactory("AudioClip", {.scene = &world_.GetScene()});
  CNodeRef recorder_;
};

TEST_F(SoundNodes, EqualEllipsesFallOffStraightWithoutBalance) {
  EXPECT_NEAR(HeardAt({0, 0, -5}).volume, 1.0f - 4.0f / 9.0f, 1e-5f);
  EXPECT_EQ(HeardAt({5, 0, 0}).balance, 0.0f) << "no balance without distinct ellipses";
  EXPECT_EQ(HeardAt({0, 0, -12}).volume, 0.0f);
  EXPECT_EQ(HeardAt({0, 0, -0.5f}).volume, 1.0f);
  Sound().intensity = 3.0f;
  EXPECT_EQ(HeardAt({0, 0, -0.5f}).volume, 1.0f) << "held to 1";
}

TEST_F(SoundNodes, EllipsesOfOneSizeNeverGiveNaN) {
  for (float size : {5.0f, 0.0f}) {
    Sound().minFront = Sound().maxFront = Sound().minBack = Sound().maxBack = size;
    for (float distance : {0.0f, 4.0f, 5.0f, 6.0f}) {
      const SoundHeard heard = HeardAt({0, 0, -distance});
      EXPECT_FALSE(std::isnan(heard.volume)) << size << " at " << distance;
      EXPECT_EQ(heard.volume, distance > size ? 0.0f : 1.0f) << size << " at " << distance;
    }
  }
  Sound().minFront = 1;
  Sound().maxFront = 10;
  Sound().minBack = Sound().maxBack = 3;
  const SoundHeard behind = HeardAt({0, 0, 3});
  EXPECT_FALSE(std::isnan(behind.volume));
  EXPECT_FALSE(std::isnan(behind.balance));
}

// With distinct ellipses the listener behind the source is measured against
// the back one, and turning away lowers the sound down to a quarter.
TEST_F(SoundNodes, BackEllipseAndFacingShapeTheVolume) {
  UseElliptic();
  const float front = HeardAt({0, 0, -4}).volume;
  EXPECT_NEAR(front, 1.0f - 3.0f / 9.0f, 1e-5f) << "facing the source, in front of it";
  Sound().direction = {0, 0, -1};
  const float behind = HeardAt({0, 0, -4}).volume;
  EXPECT_NEAR(behind, 1.0f - 3.0f / 4.0f, 1e-5f);
  Sound().direction = {0, 0, 1};
  Listen({0, 0, 0}, 0.0f);
  EXPECT_NEAR(HeardAt({0, 0, -0.5f}).volume, 0.25f, 1e-5f) << "turned away";
}

TEST_F(SoundNodes, ASourceOnTheRightHasAPositiveBalanceAndIsLouderOnTheRight) {
  UseElliptic();
  EXPECT_GT(HeardAt({3, 0, 0}).balance, 0.2f);
  EXPECT_LT(HeardAt({-3, 0, 0}).balance, -0.2f);
  Sound().spatialize = 0;
  EXPECT_EQ(HeardAt({3, 0, 0}).balance, 0.0f);

  Sound().spatialize = 1;
  SetUrls({folder_.Write("a.wav", WaveFile({}))});
  Sound().Traverse(RenderPass::Activate, &view_);
  Sound().location = {3, 0, 0};
  Frames(4);
  ASSERT_TRUE(Clip().IsPlaying());
  const uint32_t word = WaveWordOf(Clip());
  EXPECT_LT(word & 0xFFFF, word >> 16) << "the left channel is lowered";
}

TEST_F(SoundNodes, AClipStartsOnTheFirstFrameAfterItIsReadyAndReportsIt) {
  SetUrls({folder_.Write("a.wav", WaveFile({}))});
  Sound().Traverse(RenderPass::Activate, &view_);
  Frames(1);
  EXPECT_FALSE(Clip().IsPlaying()) << "the first frame finds the file";
  Frames(1);
  EXPECT_TRUE(Clip().IsPlaying()) << "the second loads and starts it";
  EXPECT_EQ(Recorded().log, (Log{"flag"}));
  EXPECT_EQ(Recorded().flag, 1);
  EXPECT_EQ(Playback(), (Log{"open", "play"}));
}

TEST_F(SoundNodes, UrlsThatCannotBeOpenedFallOverToTheNext) {
  SetUrls({folder_.Path() + "/missing.wav", folder_.Path() + "/notes.txt", "", folder_.Write("b.wav", WaveFile({}))});
  Sound().Traverse(RenderPass::Activate, &view_);
  Frames(12);
  EXPECT_TRUE(Clip().IsPlaying());
  ASSERT_TRUE(Clip().Handle());
  char url[256] = {};
  Clip().Handle()->GetUrl(url);
  EXPECT_EQ(std::string(url), folder_.Path() + "/b.wav");
}

// A sound without loop, a wave's or a movie's, plays once: ending, then
// staying quiet however many frames follow, until a new startTime starts it
// again.
class PlayOnce : public SoundNodes, public ::testing::WithParamInterface<bool> {};

TEST_P(PlayOnce, WithoutLoopASoundPlaysOnceUntilItsStartTimeIsSetAgain) {
  SetUrls({GetParam() ? folder_.Write("m.avi", MovieFile({.withSound = true})) : folder_.Write("a.wav", WaveFile({}))});
  Sound().Traverse(RenderPass::Activate, &view_);
  Frames(3);
  ASSERT_TRUE(Clip().IsPlaying());
  Frames(30);
  EXPECT_FALSE(Clip().IsPlaying());
  EXPECT_EQ(Recorded().log, (Log{"flag", "flag"}));
  EXPECT_EQ(Recorded().flag, 0);
  EXPECT_EQ(Playback(), (Log{"open", "play", "stop"}));

  const double restart = world_.GetWorldTime() + 1.0;
  EXPECT_EQ(Clip().ReceiveEvent("set_startTime", &restart), 0);
  Frames(5);
  EXPECT_FALSE(Clip().IsPlaying()) << "not before the new start";
  Frames(10);
  EXPECT_TRUE(Clip().IsPlaying());
  EXPECT_EQ(Playback(), (Log{"open", "play", "stop", "seek", "play"}));
}

INSTANTIATE_TEST_SUITE_P(WaveAndMovie, PlayOnce, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Movie" : "Wave"; });

TEST_F(SoundNodes, ALoopingSoundStartsAgainUntilItsStopTime) {
  SetUrls({folder_.Write("a.wav", WaveFile({}))});
  const int16_t loop = 1;
  Clip().SetField("loop", &loop);
  Sound().Traverse(RenderPass::Activate, &view_);
  Frames(3);
  Frames(12);
  EXPECT_TRUE(Clip().IsPlaying());
  EXPECT_EQ(Playback(), (Log{"open", "play", "seek", "play"}));
  EXPECT_EQ(Recorded().log, (Log{"flag", "flag", "flag"}));
  EXPECT_EQ(Recorded().flag, 1) << "the restart reports the clip active again";

  const double stop = world_.GetWorldTime() + 0.5;
  Clip().SetField("stopTime", &stop);
  Frames(8);
  EXPECT_FALSE(Clip().IsPlaying());
  EXPECT_EQ(Recorded().flag, 0);
  Sound().Traverse(RenderPass::Deactivate, &view_);
  EXPECT_FALSE(Clip().Handle());
  EXPECT_EQ(Playback().back(), "close");
}

TEST_F(SoundNodes, AClipThatIsNoSoundsSourceNeverPlays) {
  const int32_t devices = OpenMediaDeviceCount();
  std::unique_ptr<CBrowser> world = ReadWorld("AudioClip { url \"" + folder_.Write("a.wav", WaveFile({})) + "\" }");
  auto& clip = TopNode<CAudioClipNode>(*world);
  for (int i = 0; i < 5; ++i) {
    clock_.Advance(100);
    world->GetRoot()->Traverse(i == 0 ? RenderPass::Activate : RenderPass::Frame, &view_);
  }
  EXPECT_FALSE(clip.Handle());
  EXPECT_EQ(OpenMediaDeviceCount(), devices);
}

}  // namespace
}  // namespace vx::test
