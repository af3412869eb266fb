// A stereo frame traverses the scene once for each eye. Moves, camera
// transitions and object rotations still step once a frame: each runs the
// same frames in stereo as on one eye.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "engine/nodes/TransformNode.h"
#include "engine/world/nodes/IMobSensorNode.h"

namespace vx::test {
namespace {

// A world of the body, drawn on one eye or, under a bound Display, in stereo.
class EyesWorld : public ScriptWorld {
 public:
  EyesWorld(const std::string& body, bool stereo)
      : ScriptWorld((stereo ? "Display { stereoMode \"LEFT_RIGHT\" }\n" : "") + body) {
    Frame();
    EXPECT_EQ(view.view.GetStereoMode(), stereo ? StereoMode::LeftRight : StereoMode::None);
  }
};

// After each frame, the slide's place and the sides it has reported.
std::vector<float> SlideTrace(bool stereo) {
  EyesWorld w(R"(DEF T Transform { translation 1 0 0 }
                 DEF S Script { url "vxn:slide" eventIn SFBool on field SFBool state FALSE
                                field SFNode transform USE T field SFVec3f translation 3 0 0
                                field SFTime duration 0.2 }
                 DEF Watch Script { url "record:" eventIn SFBool side }
                 ROUTE S.state_changed TO Watch.side)",
              stereo);
  w.Send("S", "on", int16_t{1});
  std::vector<float> trace;
  for (int frame = 0; frame < 5; ++frame) {
    w.Frame();
    trace.push_back(static_cast<CTransformNode&>(w.Node("T")).translation.x);
    trace.push_back(static_cast<float>(w.CallsTo("side").size()));
  }
  return trace;
}

// After each frame, the camera's yaw during a link's ZOOM transition and the
// clicks it has reported.
std::vector<float> LinkTrace(bool stereo) {
  EyesWorld w(R"(DEF L Script { url "vxn:link" eventIn SFVec2f clickPt eventOut SFBool goodClick
                                field SFString transition "ZOOM" field SFVec3f viewDir 0 1 0 }
                 DEF Watch Script { url "record:" eventIn SFBool click }
                 ROUTE L.goodClick TO Watch.click)",
              stereo);
  w.view.view.SetOrientation(0.0f, 0.0f, 0.0f, true);
  w.Send("L", "clickPt", SFVec2f{0, 0});
  std::vector<float> trace;
  for (int frame = 0; frame < 13; ++frame) {
    w.Frame();
    float pitch, yaw, roll;
    w.view.view.GetOrientation(&pitch, &yaw, &roll);
    trace.push_back(yaw);
    trace.push_back(static_cast<float>(w.CallsTo("click").size()));
  }
  return trace;
}

// After each frame, the angle an IMobSensor's rotation has turned.
std::vector<float> RotationTrace(bool stereo) {
  EyesWorld w(R"(DEF S IMobSensor { quantization [1 36 1] range [0 10 0 360 0 10] screenIMob TRUE
                                    animRate [0 30 0] })",
              stereo);
  const auto& sensor = static_cast<const CIMobSensorNode&>(w.Node("S"));
  std::vector<float> trace;
  for (int frame = 0; frame < 5; ++frame) {
    w.Frame();
    trace.push_back(sensor.GetViewAngles()[1]);
  }
  return trace;
}

TEST(StereoTiming, ASlideTakesItsFramesInStereoToo) {
  const std::vector<float> mono = SlideTrace(false);
  EXPECT_EQ(mono, (std::vector<float>{2, 0, 3, 0, 4, 0, 4, 1, 4, 1})) << "three frames at 15 a second";
  EXPECT_EQ(SlideTrace(true), mono);
}

TEST(StereoTiming, ALinkTransitionTakesItsTenFramesInStereoToo) {
  const std::vector<float> mono = LinkTrace(false);
  ASSERT_EQ(mono.size(), 26u);
  EXPECT_NEAR(mono[2 * 5], 0.5f, 1e-5f) << "half way after the set-up and five frames";
  EXPECT_EQ(mono[2 * 10 + 1], 0.0f);
  EXPECT_EQ(mono[2 * 11 + 1], 1.0f) << "finished on the frame after the tenth move";
  const std::vector<float> stereo = LinkTrace(true);
  ASSERT_EQ(stereo.size(), mono.size());
  for (size_t i = 0; i < mono.size(); ++i) EXPECT_NEAR(stereo[i], mono[i], 1e-5f) << i;
}

TEST(StereoTiming, AnObjectTurnsAtItsRateInStereoToo) {
  const std::vector<float> mono = RotationTrace(false);
  ASSERT_EQ(mono.size(), 5u);
  EXPECT_FLOAT_EQ(mono.back() - mono.front(), 8.0f) << "2 degrees a frame at 15 frames a second";
  const std::vector<float> stereo = RotationTrace(true);
  ASSERT_EQ(stereo.size(), mono.size());
  for (size_t i = 0; i < mono.size(); ++i) EXPECT_FLOAT_EQ(stereo[i], mono[i]) << i;
}

}  // namespace
}  // namespace vx::test
