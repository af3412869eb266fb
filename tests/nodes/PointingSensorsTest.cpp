#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "EventRecorder.h"
#include "NodeTestSupport.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/PointingSensorNodes.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"

namespace vx::test {
namespace {

using Log = std::vector<std::string>;

constexpr int kFrameSize = 64;
constexpr float kPi = 3.14159265f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// A headless view with a 64 x 64 frame, a world whose clock the test steps,
// and a recorder for the sensor's events.
class PointingSensorTest : public ::testing::Test {
 protected:
  PointingSensorTest() {
    world_.ResetClock();
    view_.SetFrameBuffer(FrameOver(pixels_, kFrameSize, kFrameSize));
  }

  CNodeRef Make(const char* type) { return NodeFactory(type, {.scene = &world_.GetScene()}); }
  void Route(const CNodeRef& sensor, std::initializer_list<std::pair<const char*, const char*>> routes) {
    recorder_ = MakeNode<CEventRecorder>();
    for (auto [eventOut, field] : routes) EXPECT_TRUE(sensor->AddRouteToNode(eventOut, field, recorder_.Get()));
  }
  void At(double seconds) { clock_.Set(kStartMs + static_cast<uint64_t>(seconds * 1000.0)); }
  CEventRecorder& Recorded() { return As<CEventRecorder>(recorder_); }
  Log TakeLog() { return std::exchange(Recorded().log, {}); }

