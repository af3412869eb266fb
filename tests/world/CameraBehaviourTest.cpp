// The camera behaviour: scripted moves of the view's camera, timed by the
// world's frame rate on an injected clock, the user's take-over, and the
// reports of the camera.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ReceivedValues.h"
#include "platform/Clock.h"

namespace vx::test {
namespace {

constexpr float kNear = 1e-4f;

// Script C moving the camera, every report routed to the recorder.
std::string CameraWorld(const std::string& parameters, const std::string& name = "setCamera") {
  return "DEF C Script { url \"vxn:" + name + "\" eventIn SFVec3f orientation eventIn SFVec3f position "
         "eventIn SFFloat zoom " + parameters +
         " eventOut SFBool isActive eventOut SFVec3f orientation_changed eventOut SFRotation rotation_changed "
         "eventOut SFFloat zoom_changed eventOut SFVec3f position_changed }\n"
         "DEF Watch Script { url \"record:\" eventIn SFBool active eventIn SFVec3f orientation "
         "eventIn SFRotation rotation eventIn SFFloat zoom eventIn SFVec3f position }\n"
         "ROUTE C.isActive TO Watch.active ROUTE C.orientation_changed TO Watch.orientation "
         "ROUTE C.rotation_changed TO Watch.rotation ROUTE C.zoom_changed TO Watch.zoom "
         "ROUTE C.position_changed TO Watch.position";
}

// A camera world whose view has camera flags; the clock stands still, so
// the frame rate is the world's first 15 frames a second.
struct CameraTest {
  explicit CameraTest(const std::string& parameters, const std::string& name = "setCamera")
      : w(CameraWorld(parameters, name)), values(w), services(*w.world) {
    w.view.view.SetServices(&services);
  }
  float Yaw() const {
    float pitch, yaw, roll;
    w.view.view.GetOrientation(&pitch, &yaw, &roll);
    return yaw;
  }
  std::vector<double> Active() const {
    std::vector<double> states;
    for (const ReceivedValue& value : values.To("active")) states.push_back(value.numbers[0]);
    return states;
  }

