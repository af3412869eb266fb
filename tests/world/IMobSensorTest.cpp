// IMobSensor: the frame it chooses from the view angles, the viewer's place,
// drags and the automatic rotation, and its resistance to values that are
// not numbers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "WorldTestNodes.h"
#include "engine/render/GeometryStage.h"
#include "engine/world/nodes/IMobSensorNode.h"
#include "tests/nodes/EventRecorder.h"
#include "tests/nodes/NodeTestSupport.h"

namespace vx {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// One sensor read from text, traversed by hand in a headless view of its
// world or drawn in the world's frames, its frames recorded.
struct Sensor {
  explicit Sensor(const std::string& fields)
      : world(test::ReadWorld("DEF S IMobSensor { " + fields + " }\n")),
        node(static_cast<CIMobSensorNode&>(*world->FindNode("S"))),
        recorder(test::RecordInto(node, "currentFrame_changed", "integer")) {
    h.view.AttachBrowser(world.get());
  }
  int32_t Traverse(RenderPass pass = RenderPass::Frame) {
    node.Traverse(pass, &h.view);
    return node.currentFrame;
  }
  int32_t Activate() { return Traverse(RenderPass::Activate); }
  // One frame of the world, which turns the rotation.
  int32_t Frame() {
    world->RenderFrame(&h.view);
    return node.currentFrame;
  }
  size_t FramesSent() const { return test::As<test::CEventRecorder>(recorder).log.size(); }
  void ExpectFiniteAngles() const {
    for (const float angle : node.GetViewAngles()) EXPECT_TRUE(std::isfinite(angle)) << angle;
  }

