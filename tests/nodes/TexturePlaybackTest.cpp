// Movie playback rules with a scripted movie, frame choice of slide shows
// with a scripted frame grid, and both nodes over GIF files.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "EventRecorder.h"
#include "RenderedWorld.h"
#include "engine/media/FrameSetTexture.h"
#include "engine/media/MediaHandle.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/media/nodes/PlaybackRun.h"
#include "engine/media/nodes/SlideShowTextureNode.h"
#include "platform/Clock.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

using Log = std::vector<std::string>;

// A movie that plays until the script lets it run out; stopped or run out
// it reports position 0, as formats without a position do.
class CScriptedMovie final : public CMediaObject {
 public:
  explicit CScriptedMovie(Log& log) : log_(log) {}
  void Play() override {
    playing_ = true;
    log_.push_back("play");
  }
  void Stop() override {
    playing_ = false;
    log_.push_back("stop");
  }
  void Rewind() override { log_.push_back("rewind"); }
  int32_t GetPosition() override { return playing_ ? 1 : 0; }
  float IsPlaying() override { return playing_ ? 1.0f : 0.0f; }
  void RunOut() { playing_ = false; }

 private:
  Log& log_;
  bool playing_ = false;
};

class MoviePlayback : public ::testing::Test {
 protected:
  MoviePlayback() {
    auto movie = std::make_unique<CScriptedMovie>(log);
    scripted = movie.get();
    handle = std::make_unique<CMovieHandle>(std::move(movie));
  }
  void Step(double now) {
    const float rate = handle->IsPlaying();
    run.Step(*handle, rate, {now, startTime, stopTime, loop}, [this](bool active) { Sent(active); });
  }
  void Sent(bool active) { log.push_back(active ? "TRUE" : "FALSE"); }

  Log log;
  CScriptedMovie* scripted = nullptr;
  std::unique_ptr<CMovieHandle> handle;
  CPlaybackRun run;
  double startTime = 1.0;
  double stopTime = 0.0;
  bool loop = false;
};

TEST_F(MoviePlayback, StartsOnTheFirstFrameAfterStartTime) {
  Step(0.5);
  EXPECT_TRUE(log.empty());
  Step(1.5);
  EXPECT_EQ(log, (Log{"play", "TRUE"}));
  Step(1.6);
  EXPECT_EQ(log.size(), 2u) << "a running movie is left alone";
}

TEST_F(MoviePlayback, WithoutLoopAMovieThatRunsOutPlaysOnce) {
  Step(2);
  scripted->RunOut();
  Step(3);
  EXPECT_EQ(log, (Log{"play", "TRUE", "FALSE", "stop"}));
  for (double now = 4; now < 10; ++now) Step(now);
  EXPECT_EQ(log.size(), 4u) << "a finished movie at position 0 is not started again";
  EXPECT_FALSE(run.IsPlaying());
}

TEST_F(MoviePlayback, WithLoopEachRunOutRestartsWithAFalseTruePair) {
  loop = true;
  Step(2);
  scripted->RunOut();
  Step(3);
  EXPECT_EQ(log, (Log{"play", "TRUE", "FALSE", "rewind", "play", "TRUE"}));
  EXPECT_TRUE(run.IsPlaying());
}

TEST_F(MoviePlayback, StopTimeEndsEvenALoopingMovie) {
  loop = true;
  stopTime = 5;
  Step(2);
  Step(6);
  EXPECT_EQ(log, (Log{"play", "TRUE", "FALSE", "stop"}));
}

TEST_F(MoviePlayback, ARestartEndsTheRunAndTheStartRuleBeginsANewOne) {
  Step(2);
  run.Restart(*handle, [this](bool active) { Sent(active); });
  EXPECT_EQ(log, (Log{"play", "TRUE", "stop", "rewind", "FALSE"}));
  Step(3);
  EXPECT_EQ(log.back(), "TRUE");
  scripted->RunOut();
  Step(4);
  log.clear();
  run.Restart(*handle, [this](bool active) { Sent(active); });
  Step(5);
  EXPECT_EQ(log, (Log{"stop", "rewind", "play", "TRUE"})) << "a finished movie plays again after a restart";
}