  ManualClock clock;
  ScriptWorld w;
  ReceivedValues values;
  CInputServices services;
};

TEST(CameraBehaviour, TheFirstFrameReportsTheWholeCameraAndThenOnlyChanges) {
  for (const char* name : {"setCamera", "camera"}) {
    SCOPED_TRACE(name);
    CameraTest t("", name);
    t.w.Frame();
    for (const char* report : {"orientation", "rotation", "zoom", "position"}) EXPECT_EQ(t.values.To(report).size(), 1u);
    t.w.Frames(2);
    EXPECT_EQ(t.values.all.size(), 4u);
    // A change inside the tolerance is not reported; one outside it is.
    t.w.view.view.SetFieldOfView(t.w.view.view.GetFieldOfView() + 0.0004f, false);
    t.w.Frame();
    EXPECT_EQ(t.values.To("zoom").size(), 1u);
    t.w.view.view.SetFieldOfView(t.w.view.view.GetFieldOfView() + 0.001f, false);
    t.w.Frame();
    EXPECT_EQ(t.values.To("zoom").size(), 2u);
  }
}

TEST(CameraBehaviour, EventsBeforeTheFirstFrameAreDropped) {
  CameraTest t("");
  t.w.Send("C", "orientation", SFVec3f{0, 1, 0});
  t.w.Frames(3);
  EXPECT_EQ(t.values.To("orientation").size(), 1u) << "the camera never turned";
  EXPECT_TRUE(t.Active().empty());
}

TEST(CameraBehaviour, RelativeTurnsGoFromWhereTheCameraIsAndAbsoluteOnesToTheTarget) {
  for (const char* relative : {"", "field SFBool relative FALSE"}) {
    SCOPED_TRACE(relative);
    // 0.2 s at 15 frames a second: three frames.
    CameraTest t(std::string("field SFTime duration 0.2 ") + relative);
    t.w.Frame();
    t.w.view.view.SetOrientation(0.0f, 0.5f, 0.0f, true);
    t.w.Send("C", "orientation", SFVec3f{0, 1, 0});
    EXPECT_EQ(t.Active(), (std::vector<double>{1.0}));
    t.w.Frame();
    EXPECT_FALSE(t.services.flags.applyOrientation) << "the user's turns are held";
    EXPECT_FALSE(t.services.flags.userOrientation);
    t.w.Frames(2);
    EXPECT_NEAR(t.Yaw(), *relative ? 1.0f : 1.5f, kNear);
    EXPECT_EQ(t.Active(), (std::vector<double>{1.0}));
    t.w.Frame();
    EXPECT_EQ(t.Active(), (std::vector<double>{1.0, 0.0}));
    EXPECT_TRUE(t.services.flags.applyOrientation);
    const ReceivedValue last = t.values.To("orientation").back();
    EXPECT_NEAR(last.numbers[1], t.Yaw(), kNear);
  }
}

TEST(CameraBehaviour, TurnsTakeTheShortWay) {
  CameraTest t("field SFBool relative FALSE");
  t.w.Frame();
  t.w.view.view.SetOrientation(0.0f, 0.0f, 0.0f, true);
  t.w.Send("C", "orientation", SFVec3f{0, 4.0f, 0});
  t.w.Frame();
  EXPECT_NEAR(t.Yaw(), 4.0f - 6.2832f, kNear);
  // Many turns away still ends within half a turn.
  t.w.Send("C", "orientation", SFVec3f{0, 1.0e6f, 0});
  t.w.Frame();
  EXPECT_LE(std::fabs(t.Yaw() - (4.0f - 6.2832f)), 3.1416f);
}

TEST(CameraBehaviour, MovesTakeTheFramesOfTheirDurationAtTheMeasuredFrameRate) {
  // 0.49 s at 20 frames a second (as measured once the world has counted
  // enough frames; 19.8 in the middle of a frame): 9 frames.
  CameraTest t("field SFTime duration 0.49");
  for (int i = 0; i < 100; ++i) {
    t.clock.Advance(50);
    t.w.Frame();
  }
  ASSERT_NEAR(t.w.world->GetFrameRate(), 20.0, 0.2);
  constexpr int steps = 9;
  const float z0 = t.w.view.view.GetPosition().z;
  t.w.Send("C", "position", SFVec3f{0, 0, -9});
  t.w.Send("C", "zoom", -0.2f);
  const float fieldOfView = t.w.view.view.GetFieldOfView();
  int frames = 0;
  while (t.Active().size() < 2 && frames < 40) {
    t.clock.Advance(50);
    t.w.Frame();
    ++frames;
    if (frames == 3) {
      EXPECT_NEAR(t.w.view.view.GetPosition().z, z0 - 3.0f, 1e-3f);
    }
  }
  // The duration's frames each for the position and the zoom, the zoom
  // starting one frame later; the frame after the last step ends the move.
  EXPECT_EQ(frames, steps + 2);
  EXPECT_NEAR(t.w.view.view.GetPosition().z, z0 - 9.0f, 1e-3f);
  EXPECT_NEAR(t.w.view.view.GetFieldOfView(), fieldOfView - 0.2f, 1e-4f);
  EXPECT_EQ(t.Active(), (std::vector<double>{1.0, 0.0}));
}

TEST(CameraBehaviour, ADurationShorterThanAFrameEndsWithoutMoving) {
  CameraTest t("field SFTime duration 0.01");
  t.w.Frame();
  t.w.Send("C", "position", SFVec3f{5, 0, 0});
  t.w.Frame();
  EXPECT_NEAR(t.w.view.view.GetPosition().x, 0.0f, kNear);
  EXPECT_EQ(t.Active(), (std::vector<double>{1.0, 0.0}));
}

TEST(CameraBehaviour, TheUserMayTakeTheCameraOverOnlyWhenAllowed) {
  for (bool allowed : {false, true}) {
    SCOPED_TRACE(allowed);
    CameraTest t(std::string("field SFTime duration 1 field SFBool allowOverride ") + (allowed ? "TRUE" : "FALSE"));
    t.w.Frame();
    t.w.Send("C", "orientation", SFVec3f{0, 1, 0});
    t.w.Send("C", "zoom", 0.1f);
    t.w.Frames(2);
    EXPECT_EQ(t.services.flags.userOrientation, allowed);
    EXPECT_EQ(t.services.flags.userFieldOfView, allowed);
    // What the view does when the user turns: the held turn is applied
    // again only where the user may move.
    if (t.services.flags.userOrientation) t.services.flags.applyOrientation = true;
    t.w.Frame();
    if (allowed) {
      EXPECT_EQ(t.Active(), (std::vector<double>{1.0, 0.0}));
      EXPECT_TRUE(t.services.flags.applyFieldOfView) << "a take-over ends every move";
    } else {
      EXPECT_EQ(t.Active(), (std::vector<double>{1.0}));
      EXPECT_FALSE(t.services.flags.applyOrientation);
    }
  }
}

TEST(CameraBehaviour, RotationReportsFollowTheViewDirectionOrTheYawAlone) {
  for (bool yawOnly : {false, true}) {
    SCOPED_TRACE(yawOnly);
    CameraTest t(yawOnly ? "field SFBool yawOnly TRUE" : "");
    t.w.Frame();
    t.w.view.view.SetOrientation(0.0f, 0.5f, 0.0f, true);
    t.w.Frame();
    const std::vector<ReceivedValue> rotations = t.values.To("rotation");
    ASSERT_EQ(rotations.size(), 2u);
    const std::vector<double>& r = rotations[1].numbers;
    if (yawOnly) {
      EXPECT_EQ(r, (std::vector<double>{0.0, 1.0, 0.0, -0.5}));
    } else {
      // Direction (-sin 0.5, 0, cos 0.5): axis (0, -sin 0.5, 0), angle 0.5.
      EXPECT_NEAR(r[0], 0.0, 1e-6);
      EXPECT_NEAR(r[1], -std::sin(0.5), 1e-5);
      EXPECT_NEAR(r[3], 0.5, 1e-4);
    }
  }
}

}  // namespace
}  // namespace vx::test