  test::HeadlessView h{64, 48};
  std::unique_ptr<CBrowser> world;
  CIMobSensorNode& node;
  CNodeRef recorder;
};

template <typename T>
void SetFloats(CNode& node, const char* field, std::vector<T> values) {
  const MF<T> list{static_cast<int32_t>(values.size()), values.data()};
  node.SetField(field, &list);
}

// 36 frames round axis 1, ten degrees apart; the viewer left out.
constexpr const char* kTurntable = "quantization [1 36 1] range [0 10 0 360 0 10] screenIMob TRUE ";

TEST(IMobSensor, TheFrameFollowsAxisOneInTenDegreeStepsAndWrapsAtTheTurn) {
  struct Case {
    float angle;
    int32_t frame;
  };
  const Case cases[] = {{0.0f, 0}, {10.0f, 1}, {14.0f, 1}, {15.0f, 2}, {344.0f, 34},
                        {350.0f, 35}, {355.0f, 0}, {365.0f, 1}, {-10.0f, 35}, {7205.0f, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.angle);
    Sensor s(std::string(kTurntable) + "defaultView [0 " + std::to_string(c.angle) + " 0]");
    EXPECT_EQ(s.Activate(), c.frame);
  }
}

TEST(IMobSensor, TheIndicesOfTheThreeAxesMakeOneFrameNumber) {
  Sensor s("quantization [3 4 5] range [0 2 0 4 0 4] defaultView [1 2 3] screenIMob TRUE");
  EXPECT_EQ(s.Activate(), (4 * 1 + 2) * 5 + 3);
  Sensor none("range [0 2 0 4 0 4] defaultView [1 2 3] screenIMob TRUE");
  EXPECT_EQ(none.Activate(), 0) << "without three quantization values";
  Sensor noRange("quantization [3 4 5] defaultView [1 2 3] screenIMob TRUE");
  EXPECT_EQ(noRange.Activate(), 0) << "without six range values";
}

TEST(IMobSensor, TheRotationTurnsByRateOverFrameRateOnceAFrameAndTheFrameIsSentOnlyWhenItChanges) {
  Sensor s(std::string(kTurntable) + "animRate [0 30 0]");
  EXPECT_EQ(s.Activate(), 0);
  EXPECT_EQ(s.FramesSent(), 1u) << "always sent on preparation";
  EXPECT_FLOAT_EQ(s.node.GetViewAngles()[1], 0.0f) << "the preparation shows the default view";
  EXPECT_EQ(s.Frame(), 0);
  EXPECT_FLOAT_EQ(s.node.GetViewAngles()[1], 2.0f) << "30 degrees a second at 15 frames a second";
  for (int i = 0; i < 3; ++i) s.Frame();
  EXPECT_FLOAT_EQ(s.node.GetViewAngles()[1], 8.0f);
  EXPECT_EQ(s.node.currentFrame, 1);
  EXPECT_EQ(s.FramesSent(), 2u) << "a frame that stays the same is not sent again";
  s.Traverse();
  EXPECT_FLOAT_EQ(s.node.GetViewAngles()[1], 8.0f) << "another traversal in the same frame does not turn";
}

TEST(IMobSensor, DragsTurnTheAnglesOnlyWhileEnabledAndInteractive) {
  Sensor s{std::string(kTurntable)};
  s.Activate();
  s.node.OnPointerDrag(1, 0.1f, 0.25f);
  // Axis 1: 360 x 0.1 x -2; axis 0: 10 x 0.25 x 2.
  EXPECT_FLOAT_EQ(s.node.GetViewAngles()[1], -72.0f);
  EXPECT_FLOAT_EQ(s.node.GetViewAngles()[0], 5.0f);
  EXPECT_EQ(s.Traverse(), 29) << "-72 degrees is 288";

  const int16_t off = 0;
  s.node.SetField("interactive", &off);
  s.node.OnPointerDrag(1, 0.1f, 0.0f);
  EXPECT_EQ(s.Traverse(), 29);

  Sensor disk("quantization [1 36 1] range [0 10 0 360 0 10] screenIMob TRUE type \"DISK\"");
  disk.node.OnPointerDrag(1, 0.0f, 0.5f);
  EXPECT_FLOAT_EQ(disk.node.GetViewAngles()[0], 0.0f) << "a vertical drag moves the disk's radius instead";
}

TEST(IMobSensor, TheViewersPlaceTurnsTheFrameUnlessTheSensorIsOnTheScreen) {
  for (const bool onScreen : {false, true}) {
    SCOPED_TRACE(onScreen);
    Sensor s(std::string("quantization [1 36 1] range [0 10 0 360 0 10] screenIMob ") + (onScreen ? "TRUE" : "FALSE"));
    s.h.view.GetStage()->eye = {0.0f, 0.0f, 5.0f};
    EXPECT_EQ(s.Activate(), 0) << "in front";
    s.h.view.GetStage()->eye = {5.0f, 0.0f, 0.0f};
    EXPECT_EQ(s.Traverse(), onScreen ? 0 : 9) << "a quarter turn round it";
    EXPECT_FLOAT_EQ(s.node.GetViewAngles()[1], 0.0f) << "the viewer's part is not kept";
  }
}

TEST(IMobSensor, ValuesThatAreNotNumbersNeverStopTheSensorOrReachTheAngles) {
  Sensor s(std::string(kTurntable) + "animRate [1e38 1e38 1e38]");
  s.Activate();
  for (const float bad : {kInf, -kInf, kNaN, 3.0e38f}) {
    s.node.OnPointerDrag(1, bad, bad);
    s.Frame();
    s.ExpectFiniteAngles();
  }
  s.h.view.GetStage()->eye = {kNaN, kInf, 0.0f};
  const int16_t off = 0;
  s.node.SetField("screenIMob", &off);
  s.Traverse();
  s.ExpectFiniteAngles();
  EXPECT_GE(s.node.currentFrame, 0);
  EXPECT_LT(s.node.currentFrame, 36);

  const char* hostile[] = {
      "quantization [0 0 0] range [0 10 0 360 0 10] defaultView [5 5 5]",
      "quantization [-4 -1 -9] range [0 10 0 360 0 10] defaultView [5 5 5]",
      "quantization [3 1 3] range [5 5 0 0 7 7] defaultView [5 5 5]",
      "quantization [2147483647 2147483647 2147483647] range [0 1 0 1 0 1] defaultView [1 1 1]",
      "quantization [4 4 4] range [0 360 0 360 0 360] defaultView [1e30 -1e30 3e38]",
  };
  for (const char* fields : hostile) {
    SCOPED_TRACE(fields);
    Sensor h{std::string(fields) + " screenIMob TRUE"};
    SetFloats(h.node, "animRate", std::vector<double>{kInf, -kInf, kNaN});
    h.Activate();
    h.Frame();
    h.ExpectFiniteAngles();
    EXPECT_GE(h.node.currentFrame, 0);
  }
  Sensor odd{"quantization [4 4 4] screenIMob TRUE"};
  SetFloats(odd.node, "range", std::vector<float>{0, kNaN, 0, kInf, -kInf, 10});
  SetFloats(odd.node, "defaultView", std::vector<float>{kNaN, kInf, 1});
  EXPECT_EQ(odd.Activate(), 0);
  odd.ExpectFiniteAngles();
}

TEST(IMobSensor, PointerEventsReportActivityAndTheHit) {
  Sensor s(kTurntable);
  CNodeRef active = test::RecordInto(s.node, "isActive", "flag");
  CNodeRef over = test::RecordInto(s.node, "isOver", "otherFlag");
  CNodeRef touched = test::RecordInto(s.node, "touchTime", "time");
  s.node.OnPointerPress();
  EXPECT_EQ(test::As<test::CEventRecorder>(active).flag, 1);
  s.node.OnPointerRelease();
  EXPECT_EQ(test::As<test::CEventRecorder>(active).flag, 0);
  s.node.OnPointerOver();
  EXPECT_EQ(test::As<test::CEventRecorder>(over).otherFlag, 1);
  s.node.OnPointerClick(&s.h.view);
  EXPECT_EQ(test::As<test::CEventRecorder>(active).flag, 1);
  EXPECT_EQ(test::As<test::CEventRecorder>(touched).log.size(), 1u);
}

}  // namespace
}  // namespace vx