// A frame grid of the given size that records the positions it is asked for.
class CScriptedGrid final : public CMediaObject {
 public:
  CScriptedGrid(uint16_t across, uint16_t down) : across_(across), down_(down) {}
  int32_t Load() override { return MediaDecoding; }
  int16_t GetFrameGrid(FrameGrid* out) override {
    out->order = kFrameOrderAlongRows;
    out->framesAcross = across_;
    out->framesDown = down_;
    return 1;
  }
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override {
    asked.push_back(position);
    return std::make_unique<FrameRef>();
  }

  std::vector<FramePosition> asked;

 private:
  uint16_t across_;
  uint16_t down_;
};

struct ScriptedFrameSet {
  ScriptedFrameSet(uint16_t across, uint16_t down) {
    auto owned = std::make_unique<CScriptedGrid>(across, down);
    grid = owned.get();
    static_cast<void>(owned->SetUrl("/frames.ric"));
    frames = std::make_unique<CFrameSetTexture>(std::move(owned));
    while (frames->Process() != MediaComplete) {
    }
  }
  CScriptedGrid* grid;
  std::unique_ptr<CFrameSetTexture> frames;
};

TEST(SlideShowGrid, FramePositionsFollowTheGridsOwnNumbering) {
  FrameGrid grid;
  grid.framesAcross = 4;
  grid.framesDown = 3;
  for (uint16_t order : {kFrameOrderAlongRows, kFrameOrderDownColumns}) {
    grid.order = order;
    for (int32_t frame = 0; frame < 12; ++frame) {
      const FramePosition position = FramePositionInGrid(grid, frame);
      EXPECT_EQ(FrameIndexInGrid(grid, position), frame) << order;
      EXPECT_LT(position.column, 4);
      EXPECT_LT(position.row, 3);
      EXPECT_EQ(position.extra, 1);
    }
  }
  grid.order = kFrameOrderAlongRows;
  EXPECT_EQ(FramePositionInGrid(grid, 11).row, 2);
  EXPECT_EQ(FramePositionInGrid(grid, 11).column, 3);
}

TEST(SlideShowGrid, FramesOutsideTheGridWrapAndAFrameShownIsNotSelectedAgain) {
  ScriptedFrameSet set(4, 3);
  CFrameChoice choice;
  int32_t frame = 13;
  EXPECT_TRUE(choice.Show(*set.frames, frame));
  EXPECT_EQ(frame, 1);
  EXPECT_EQ(choice.Count(), 12);
  ASSERT_EQ(set.grid->asked.size(), 1u);
  EXPECT_EQ(set.grid->asked[0].row, 0);
  EXPECT_EQ(set.grid->asked[0].column, 1);

  frame = -1;
  EXPECT_TRUE(choice.Show(*set.frames, frame));
  EXPECT_EQ(frame, 11);
  frame = INT_MIN;
  EXPECT_TRUE(choice.Show(*set.frames, frame));
  EXPECT_GE(frame, 0);
  EXPECT_LT(frame, 12);
  EXPECT_FALSE(choice.Show(*set.frames, frame)) << "the frame shown last";
}

TEST(SlideShowGrid, MinusOneAtFirstShowsTheLastFrame) {
  ScriptedFrameSet set(4, 3);
  CFrameChoice choice;
  EXPECT_FALSE(choice.Shown().has_value()) << "nothing shown yet";
  int32_t frame = -1;
  EXPECT_TRUE(choice.Show(*set.frames, frame));
  EXPECT_EQ(frame, 11);
  ASSERT_EQ(set.grid->asked.size(), 1u);
  EXPECT_EQ(set.grid->asked[0].column, 3);
  EXPECT_EQ(set.grid->asked[0].row, 2);
  EXPECT_EQ(choice.Shown(), 11);
}

TEST(SlideShowGrid, TheLargestGridAFileCanNameStillWrapsItsFrames) {
  ScriptedFrameSet set(65535, 65535);
  CFrameChoice choice;
  int32_t frame = -2;
  EXPECT_TRUE(choice.Show(*set.frames, frame));
  EXPECT_EQ(choice.Count(), INT32_MAX);
  EXPECT_EQ(frame, INT32_MAX - 2);
}

