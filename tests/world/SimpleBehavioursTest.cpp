#include <gtest/gtest.h>

#include "ScriptTestSupport.h"
#include "engine/nodes/TransformNode.h"

namespace vx::test {
namespace {

// A slide of T by (3, 0, 0) over `duration` seconds (three frames at the
// frame rate a world reports before it has counted enough frames), with the
// side it is on reported to the recorder.
std::string SlideWorld(const std::string& duration, const std::string& transform = "USE T") {
  return R"(DEF T Transform { translation 1 0 0 }
            DEF S Script { url "vxn:slide" eventIn SFBool toggle eventIn SFBool on eventIn SFBool off
                           eventIn SFBool stop field SFBool state FALSE field SFNode transform )" +
         transform + R"( field SFVec3f translation 3 0 0 )" + duration + R"( }
            DEF Watch Script { url "record:" eventIn SFBool side }
            ROUTE S.state_changed TO Watch.side)";
}

float X(ScriptWorld& w, const char* name = "T") { return static_cast<CTransformNode&>(w.Node(name)).translation.x; }

TEST(SlideBehaviour, AMoveTakesTheDurationsFramesAndThenReportsTheSide) {
  ScriptWorld w(SlideWorld("field SFTime duration 0.2"));
  w.Frame();
  w.Send("S", "on", int16_t{1});
  w.Frames(3);
  EXPECT_FLOAT_EQ(X(w), 4.0f);
  EXPECT_TRUE(w.CallsTo("side").empty());
  w.Frame();
  ASSERT_EQ(w.CallsTo("side").size(), 1u);
  EXPECT_EQ(w.CallsTo("side")[0].number, 1.0);

  w.Send("S", "on", int16_t{1});
  w.Frames(3);
  EXPECT_FLOAT_EQ(X(w), 4.0f) << "on while already on stays";
  w.Send("S", "toggle", int16_t{0});
  w.Frames(4);
  EXPECT_FLOAT_EQ(X(w), 1.0f);
  ASSERT_EQ(w.CallsTo("side").size(), 2u);
  EXPECT_EQ(w.CallsTo("side")[1].number, 0.0);
}

TEST(SlideBehaviour, AnyOtherEventCutsAMoveShortWithoutChangingTheSide) {
  ScriptWorld w(SlideWorld("field SFTime duration 0.2"));
  w.Frame();
  w.Send("S", "on", int16_t{1});
  w.Frame();
  w.Send("S", "stop", int16_t{1});
  w.Frames(3);
  EXPECT_FLOAT_EQ(X(w), 2.0f);
  EXPECT_TRUE(w.CallsTo("side").empty());
}

TEST(SlideBehaviour, WithoutADurationAMoveTakesOneFrame) {
  ScriptWorld w(SlideWorld(""));
  w.Frame();
  w.Send("S", "on", int16_t{1});
  w.Frame();
  EXPECT_FLOAT_EQ(X(w), 4.0f);
  w.Frame();
  EXPECT_EQ(w.CallsTo("side").size(), 1u);
}

TEST(SlideBehaviour, ATransformWhoseTranslationWasNeverSetIsPlacedByTheMove) {
  ScriptWorld w(R"(DEF T Transform {}
                   DEF S Script { url "vxn:slide" eventIn SFBool on field SFBool state FALSE
                                  field SFNode transform USE T field SFVec3f translation 3 0 0 })");
  auto& transform = static_cast<CTransformNode&>(w.Node("T"));
  ASSERT_FALSE(transform.IsFieldSet(transform.FindField("translation")));
  w.Frame();
  w.Send("S", "on", int16_t{1});
  w.Frames(2);
  EXPECT_FLOAT_EQ(transform.translation.x, 3.0f);
  EXPECT_TRUE(transform.IsFieldSet(transform.FindField("translation")));
}

TEST(SlideBehaviour, ANodeThatIsNoTransformIsNotMoved) {
  ScriptWorld w(SlideWorld("", "Group {}"));
  w.Frame();
  w.Send("S", "on", int16_t{1});
  w.Frames(2);
  EXPECT_FLOAT_EQ(X(w), 1.0f);
  EXPECT_TRUE(w.CallsTo("side").empty());
}

// The Script holds the only reference to its Transform; dropping it in the
// middle of a move frees the Transform, and the move must end without
// reaching it.
TEST(SlideBehaviour, ATransformFreedDuringAMoveIsNeverReached) {
  ScriptWorld w(SlideWorld("field SFTime duration 0.2", "Transform {}"));
  w.Frame();
  w.Send("S", "on", int16_t{1});
  w.Frame();
  const CNodeRef none;
  w.Node("S").SetField("transform", &none);
  w.Frames(4);
  EXPECT_TRUE(w.CallsTo("side").empty()) << "the move ended where the Transform went";
}

TEST(SetValBehaviour, OnSendsTheValueOfVal) {
  ScriptWorld w(R"(DEF V Script { url "vxn:setVal" eventIn SFBool on field SFFloat val 2.5 }
                   DEF None Script { url "vxn:setVal" eventIn SFBool on eventOut SFFloat val_changed }
                   DEF Watch Script { url "record:" eventIn SFFloat value eventIn SFFloat none }
                   ROUTE V.val_changed TO Watch.value
                   ROUTE None.val_changed TO Watch.none)");
  w.Send("V", "on", int16_t{0});
  EXPECT_TRUE(w.calls.empty());
  w.Send("V", "on", int16_t{1});
  ASSERT_EQ(w.CallsTo("value").size(), 1u) << "setVal answers before the first frame";
  EXPECT_EQ(w.CallsTo("value")[0].number, 2.5);
  w.Send("None", "on", int16_t{1});
  EXPECT_TRUE(w.CallsTo("none").empty()) << "without val nothing is sent";
}

TEST(SetCursorBehaviour, OnShowsTheNamedCursorInTheNextFrame) {
  ScriptWorld w(R"(DEF C Script { url "vxn:setCursor" eventIn SFBool on field SFString cursor "LINK" }
                   DEF Odd Script { url "vxn:setCursor" eventIn SFBool on field SFString cursor "HAND" })");
  w.Send("C", "on", int16_t{1});
  w.Frame();
  EXPECT_TRUE(w.services.cursors.empty()) << "an event before the first frame is dropped";
  w.Send("C", "on", int16_t{1});
  w.Send("Odd", "on", int16_t{1});
  w.Frames(2);
  using Cursor = CCursorServices::Cursor;
  EXPECT_EQ(w.services.cursors, (std::vector<Cursor>{{1, 2}})) << "once, in the next frame; an unknown name shows nothing";
}

TEST(GetTimeBehaviour, RequestTimeSendsTheWorldTime) {
  ScriptWorld w(R"(DEF G Script { url "vxn:getTime" eventIn SFBool requestTime eventOut SFTime currentTime }
                   DEF Watch Script { url "record:" eventIn SFTime time }
                   ROUTE G.currentTime TO Watch.time)");
  w.Send("G", "requestTime", int16_t{0});
  EXPECT_TRUE(w.calls.empty());
  const double before = w.world->GetWorldTime();
  w.Send("G", "requestTime", int16_t{1});
  const double after = w.world->GetWorldTime();
  ASSERT_EQ(w.CallsTo("time").size(), 1u);
  EXPECT_GE(w.CallsTo("time")[0].number, before);
  EXPECT_LE(w.CallsTo("time")[0].number, after);
}

}  // namespace
}  // namespace vx::test
