#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/media/FrameSetTexture.h"

namespace vx {
namespace {

// Counts the frames that are alive, so that the ring's deletions show.
struct FrameCount {
  int alive = 0;
};

class CountedFrame final : public FrameRef {
 public:
  CountedFrame(FrameCount& count, int frameIndex) : index(frameIndex), count_(count) { ++count_.alive; }
  ~CountedFrame() override { --count_.alive; }

  const int index;

 private:
  FrameCount& count_;
};

// A multi-frame source of 3 frames down and 4 across that decodes in steps
// and can be told to fail making frames.
class CGridTestMedia final : public CMediaObject {
 public:
  explicit CGridTestMedia(FrameCount& count, uint16_t order) : count_(count), order_(order) {}

  int32_t Load() override { return MediaDecoding; }
  int32_t DecodeStep() override {
    ++decodeSteps;
    return MediaDecoding;
  }
  int16_t GetFrameGrid(FrameGrid* out) override {
    out->order = order_;
    out->framesDown = 3;
    out->framesAcross = 4;
    return 1;
  }
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override {
    asked.push_back(position);
    if (failuresLeft > 0) {
      --failuresLeft;
      return nullptr;
    }
    return std::make_unique<CountedFrame>(count_, static_cast<int>(asked.size()));
  }
  int32_t SetFrameTarget(CDibImage* target) override {
    calls.push_back(target ? 1 : 0);
    return 0;
  }
  int32_t DrawFrame(FrameRef* frame, const PixelMap*) override {
    drawn.push_back(static_cast<CountedFrame*>(frame)->index);
    return 0;
  }
  int32_t ClearFrameTarget() override {
    calls.push_back(2);
    return 5;
  }

  int decodeSteps = 0;
  int failuresLeft = 0;
  std::vector<FramePosition> asked;
  std::vector<int> calls;
  std::vector<int> drawn;

