#include "engine/world/CameraTurn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "WorldTestNodes.h"

namespace vx {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kTolerance = 1e-4f;

CVec3f Turned(const CMatrix4& m, const CVec3f& direction) {
  CVec3f p = direction;
  m.TransformPoint(p);
  return p;
}

void ExpectNear(const CVec3f& a, const CVec3f& b, const char* what) {
  EXPECT_NEAR(a.x, b.x, kTolerance) << what;
  EXPECT_NEAR(a.y, b.y, kTolerance) << what;
  EXPECT_NEAR(a.z, b.z, kTolerance) << what;
}

void ExpectSameRotation(const CMatrix4& a, const CMatrix4& b) {
  ExpectNear(Turned(a, {0, 0, -1}), Turned(b, {0, 0, -1}), "line of sight");
  ExpectNear(Turned(a, {0, 1, 0}), Turned(b, {0, 1, 0}), "up");
}

// The line of sight is the view context's view direction, and a point ahead
// of the camera and above its line of sight is drawn straight up from the
// middle of the frame, whatever the roll.
TEST(CameraTurn, ItsRotationIsTheCameraTheViewContextProjects) {
  test::HeadlessView h(64, 64);
  for (const CameraTurn turn : {CameraTurn{0.3f, 2.0f, 0.7f}, CameraTurn{-1.2f, -0.5f, -2.5f}, CameraTurn{0, kPi, 0}}) {
    h.view.SetPosition({1, 2, 3}, false);
    h.view.SetOrientation(turn.pitch, turn.yaw, turn.roll, true);
    const CMatrix4 rotation = RotationOf(turn);
    ExpectNear(Turned(rotation, {0, 0, -1}), h.view.GetViewDirection(), "line of sight");
    float clip[4] = {0, 0, 0, 1};
    const CVec3f point = CVec3f{1, 2, 3} + Turned(rotation, {0, 0, -5}) + Turned(rotation, {0, 1, 0});
    clip[0] = point.x;
    clip[1] = point.y;
    clip[2] = point.z;
    h.view.GetCameraMatrix().TransformVec4(clip);
    EXPECT_NEAR(clip[0] / clip[3], 0.0f, kTolerance);
    EXPECT_GT(clip[1] / clip[3], 0.1f);
  }
}

TEST(CameraTurn, ATurnComesBackFromItsRotationAwayFromThePoles) {
  for (float pitch = -1.5f; pitch <= 1.5f; pitch += 0.5f) {
    for (float yaw = -3.0f; yaw <= 3.0f; yaw += 1.0f) {
      for (float roll = -3.0f; roll <= 3.0f; roll += 1.5f) {
        const CameraTurn back = TurnOf(RotationOf({pitch, yaw, roll}));
        EXPECT_NEAR(back.pitch, pitch, kTolerance) << pitch << " " << yaw << " " << roll;
        EXPECT_NEAR(back.yaw, yaw, kTolerance) << pitch << " " << yaw << " " << roll;
        EXPECT_NEAR(back.roll, roll, kTolerance) << pitch << " " << yaw << " " << roll;
      }
    }
  }
}

// Straight up or down yaw and roll turn about the same line: the yaw takes
// the whole turn, the roll is 0, and the rotation is the one given.
TEST(CameraTurn, LookingStraightUpOrDownTheYawTakesTheTurnAboutTheLineOfSight) {
  for (const float angle : {1.5708f, -1.5708f, 1.5707964f}) {
    for (const float spin : {0.0f, 0.8f, -2.0f}) {
      // Rolled about the line of sight, then tilted up or down.
      CMatrix4 whole;
      whole.SetAxisRotation(0, angle);
      CMatrix4 roll;
      whole.PreMultiply(roll.SetAxisRotation(2, spin));
      const CameraTurn turn = TurnOf(whole);
      EXPECT_NEAR(std::fabs(turn.pitch), kPi / 2, 1e-3f);
      EXPECT_EQ(turn.roll, 0.0f);
      ExpectSameRotation(RotationOf(turn), whole);
    }
  }
}

TEST(CameraTurn, ScaleAndShearAreTakenOutAndDegenerateMatricesGiveNoTurn) {
  CMatrix4 scaled = RotationOf({0.4f, 1.0f, 0.5f});
  CMatrix4 scale;
  scale.SetScale(3.0f, 0.5f, 2.0f);
  scaled.PreMultiply(scale);
  const CameraTurn turn = TurnOf(scaled);
  ExpectNear(Turned(RotationOf(turn), {0, 0, -1}), Turned(scaled, {0, 0, -1}) * (1.0f / Turned(scaled, {0, 0, -1}).Length()),
             "the line of sight is kept");

  CMatrix4 flat;
  flat.SetScale(1.0f, 1.0f, 0.0f);
  const CameraTurn none = TurnOf(flat);
  EXPECT_EQ(none.pitch, 0.0f);
  EXPECT_FLOAT_EQ(none.yaw, kPi);
  EXPECT_EQ(none.roll, 0.0f);
  CMatrix4 broken;
  broken[4] = std::numeric_limits<float>::quiet_NaN();
  const CameraTurn fallback = TurnOf(broken);
  EXPECT_TRUE(std::isfinite(fallback.pitch) && std::isfinite(fallback.yaw) && std::isfinite(fallback.roll));
}

}  // namespace
}  // namespace vx