  static constexpr uint64_t kStartMs = 10000;
  ManualClock clock_{kStartMs};
  std::vector<uint32_t> pixels_ = std::vector<uint32_t>(kFrameSize * kFrameSize);
  CViewContext view_{WindowHandle::None, 0};
  CBrowser world_;
  CNodeRef recorder_;
};

// ---- TouchSensor ----

class TouchSensorTest : public PointingSensorTest {
 protected:
  TouchSensorTest() {
    Route(sensor_, {{"isActive", "flag"}, {"isOver", "otherFlag"}, {"touchTime", "time"}, {"hitPoint_changed", "point"},
                    {"hitNormal_changed", "vec3"}, {"hitTexCoord_changed", "vec2"}, {"dragXChanged", "integer"},
                    {"dragYChanged", "otherInteger"}});
    sensor_->pick.hitPoint = {1, 2, 3};
    sensor_->pick.hitNormal = {0, 0, 1};
    sensor_->pick.hitTexCoord = {0.25f, 0.75f};
  }
  CNodeRef sensor_ = Make("TouchSensor");
};

TEST_F(TouchSensorTest, OverAndClickReportTheHitAndTheTime) {
  sensor_->OnPointerOver();
  EXPECT_EQ(TakeLog(), (Log{"otherFlag", "vec3", "point", "vec2"}));
  EXPECT_EQ(Recorded().point.y, 2.0f);
  EXPECT_EQ(Recorded().vec2.y, 0.75f);

  At(2.5);
  sensor_->OnPointerPress();
  sensor_->OnPointerRelease();
  EXPECT_TRUE(TakeLog().empty()) << "press and release alone send nothing";
  sensor_->OnPointerClick(&view_);
  EXPECT_EQ(TakeLog(), (Log{"flag", "time", "vec3", "point", "vec2"}));
  EXPECT_EQ(Recorded().flag, 0);
  EXPECT_DOUBLE_EQ(Recorded().time, 2.5);
}

TEST_F(TouchSensorTest, HeldSendsIsActiveAboutTenTimesASecond) {
  sensor_->OnPointerPress();
  int sent = 0;
  for (int frame = 0; frame <= 50; ++frame) {
    At(1.0 + frame * 0.02);
    sensor_->Traverse(RenderPass::Frame, &view_);
    for (const std::string& name : TakeLog()) sent += name == "flag" ? 1 : 0;
  }
  EXPECT_GE(sent, 9);
  EXPECT_LE(sent, 10);
  EXPECT_EQ(Recorded().flag, 1);

  sensor_->OnPointerRelease();
  At(3.0);
  sensor_->Traverse(RenderPass::Frame, &view_);
  EXPECT_TRUE(TakeLog().empty()) << "released";
}

TEST_F(TouchSensorTest, DragSendsPixelsThrottledAndNeverOverflows) {
  At(1.0);
  sensor_->OnPointerPress();
  sensor_->OnPointerDrag(1, 0.25f, 0.25f);
  EXPECT_TRUE(TakeLog().empty()) << "the frame size is not known yet";
  sensor_->Traverse(RenderPass::Frame, &view_);

  sensor_->OnPointerDrag(1, 0.25f, 0.1f);
  EXPECT_EQ(TakeLog(), (Log{"flag", "integer", "otherInteger"}));
  EXPECT_EQ(Recorded().integer, 16);
  EXPECT_EQ(Recorded().otherInteger, -6) << "upward movement is negative pixels, truncated";
  sensor_->OnPointerDrag(1, 0.25f, 0.1f);
  EXPECT_TRUE(TakeLog().empty()) << "within a tenth of a second of the last event";

  At(1.2);
  sensor_->OnPointerDrag(1, 1e30f, kNaN);
  EXPECT_EQ(Recorded().integer, std::numeric_limits<int32_t>::max() - 127);
  EXPECT_EQ(Recorded().otherInteger, 0);
  At(1.4);
  sensor_->OnPointerDrag(1, -1e30f, 0.0f);
  EXPECT_EQ(Recorded().integer, std::numeric_limits<int32_t>::min());
}

TEST_F(TouchSensorTest, AClockThatWentBackDoesNotSilenceAHeldSensor) {
  At(50.0);
  sensor_->OnPointerPress();
  sensor_->Traverse(RenderPass::Frame, &view_);
  sensor_->Traverse(RenderPass::Frame, &view_);
  EXPECT_EQ(TakeLog(), (Log{"flag"}));
  world_.ResetClock();
  sensor_->Traverse(RenderPass::Frame, &view_);
  EXPECT_EQ(TakeLog(), (Log{"flag"}));
}

TEST_F(TouchSensorTest, ADisabledSensorIgnoresThePointer) {
  const int16_t off = 0;
  sensor_->SetField("enabled", &off);
  sensor_->OnPointerOver();
  sensor_->OnPointerPress();
  sensor_->Traverse(RenderPass::Frame, &view_);
  At(1.0);
  sensor_->Traverse(RenderPass::Frame, &view_);
  sensor_->OnPointerClick(&view_);
  EXPECT_TRUE(TakeLog().empty());
}

// ---- Drag sensors with the fallback calibration (no view) ----

TEST_F(PointingSensorTest, PlaneSensorTranslatesWithinItsLimitsAndKeepsTheOffset) {
  CNodeRef node = Make("PlaneSensor");
  auto& sensor = As<CPlaneSensorNode>(node);
  SetValue(sensor, "offset", SFVec3f{0, 0, 7});
  Route(node, {{"isActive", "flag"}, {"translation_changed", "vec3"}, {"offset_changed", "point"}});

  sensor.OnPointerPress();
  sensor.OnPointerDrag(1, 0.5f, 0.5f);
  EXPECT_EQ(TakeLog(), (Log{"flag"})) << "not calibrated before the first traversal";
  sensor.Traverse(RenderPass::Frame, nullptr);
  sensor.OnPointerDrag(1, 0.5f, 0.25f);
  sensor.OnPointerDrag(1, 5.0f, -4.0f);
  EXPECT_EQ(Recorded().vec3.x, 5.5f) << "the defaults leave the sensor free";
  EXPECT_EQ(Recorded().vec3.y, -3.75f);
  EXPECT_EQ(Recorded().vec3.z, 7.0f);
  sensor.OnPointerRelease();
  EXPECT_EQ(TakeLog(), (Log{"vec3", "vec3", "flag", "point"}));
  EXPECT_EQ(Recorded().point.x, 5.5f) << "autoOffset keeps the translation";

  SetValue(sensor, "minPosition", SFVec2f{0, 2});
  SetValue(sensor, "maxPosition", SFVec2f{6, 2});
  sensor.OnPointerPress();
  sensor.Traverse(RenderPass::Frame, nullptr);
  sensor.OnPointerDrag(1, 1.0f, 10.0f);
  EXPECT_EQ(Recorded().vec3.x, 6.0f) << "limited to maxPosition";
  EXPECT_EQ(Recorded().vec3.y, 6.25f) << "equal limits leave the axis free";
  sensor.OnPointerDrag(1, -100.0f, kNaN);
  EXPECT_EQ(Recorded().vec3.x, 6.0f) << "a drag that is not a number is ignored";
  sensor.OnPointerDrag(1, -100.0f, 0.0f);
  EXPECT_EQ(Recorded().vec3.x, 0.0f) << "limited to minPosition";
}

TEST_F(PointingSensorTest, CylinderSensorTurnsAboutYAndStartsAgainFromTheOffsetWithoutAutoOffset) {
  CNodeRef node = Make("CylinderSensor");
  auto& sensor = As<CCylinderSensorNode>(node);
  Route(node, {{"rotation_changed", "rotation"}});
  SetValue(sensor, "autoOffset", int16_t{0});
  SetValue(sensor, "offset", 0.5f);
  for (int drag = 0; drag < 2; ++drag) {
    sensor.OnPointerPress();
    sensor.Traverse(RenderPass::Frame, nullptr);
    sensor.OnPointerDrag(1, 0.25f, 0.0f);
    EXPECT_NEAR(Recorded().rotation.angle, 0.5f + kPi / 2, 1e-5f);
    EXPECT_EQ(Recorded().rotation.y, 1.0f);
    sensor.OnPointerRelease();
  }
  EXPECT_EQ(sensor.offset, 0.5f);

  SetValue(sensor, "minAngle", 0.0f);
  SetValue(sensor, "maxAngle", 1.0f);
  sensor.OnPointerPress();
  sensor.Traverse(RenderPass::Frame, nullptr);
  sensor.OnPointerDrag(1, 1.0f, 0.0f);
  EXPECT_EQ(Recorded().rotation.angle, 1.0f);
  sensor.OnPointerDrag(1, -1.0f, 0.0f);
  EXPECT_EQ(Recorded().rotation.angle, 0.0f);
}

TEST_F(PointingSensorTest, SphereSensorStopsShortOfAHalfTurnAndCarriesItsAnglesWithAutoOffset) {
  CNodeRef node = Make("SphereSensor");
  auto& sensor = As<CSphereSensorNode>(node);
  Route(node, {{"rotation_changed", "rotation"}});
  sensor.OnPointerPress();
  sensor.Traverse(RenderPass::Frame, nullptr);
  sensor.OnPointerDrag(1, -0.125f, 0.0f);
  EXPECT_NEAR(Recorded().rotation.x, 1.0f, 1e-5f);
  EXPECT_NEAR(Recorded().rotation.angle, kPi / 4, 1e-5f);
  sensor.OnPointerDrag(1, -10.0f, 0.0f);
  EXPECT_EQ(sensor.GetPolarAngle(), 3.1405926f);
  EXPECT_LT(Recorded().rotation.angle, kPi) << "never a full half turn";
  sensor.OnPointerDrag(1, 20.0f, 0.0f);
  EXPECT_NEAR(Recorded().rotation.angle, 0.001f, 1e-4f);
  sensor.OnPointerDrag(1, 0.25f, 0.25f);
  EXPECT_TRUE(std::isfinite(Recorded().rotation.x) && std::isfinite(Recorded().rotation.angle));
  sensor.OnPointerRelease();
  EXPECT_EQ(sensor.offset.angle, Recorded().rotation.angle) << "autoOffset keeps the rotation";

  const float polar = sensor.GetPolarAngle();
  sensor.OnPointerPress();
  EXPECT_EQ(sensor.GetPolarAngle(), polar) << "autoOffset carries the angles on";
  sensor.OnPointerRelease();
  SetValue(sensor, "autoOffset", int16_t{0});
  sensor.OnPointerPress();
  EXPECT_EQ(sensor.GetPolarAngle(), 0.0f);
}

// ---- Calibration through the view's projection ----

// Worlds of the system's convention: the camera at the origin, 50 degrees
// of view.
class DragCalibrationTest : public PointingSensorTest {
 protected:
  // A sensor 5 units in front of the camera, pressed at its origin and drawn
  // once, which calibrates it.
  template <typename T>
  T& PressAndDraw(const char* type, SFVec3f hit = {0, 0, 0}) {
    world_ptr_ = ReadWorld(std::string("Transform { translation 0 0 -5 children DEF S ") + type + " {} }",
                           WorldConvention::kSystem);
    T& sensor = static_cast<T&>(*world_ptr_->FindNode("S"));
    sensor.OnPointerPress();
    sensor.pick.hitPoint = hit;
    world_ptr_->RenderFrame(&view_);
    EXPECT_TRUE(sensor.IsCalibrated());
    return sensor;
  }
  std::unique_ptr<CBrowser> world_ptr_;
};

// The whole road: the pick over a quad gives the hit point, the press and
// the next frame calibrate, a drag moves the Transform the sensor drives by
// as much of the visible width as the pointer crossed.
TEST_F(DragCalibrationTest, APlaneSensorPickedOnAQuadDragsItsTransformWithThePointer) {
  world_ptr_ = ReadWorld(
      "Transform { translation 0 0 -5 children [ DEF P PlaneSensor {} DEF T Transform { children Shape {"
      " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
      " coordIndex [ 0 1 2 3 -1 ] } } } ] }"
      " ROUTE P.translation_changed TO T.set_translation",
      WorldConvention::kSystem);
  view_.SetPointer(40, 24);
  world_ptr_->RenderFrame(&view_);
  ASSERT_EQ(view_.GetPointerTargets(), std::vector<CNode*>{world_ptr_->FindNode("P")});
  auto& sensor = static_cast<CPlaneSensorNode&>(*world_ptr_->FindNode("P"));
  EXPECT_GT(sensor.pick.hitPoint.x, 0.3f) << "right of the quad's middle";
  sensor.OnPointerPress();
  world_ptr_->RenderFrame(&view_);

  // 50 degrees of view at a distance of 5 show 2 x 5 x tan 25 degrees.
  const float visible = 2.0f * 5.0f * std::tan(0.4363323f);
  const auto& m = sensor.GetMapping();
  EXPECT_NEAR(m[0], visible, visible * 0.05f);
  EXPECT_NEAR(m[3], visible, visible * 0.05f) << "upward pointer movement is upward translation";
  EXPECT_NEAR(m[1], 0.0f, 0.05f);
  EXPECT_NEAR(m[2], 0.0f, 0.05f);
  sensor.OnPointerDrag(1, 0.25f, 0.0f);
  const auto& moved = *static_cast<const SFVec3f*>(world_ptr_->FindNode("T")->GetFieldByName("translation"));
  EXPECT_NEAR(moved.x, 0.25f * visible, 0.05f);
  EXPECT_NEAR(moved.y, 0.0f, 0.05f);
}

TEST_F(DragCalibrationTest, CylinderAndSphereSensorsTakeTheScreenDirections) {
  auto& cylinder = PressAndDraw<CCylinderSensorNode>("CylinderSensor");
  cylinder.OnPointerDrag(1, 0.25f, 0.0f);
  EXPECT_NEAR(cylinder.GetAngle(), kPi / 2, 1e-3f);
  auto& sphere = PressAndDraw<CSphereSensorNode>("SphereSensor");
  const auto& m = sphere.GetMapping();
  EXPECT_NEAR(m[0], 2 * kPi, 1e-3f);
  EXPECT_NEAR(m[3], 2 * kPi, 1e-3f);
}

TEST_F(DragCalibrationTest, DegenerateProjectionsFallBackInsteadOfDividingByZero) {
  // Far off to the side every calibration point lands on the frame's edge.
  auto& plane = PressAndDraw<CPlaneSensorNode>("PlaneSensor", {1e20f, 1e20f, 0});
  EXPECT_EQ(plane.GetMapping(), (std::array<float, 4>{1, 0, 0, 1}));
  auto& sphere = PressAndDraw<CSphereSensorNode>("SphereSensor", {kNaN, 0, 0});
  const auto& m = sphere.GetMapping();
  EXPECT_EQ(m[0], 0.0f);
  EXPECT_NEAR(m[1], 2 * kPi, 1e-5f);
  EXPECT_NEAR(m[2], 2 * kPi, 1e-5f);
  EXPECT_EQ(m[3], 0.0f);
  sphere.OnPointerDrag(1, 0.1f, 0.1f);
  EXPECT_TRUE(std::isfinite(sphere.GetRotation().angle));
  auto& cylinder = PressAndDraw<CCylinderSensorNode>("CylinderSensor", {0, 0, 5});
  cylinder.OnPointerDrag(1, 0.25f, 0.25f);
  EXPECT_TRUE(std::isfinite(cylinder.GetAngle()));
}

}  // namespace
}  // namespace vx::test