 private:
  FrameCount& count_;
  uint16_t order_;
};

struct GridSet {
  explicit GridSet(uint16_t order = kFrameOrderAlongRows) {
    auto owned = std::make_unique<CGridTestMedia>(count, order);
    media = owned.get();
    static_cast<void>(owned->SetUrl("/frames.ric"));
    frames = std::make_unique<CFrameSetTexture>(std::move(owned));
  }
  // Runs the source to its decoding; the frame set takes that as complete.
  void Complete() {
    while (frames->Process() != MediaComplete) {
    }
  }
  FrameCount count;
  CGridTestMedia* media;
  std::unique_ptr<CFrameSetTexture> frames;
};

TEST(FrameSetTexture, ASourceThatDecodesInStepsCountsAsCompleteAndIsNotSteppedAgain) {
  GridSet set;
  EXPECT_EQ(set.frames->GetFrame({0, 0, 1}), nullptr) << "no frames before the source is complete";
  EXPECT_EQ(set.frames->Process(), MediaFileReady);
  EXPECT_EQ(set.frames->Process(), MediaDecoding);
  EXPECT_EQ(set.frames->Process(), MediaComplete);
  EXPECT_EQ(set.frames->Process(), MediaComplete);
  EXPECT_EQ(set.media->decodeSteps, 0);
  EXPECT_NE(set.frames->GetFrame({0, 0, 1}), nullptr);
}

TEST(FrameSetTexture, FramesAreNumberedByTheGridsOrderAndAskedForOnce) {
  GridSet rows(kFrameOrderAlongRows);
  EXPECT_EQ(rows.frames->FrameNumber({2, 1, 1}), -1) << "the grid is not known yet";
  rows.Complete();
  FrameRef* first = rows.frames->GetFrame({2, 1, 1});
  EXPECT_EQ(rows.frames->FrameNumber({2, 1, 1}), 2 * 4 + 1);
  EXPECT_EQ(rows.frames->GetFrame({2, 1, 1}), first);
  EXPECT_EQ(rows.media->asked.size(), 1u);
  EXPECT_EQ(rows.frames->FindFrame(9), first);

  GridSet columns(kFrameOrderDownColumns);
  columns.Complete();
  columns.frames->GetFrame({2, 1, 1});
  EXPECT_EQ(columns.frames->FrameNumber({2, 1, 1}), 2 + 1 * 3);

  GridSet other(7);
  other.Complete();
  other.frames->GetFrame({0, 0, 1});
  EXPECT_EQ(other.frames->FrameNumber({0, 0, 1}), -1);
}

TEST(FrameSetTexture, TheRingKeepsTheLast256FramesAndDeletesTheOldest) {
  GridSet set;
  for (int id = 0; id < kFrameRingSize; ++id) set.frames->AddFrame(id, std::make_unique<CountedFrame>(set.count, id));
  EXPECT_EQ(set.count.alive, kFrameRingSize);
  FrameRef* second = set.frames->FindFrame(1);

  set.frames->AddFrame(1000, std::make_unique<CountedFrame>(set.count, 1000));
  EXPECT_EQ(set.count.alive, kFrameRingSize) << "the 257th frame replaced the first";
  EXPECT_EQ(set.frames->FindFrame(0), nullptr);
  EXPECT_NE(set.frames->FindFrame(1000), nullptr);
  EXPECT_EQ(set.frames->FindFrame(1), second);
  EXPECT_EQ(set.frames->FindFrame(-1), nullptr) << "empty entries are never found";

  set.frames->AddFrame(1, std::make_unique<CountedFrame>(set.count, 1));
  EXPECT_NE(set.frames->FindFrame(1), second) << "the entry stored last wins";

  set.frames->ClearFrames();
  EXPECT_EQ(set.count.alive, 0);
  set.frames.reset();
  EXPECT_EQ(set.count.alive, 0);
}

TEST(FrameSetTexture, AFormatThatCannotMakeAFrameEmptiesTheRingAndIsAskedOnceMore) {
  GridSet set;
  set.Complete();
  set.frames->GetFrame({0, 0, 1});
  set.frames->GetFrame({0, 1, 1});
  ASSERT_EQ(set.count.alive, 2);

  set.media->failuresLeft = 1;
  EXPECT_NE(set.frames->GetFrame({1, 0, 1}), nullptr);
  EXPECT_EQ(set.count.alive, 1) << "the ring was emptied before the second try";

  set.frames->GetFrame({0, 0, 1});
  set.media->failuresLeft = 2;
  set.media->asked.clear();
  EXPECT_EQ(set.frames->GetFrame({2, 2, 1}), nullptr);
  EXPECT_EQ(set.media->asked.size(), 2u);
  EXPECT_EQ(set.count.alive, 0);
}

TEST(FrameSetTexture, DrawingAFrameSetsTheTargetDrawsAndClearsIt) {
  GridSet set;
  const FramePosition position{1, 1, 1};
  EXPECT_EQ(set.frames->DrawFrameAt(position, nullptr), 0) << "no frame before the source is complete";
  EXPECT_TRUE(set.media->calls.empty());

  set.Complete();
  EXPECT_EQ(set.frames->DrawFrameAt(position, nullptr), 5) << "the answer of the last call";
  EXPECT_EQ(set.media->calls, (std::vector<int>{0, 2}));
  EXPECT_EQ(set.media->drawn, (std::vector<int>{1}));
}

TEST(FrameSetTexture, WithoutASourceItAnswersItsDefaults) {
  CFrameSetTexture empty(nullptr);
  EXPECT_EQ(empty.GetKind(), HandleKind::FrameSet);
  EXPECT_EQ(empty.Process(), 0);
  EXPECT_EQ(empty.GetFrame({0, 0, 1}), nullptr);
  EXPECT_EQ(empty.DrawFrameAt({0, 0, 1}, nullptr), 0);
  FrameGrid grid;
  EXPECT_EQ(empty.GetFrameGrid(&grid), 0);
  EXPECT_EQ(empty.SetFrameTarget(nullptr), kMediaNoAnswer);
  EXPECT_EQ(empty.DrawFrame(nullptr, nullptr), kMediaNoAnswer);
  EXPECT_EQ(empty.ClearFrameTarget(), kMediaNoAnswer);
  EXPECT_EQ(empty.GetFrameFlags(), 0);
  EXPECT_EQ(empty.GetFrameStyle(), 0);
}

}  // namespace
}  // namespace vx
