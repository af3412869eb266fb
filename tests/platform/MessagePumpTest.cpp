#include "platform/MessagePump.h"

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/Clock.h"
#include "platform/Messages.h"

namespace vx {
namespace {

using test::Log;
using test::LoggedIds;
using test::RecordingClass;

std::vector<uint32_t> DrainIds() {
  std::vector<uint32_t> ids;
  Message message;
  while (PeekMessage(message)) {
    ids.push_back(message.id);
    DispatchMessage(message);
  }
  return ids;
}

TEST(MessagePump, PostedComeFirstInOrderThenPaintThenTimers) {
  ManualClock clock;
  RecordingClass recording;
  WindowHandle window = recording.Create();
  SetTimer(window, 1, 5);
  clock.Advance(5);
  InvalidateWindow(window, false);
  PostMessage(window, kMsgUser + 1);
  PostMessage(window, kMsgUser + 2);
  EXPECT_EQ(SendMessage(window, kMsgUser + 3), 0);
  EXPECT_EQ(LoggedIds(window).back(), kMsgUser + 3) << "a sent message skips the queue";

  EXPECT_EQ(DrainIds(), (std::vector<uint32_t>{kMsgUser + 1, kMsgUser + 2, kMsgPaint, kMsgTimer}));
  EXPECT_FALSE(IsWindowInvalid(window));
}

TEST(MessagePump, TimersFireInDueOrderAndNeverPileUp) {
  ManualClock clock(0);
  RecordingClass recording;
  WindowHandle window = recording.Create();
  SetTimer(window, 10, 10);
  SetTimer(window, 15, 15);
  SetTimer(window, 30, 30);
  std::vector<uintptr_t> fired;
  auto takeTimers = [&] {
    Message message;
    while (PeekMessage(message)) fired.push_back(message.wParam);
  };
  for (int step = 0; step < 6; ++step) {
    clock.Advance(5);
    takeTimers();
  }
  // Due at 10, 15, 20 (timer 10), then 30 for all three: the one scheduled
  // longest ago first.
  EXPECT_EQ(fired, (std::vector<uintptr_t>{10, 15, 10, 30, 15, 10}));

  fired.clear();
  clock.Advance(1000);
  takeTimers();
  EXPECT_EQ(fired.size(), 3u) << "one message per timer however late the pump is";

  EXPECT_TRUE(KillTimer(window, 15));
  EXPECT_FALSE(KillTimer(window, 15));
  fired.clear();
  clock.Advance(1000);
  takeTimers();
  EXPECT_EQ(fired, (std::vector<uintptr_t>{10, 30}));
  EXPECT_EQ(SetTimer(window, 0, 10), 0u) << "timer id 0 is refused";
}

int g_procTicks = 0;
uint64_t g_procNow = 0;
void CountTick(WindowHandle, uint32_t message, uintptr_t id, uint64_t nowMs) {
  EXPECT_EQ(message, kMsgTimer);
  EXPECT_EQ(id, 1u);
  ++g_procTicks;
  g_procNow = nowMs;
}

TEST(MessagePump, ATimerProcedureTakesThePlaceOfTheWindow) {
  ManualClock clock(100);
  RecordingClass recording;
  WindowHandle window = recording.Create();
  g_procTicks = 0;
  SetTimer(window, 1, 1, &CountTick);
  clock.Advance(1);
  Log().clear();
  EXPECT_EQ(DispatchPendingMessages(), 1);
  EXPECT_EQ(g_procTicks, 1);
  EXPECT_EQ(g_procNow, 101u);
  EXPECT_TRUE(Log().empty());
}

TEST(MessagePump, AFilteredPeekRemovesOneTimerOfOneWindow) {
  ManualClock clock;
  RecordingClass recording;
  WindowHandle a = recording.Create();
  WindowHandle b = recording.Create();
  SetTimer(a, 1, 1);
  SetTimer(b, 1, 1);
  PostMessage(a, kMsgUser);
  clock.Advance(1);

  Message message;
  ASSERT_TRUE(PeekMessage(message, {b, kMsgTimer, kMsgTimer}));
  EXPECT_EQ(message.window, b);
  EXPECT_FALSE(PeekMessage(message, {b, kMsgTimer, kMsgTimer})) << "b's timer is not due again yet";
  ASSERT_TRUE(PeekMessage(message, {}, PeekMode::kKeep));
  EXPECT_EQ(message.id, kMsgUser) << "kept, and still first";
  EXPECT_EQ(DrainIds(), (std::vector<uint32_t>{kMsgUser, kMsgTimer}));
}

TEST(MessagePump, QuitEndsGetMessageAndStopsDispatching) {
  RecordingClass recording;
  WindowHandle window = recording.Create();
  PostMessage(window, kMsgUser);
  PostQuitMessage(3);
  PostMessage(window, kMsgUser + 1);
  EXPECT_EQ(DispatchPendingMessages(), 1);
  Message message;
  EXPECT_FALSE(GetMessage(message));
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_TRUE(GetMessage(message));
  EXPECT_EQ(message.id, kMsgUser + 1);
}

TEST(MessagePump, DispatchToADestroyedWindowIsHarmless) {
  RecordingClass recording;
  WindowHandle window = recording.Create();
  Message stale{window, kMsgTimer, 1, reinterpret_cast<intptr_t>(&CountTick)};
  DestroyWindow(window);
  g_procTicks = 0;
  EXPECT_EQ(DispatchMessage(stale), 0);
  EXPECT_EQ(g_procTicks, 0);
}

}  // namespace
}  // namespace vx
