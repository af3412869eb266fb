#include <gtest/gtest.h>

#include <vector>

#include "EventRecorder.h"
#include "NodeTestSupport.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/ViewerSensorNodes.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"

namespace vx::test {
namespace {

using Log = std::vector<std::string>;

constexpr int kFrameSize = 32;

// A headless view over a world whose clock the test sets, and a recorder of
// a sensor's isActive (flag), enterTime (time) and exitTime (cycle).
class ViewerSensorTest : public ::testing::Test {
 protected:
  ViewerSensorTest() {
    view_.SetFrameBuffer(FrameOver(pixels_, kFrameSize, kFrameSize));
  }
  void Record(CNode& sensor, bool withPosition) {
    recorder_ = MakeNode<CEventRecorder>();
    for (auto [eventOut, field] : {std::pair{"isActive", "flag"}, std::pair{"enterTime", "time"},
                                   std::pair{"exitTime", "cycle"}}) {
      EXPECT_TRUE(sensor.AddRouteToNode(eventOut, field, recorder_.Get()));
    }
    if (withPosition) {
      EXPECT_TRUE(sensor.AddRouteToNode("position_changed", "vec3", recorder_.Get()));
    }
  }
  CEventRecorder& Recorded() { return As<CEventRecorder>(recorder_); }
  Log TakeLog() { return std::exchange(Recorded().log, {}); }

  ManualClock clock_{20000};
  std::vector<uint32_t> pixels_ = std::vector<uint32_t>(kFrameSize * kFrameSize);
  CViewContext view_{WindowHandle::None, 0};
  CNodeRef recorder_;
};

class ProximitySensorTest : public ViewerSensorTest {
 protected:
  ProximitySensorTest() {
    world_.ResetClock();
    Record(*sensor_.Get(), true);
  }
  Log ViewerAt(float x, float y, float z) {
    view_.SetPosition({x, y, z}, false);
    sensor_->Traverse(RenderPass::Frame, &view_);
    return TakeLog();
  }
  CBrowser world_;
  CNodeRef sensor_ = NodeFactory("ProximitySensor", {.scene = &world_.GetScene()});
};

TEST_F(ProximitySensorTest, EntersStrictlyInsideStaysOnTheFacesAndLeavesBeyond) {
  EXPECT_TRUE(ViewerAt(0, 0, 0).empty()) << "the default size is never entered";
  SetValue(*sensor_.Get(), "size", SFVec3f{2, 2, 2});
  EXPECT_TRUE(ViewerAt(0, 0, 2).empty()) << "on the boundary is not inside";
  clock_.Set(21500);
  EXPECT_EQ(ViewerAt(0, 0, 1.5f), (Log{"flag", "time", "vec3"}));
  EXPECT_EQ(Recorded().flag, 1);
  EXPECT_DOUBLE_EQ(Recorded().time, 1.5);
  EXPECT_EQ(Recorded().vec3.z, 1.5f);
  EXPECT_EQ(ViewerAt(0, 2, 0), (Log{"vec3"})) << "an active viewer on the boundary stays inside";
  clock_.Set(23000);
  EXPECT_EQ(ViewerAt(0, 2.5f, 0), (Log{"flag", "cycle"}));
  EXPECT_EQ(Recorded().flag, 0);
  EXPECT_DOUBLE_EQ(Recorded().cycle, 3.0);
}

TEST_F(ProximitySensorTest, TheCentreIsTransformedAndADisabledSensorIsSilent) {
  SetValue(*sensor_.Get(), "size", SFVec3f{1, 1, 1});
  view_.PushMatrix();
  view_.Translate({10, 0, 0});
  EXPECT_TRUE(ViewerAt(0, 0, 0).empty());
  EXPECT_EQ(ViewerAt(10.5f, 0, 0), (Log{"flag", "time", "vec3"}));
  EXPECT_EQ(Recorded().vec3.x, 0.5f) << "relative to the transformed centre";
  SetValue(*sensor_.Get(), "enabled", int16_t{0});
  EXPECT_TRUE(ViewerAt(50, 0, 0).empty());
  EXPECT_TRUE(As<CProximitySensorNode>(sensor_).IsActive()) << "frozen while disabled";
}

class VisibilitySensorTest : public ViewerSensorTest {
 protected:
  VisibilitySensorTest() {
    world_ = ReadWorld("Transform { translation 0 0 5 children DEF V VisibilitySensor { size 1 1 1 } }",
                       WorldConvention::kSystem);
    world_->ResetClock();
    Record(Sensor(), false);
  }
  CVisibilitySensorNode& Sensor() { return static_cast<CVisibilitySensorNode&>(*world_->FindNode("V")); }
  // One frame with the camera at the origin turned to yaw.
  Log FrameFacing(float yaw) {
    view_.SetOrientation(0, yaw, 0, false);
    world_->RenderFrame(&view_);
    return TakeLog();
  }
  std::unique_ptr<CBrowser> world_;
};

TEST_F(VisibilitySensorTest, TurningTowardsTheBoxAndAwayReportsEachChangeOnceUnlessDisabled) {
  EXPECT_TRUE(FrameFacing(3.14159f).empty()) << "behind the camera";
  EXPECT_EQ(FrameFacing(0.0f), (Log{"flag", "time"}));
  EXPECT_EQ(Recorded().flag, 1);
  EXPECT_TRUE(FrameFacing(0.1f).empty()) << "still in view";
  EXPECT_EQ(FrameFacing(3.14159f), (Log{"flag", "cycle"}));
  EXPECT_EQ(Recorded().flag, 0);
  EXPECT_EQ(pixels_, std::vector<uint32_t>(kFrameSize * kFrameSize)) << "the box is never drawn";

  FrameFacing(0.0f);
  SetValue(Sensor(), "enabled", int16_t{0});
  EXPECT_TRUE(FrameFacing(3.14159f).empty());
  EXPECT_TRUE(Sensor().IsActive()) << "a disabled sensor keeps its state";
}

}  // namespace
}  // namespace vx::test
