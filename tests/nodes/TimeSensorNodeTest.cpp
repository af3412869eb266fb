#include <gtest/gtest.h>

#include "EventRecorder.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/TimeSensorNode.h"
#include "engine/world/Browser.h"
#include "platform/Clock.h"

namespace vx::test {
namespace {

using Log = std::vector<std::string>;

// A TimeSensor in a world whose clock the test steps, with every eventOut
// routed to one recorder.
class TimeSensorTest : public ::testing::Test {
 protected:
  TimeSensorTest() {
    world_.ResetClock();
    sensor_ = NodeFactory("TimeSensor", {.scene = &world_.GetScene()});
    recorder_ = MakeNode<CEventRecorder>();
    for (auto [eventOut, field] : {std::pair{"isActive", "flag"}, std::pair{"time", "time"},
                                   std::pair{"cycleTime", "cycle"}, std::pair{"fraction_changed", "number"}}) {
      EXPECT_TRUE(sensor_->AddRouteToNode(eventOut, field, recorder_.Get()));
    }
  }

  // One frame at world time seconds; returns the events it sent.
  Log FrameAt(double seconds) {
    clock_.Set(kStartMs + static_cast<uint64_t>(seconds * 1000.0));
    Recorded().log.clear();
    sensor_->Traverse(RenderPass::Frame, nullptr);
    return Recorded().log;
  }
  void Set(std::string_view field, double value) { sensor_->SetField(field, &value); }
  void SetBool(std::string_view field, bool value) {
    const int16_t flag = value ? 1 : 0;
    sensor_->SetField(field, &flag);
  }
  CEventRecorder& Recorded() { return static_cast<CEventRecorder&>(*recorder_.Get()); }
  CTimeSensorNode& Sensor() { return static_cast<CTimeSensorNode&>(*sensor_.Get()); }

  static constexpr uint64_t kStartMs = 5000;
  ManualClock clock_{kStartMs};
  CBrowser world_;
  CNodeRef sensor_;
  CNodeRef recorder_;
};

TEST_F(TimeSensorTest, RunsOneCycleThenStopsOnce) {
  EXPECT_EQ(FrameAt(0.5), (Log{"flag", "time", "number"}));
  EXPECT_EQ(Recorded().flag, 1);
  EXPECT_FLOAT_EQ(Recorded().number, 0.5f);
  EXPECT_EQ(FrameAt(0.75), (Log{"time", "number"}));
  EXPECT_EQ(FrameAt(1.2), (Log{"time", "number", "cycle", "flag"}));
  EXPECT_FLOAT_EQ(Recorded().number, 1.0f);
  EXPECT_EQ(Recorded().flag, 0);
  EXPECT_DOUBLE_EQ(Recorded().cycle, 1.2);
  EXPECT_TRUE(FrameAt(1.5).empty());
}

TEST_F(TimeSensorTest, LoopSendsCycleTimeOncePerNewCycle) {
  SetBool("loop", true);
  EXPECT_EQ(FrameAt(0.5), (Log{"flag", "time", "number"}));
  EXPECT_EQ(FrameAt(2.25), (Log{"time", "number", "cycle"}));
  EXPECT_FLOAT_EQ(Recorded().number, 0.25f);
  EXPECT_EQ(FrameAt(2.5), (Log{"time", "number"}));
  EXPECT_EQ(FrameAt(3.0), (Log{"time", "number", "cycle"}));
}

TEST_F(TimeSensorTest, StopTimeEndsALoopWithAWholeFraction) {
  Set("startTime", 1.0);
  Set("stopTime", 3.0);
  SetBool("loop", true);
  EXPECT_TRUE(FrameAt(0.5).empty());
  EXPECT_EQ(FrameAt(1.5), (Log{"flag", "time", "number"}));
  EXPECT_EQ(FrameAt(3.0), (Log{"time", "number", "cycle", "flag"}));
  EXPECT_FLOAT_EQ(Recorded().number, 1.0f);
}

TEST_F(TimeSensorTest, RefusesTimingChangesWhileActive) {
  FrameAt(0.5);
  ASSERT_TRUE(Sensor().IsActive());
  const double later = 10.0;
  const double same = 0.0;
  EXPECT_EQ(sensor_->ReceiveEvent("set_startTime", &later), 1);
  EXPECT_EQ(sensor_->ReceiveEvent("set_cycleInterval", &later), 1);
  EXPECT_EQ(sensor_->ReceiveEvent("set_stopTime", &same), 1);
  EXPECT_DOUBLE_EQ(Sensor().startTime, 0.0);
  EXPECT_EQ(sensor_->ReceiveEvent("set_stopTime", &later), 0);
  EXPECT_DOUBLE_EQ(Sensor().stopTime, 10.0);
  FrameAt(1.5);
  ASSERT_FALSE(Sensor().IsActive());
  EXPECT_EQ(sensor_->ReceiveEvent("set_startTime", &later), 0);
  EXPECT_DOUBLE_EQ(Sensor().startTime, 10.0);
}

TEST_F(TimeSensorTest, DisabledWhileActiveStaysActiveAndSilent) {
  SetBool("loop", true);
  FrameAt(0.5);
  SetBool("enabled", false);
  EXPECT_TRUE(FrameAt(0.8).empty());
  EXPECT_TRUE(Sensor().IsActive());
}

TEST_F(TimeSensorTest, ZeroCycleIntervalNeverDividesByZero) {
  SetBool("loop", true);
  FrameAt(0.5);
  // A field routed without "set_" is not refused while active.
  const double zero = 0.0;
  EXPECT_EQ(sensor_->ReceiveEvent("cycleInterval", &zero), 0);
  EXPECT_EQ(FrameAt(0.75), (Log{"time", "number", "cycle", "flag"}));
  EXPECT_FLOAT_EQ(Recorded().number, 1.0f);
  EXPECT_TRUE(FrameAt(5.0).empty());
}

TEST_F(TimeSensorTest, HugeCycleCountsStayInRange) {
  SetBool("loop", true);
  Set("cycleInterval", 1e-9);
  EXPECT_EQ(FrameAt(100.0), (Log{"flag", "time", "number", "cycle"}));
  EXPECT_EQ(FrameAt(200.0), (Log{"time", "number"}));
}

}  // namespace
}  // namespace vx::test