TEST(SlideShowGrid, AGridWithoutFramesSelectsNothing) {
  for (auto [across, down] : {std::pair<uint16_t, uint16_t>{0, 0}, {4, 0}, {0, 3}}) {
    ScriptedFrameSet set(across, down);
    CFrameChoice choice;
    for (int32_t start : {7, -1, INT_MIN}) {
      int32_t frame = start;
      EXPECT_FALSE(choice.Show(*set.frames, frame));
      EXPECT_EQ(frame, start) << "left alone";
    }
    EXPECT_TRUE(set.grid->asked.empty());
  }
}

// Three 4 x 4 frames of an animated GIF, each of its own colour.
std::string ThreeFrameGif() {
  return MakeGif(4, 4, {SolidFrame(0, 0, 4, 4, 1), SolidFrame(0, 0, 4, 4, 2), SolidFrame(0, 0, 4, 4, 3)}, TestTable(4));
}

class TextureNodesOverGif : public RenderedWorld {
 protected:
  TextureNodesOverGif() { gif = folder.Write("frames.gif", ThreeFrameGif()); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      clock.Advance(100);
      Frame();
    }
  }

  ManualClock clock{5000};
  TemporaryFolder folder{"vxtexplay"};
  std::string gif;
};

TEST_F(TextureNodesOverGif, AMovieWithoutLoopPlaysOnceAndWithLoopAgainAndAgain) {
  Load("DEF Movie MovieTexture { url \"" + gif + "\" }");
  CNodeRef recorder = RecordInto(Named("Movie"), "isActive", "flag");
  world->ResetClock();
  Frames(10);
  auto& recorded = As<CEventRecorder>(recorder);
  const size_t once = recorded.log.size();
  EXPECT_EQ(once, 2u) << "TRUE once it starts, FALSE when it has run out";
  Frames(10);
  EXPECT_EQ(recorded.log.size(), once) << "loop FALSE: not started again";

  const int16_t on = 1;
  Named("Movie").ReceiveEvent("set_loop", &on);
  Frames(12);
  EXPECT_GT(recorded.log.size(), once + 2) << "with loop TRUE it runs again";
  EXPECT_TRUE(static_cast<CMovieTextureNode&>(Named("Movie")).IsPlaying());
  PixelMap picture;
  static_cast<CMovieTextureNode&>(Named("Movie")).GetFrameInfo(&picture);
  EXPECT_EQ(picture.width, 4);
}

TEST_F(TextureNodesOverGif, AdvanceFrameStepsThroughTheFramesOnceThereIsASource) {
  Read("DEF Show SlideShowTexture { url \"" + gif + "\" }");
  auto& show = static_cast<CSlideShowTextureNode&>(Named("Show"));
  const int32_t one = 1;
  show.ReceiveEvent("advanceFrame", &one);
  EXPECT_EQ(show.currentFrame, 0) << "ignored before the source exists";
  Show();
  Frames(3);
  ASSERT_EQ(show.Choice().Count(), 3);
  for (int32_t expected : {1, 2, 0, 1}) {
    show.ReceiveEvent("advanceFrame", &one);
    Frames(1);
    EXPECT_EQ(show.currentFrame, expected);
    EXPECT_EQ(show.Choice().Shown(), expected);
  }
}

TEST_F(TextureNodesOverGif, ASlideShowAtFrameMinusOneShowsTheLastFrame) {
  Load("DEF Show SlideShowTexture { url \"" + gif + "\" currentFrame -1 }");
  Frames(3);
  auto& show = static_cast<CSlideShowTextureNode&>(Named("Show"));
  EXPECT_EQ(show.currentFrame, 2);
  MaterialRecord record;
  show.FillTextureRecord(record);
  ASSERT_NE(record.texture.base, nullptr);
  uint32_t texel = 0;
  std::memcpy(&texel, record.texture.base, sizeof texel);
  EXPECT_EQ(texel, 0x0003FC01u) << "the third frame's colour (3, 252, 1), not the first's red";
}

}  // namespace
}  // namespace vx::test
