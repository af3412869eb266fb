#include <gtest/gtest.h>

#include <string>

#include "ScriptTestSupport.h"
#include "engine/world/SceneView.h"

namespace vx::test {
namespace {

// A link reporting goodOver and goodClick to the recorder, with the given
// declarations added.
std::string LinkWorld(const std::string& declarations) {
  return R"(DEF L Script { url "vxn:link" eventIn SFVec2f clickPt eventIn SFVec2f overPt
                           eventOut SFBool goodOver eventOut SFBool goodClick )" +
         declarations + R"( }
            DEF Watch Script { url "record:" eventIn SFBool over eventIn SFBool click }
            ROUTE L.goodOver TO Watch.over
            ROUTE L.goodClick TO Watch.click)";
}

size_t OversAt(ScriptWorld& w, float x, float y) {
  const size_t before = w.CallsTo("over").size();
  w.Send("L", "overPt", SFVec2f{x, y});
  return w.CallsTo("over").size() - before;
}

TEST(LinkBehaviour, AHorizontalRangeWithMaxBelowMinWrapsAroundTheSeam) {
  ScriptWorld wrapped(LinkWorld("field SFVec2f xBounds 5.5 0.5"));
  wrapped.Frame();
  EXPECT_EQ(OversAt(wrapped, 6.0f, 0.0f), 1u);
  EXPECT_EQ(OversAt(wrapped, 0.2f, 0.0f), 1u);
  EXPECT_EQ(OversAt(wrapped, 3.0f, 0.0f), 0u);

  ScriptWorld plain(LinkWorld("field SFVec2f xBounds 0.5 5.5 field SFVec2f yBounds 1 2"));
  plain.Frame();
  EXPECT_EQ(OversAt(plain, 3.0f, 1.5f), 1u);
  EXPECT_EQ(OversAt(plain, 6.0f, 1.5f), 0u);
  EXPECT_EQ(OversAt(plain, 0.2f, 1.5f), 0u);
  EXPECT_EQ(OversAt(plain, 3.0f, 2.5f), 0u) << "the vertical range never wraps";
  EXPECT_EQ(OversAt(plain, 5.5f, 1.0f), 1u) << "both ends belong to the area";

  ScriptWorld open(LinkWorld("field SFVec2f yBounds 3 1"));
  open.Frame();
  EXPECT_EQ(OversAt(open, 0.0f, 2.0f), 0u) << "a vertical range with max below min holds nothing";
}

TEST(LinkBehaviour, TheAreaIsLiveOnTheTargetFrameOnceAFrameIsKnown) {
  ScriptWorld w(LinkWorld("field SFInt32 currentFrame -1 field SFInt32 targetFrame 3"));
  w.Send("L", "overPt", SFVec2f{0, 0});
  EXPECT_TRUE(w.calls.empty()) << "before the first frame the link has no state";
  w.Frame();
  EXPECT_EQ(OversAt(w, 0, 0), 1u) << "no frame known yet";
  w.Send("L", "currentFrame", int32_t{2});
  EXPECT_EQ(OversAt(w, 0, 0), 0u);
  w.Send("L", "currentFrame", int32_t{3});
  EXPECT_EQ(OversAt(w, 0, 0), 1u);
}

TEST(LinkBehaviour, PointsOfAnotherTypeAreNotRead) {
  ScriptWorld w(R"(DEF L Script { url "vxn:link" eventIn SFFloat overPt eventOut SFBool goodOver }
                   DEF Watch Script { url "record:" eventIn SFBool over }
                   ROUTE L.goodOver TO Watch.over)");
  w.Frame();
  w.Send("L", "overPt", 1.0f);
  EXPECT_TRUE(w.calls.empty());
}

// One cursor per frame: the first pending link shows its cursor, the
// second waits for the next frame; a disabled link shows none.
TEST(LinkBehaviour, LinksOverTheSameFrameTakeTurnsForTheCursor) {
  ScriptWorld w(R"(DEF A Script { url "vxn:link" eventIn SFVec2f overPt }
                   DEF B Script { url "vxn:link" eventIn SFVec2f overPt field SFString cursor "ARROW" }
                   DEF Off Script { url "vxn:link" eventIn SFVec2f overPt field SFString cursor "ARROW"
                                    field SFBool enabled FALSE })");
  w.Frame();
  w.Send("A", "overPt", SFVec2f{0, 0});
  w.Send("B", "overPt", SFVec2f{0, 0});
  w.Send("Off", "overPt", SFVec2f{0, 0});
  w.Frames(3);
  using Cursor = CCursorServices::Cursor;
  EXPECT_EQ(w.services.cursors, (std::vector<Cursor>{{1, 2}, {2, 0}})) << "A's default LINK, then B's ARROW";
}

// Without toURL a click switches inside the scene: switchTo through
// switchIt, goodClick, and outValue, outValue2, ... through value_changed,
// value_changed2, ... up to the first one missing.
TEST(LinkBehaviour, AClickWithoutAWorldSendsTheDeclaredValues) {
  ScriptWorld w(LinkWorld(R"(field SFInt32 switchTo 4 eventOut SFInt32 switchIt
                             field SFFloat outValue 0.5 eventOut SFFloat value_changed
                             field SFFloat outValue3 3.5 eventOut SFFloat value_changed3)") +
                R"(
                   DEF Sink Script { url "record:" eventIn SFInt32 switched eventIn SFFloat first
                                     eventIn SFFloat third }
                   ROUTE L.switchIt TO Sink.switched
                   ROUTE L.value_changed TO Sink.first
                   ROUTE L.value_changed3 TO Sink.third)");
  w.Frame();
  w.Send("L", "clickPt", SFVec2f{0, 0});
  w.Frame();
  EXPECT_TRUE(w.CallsTo("click").empty()) << "the first frame sets the transition up";
  w.Frame();
  ASSERT_EQ(w.CallsTo("switched").size(), 1u);
  EXPECT_EQ(w.CallsTo("switched")[0].number, 4.0);
  EXPECT_EQ(w.CallsTo("click").size(), 1u);
  ASSERT_EQ(w.CallsTo("first").size(), 1u);
  EXPECT_EQ(w.CallsTo("first")[0].number, 0.5);
  EXPECT_TRUE(w.CallsTo("third").empty()) << "outValue2 is missing";
}

TEST(LinkBehaviour, AValueIsNotSentThroughAnEventOutOfAnotherType) {
  ScriptWorld w(LinkWorld(R"(field SFInt32 switchTo 4 eventOut SFBool switchIt)") +
                R"(
                   DEF Sink Script { url "record:" eventIn SFBool switched }
                   ROUTE L.switchIt TO Sink.switched)");
  w.Frame();
  w.Send("L", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  EXPECT_EQ(w.CallsTo("click").size(), 1u);
  EXPECT_TRUE(w.CallsTo("switched").empty());
}

// A ZOOM transition turns the camera by the shorter way round in ten
// frames, then keeps the target camera for the next panorama the world
// binds.
TEST(LinkBehaviour, AZoomTransitionTurnsTheShortWayInTenFrames) {
  ScriptWorld w(LinkWorld(R"(field SFString transition "ZOOM" field SFVec3f viewDir 0.5 4 0
                             field SFFloat zoomAngle 0.2)"));
  CViewContext& view = w.view.view;
  w.Frame();
  view.SetOrientation(0.0f, 0.0f, 0.0f, true);
  view.SetFieldOfView(0.4f, true);
  w.Send("L", "clickPt", SFVec2f{0, 0});
  w.Frame();
  float pitch, yaw, roll;
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_FLOAT_EQ(yaw, 0.0f) << "set-up only";
  for (int frame = 1; frame <= 10; ++frame) {
    w.Frame();
    view.GetOrientation(&pitch, &yaw, &roll);
    EXPECT_NEAR(yaw, -0.22832f * static_cast<float>(frame), 1e-4f) << frame;
    EXPECT_NEAR(pitch, 0.05f * static_cast<float>(frame), 1e-4f) << frame;
    EXPECT_NEAR(view.GetFieldOfView(), 0.4f - 0.02f * static_cast<float>(frame), 1e-4f) << frame;
  }
  EXPECT_FALSE(w.world->IsCameraSaved());
  EXPECT_TRUE(w.CallsTo("click").empty());
  w.Frame();
  EXPECT_EQ(w.CallsTo("click").size(), 1u);
  ASSERT_TRUE(w.world->IsCameraSaved());

  CNodeRef vista = MakeBindable(NodeTypeVista, "V");
  w.world->BindVista(vista.Get(), &view);
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_FLOAT_EQ(yaw, 4.0f) << "the target, not where the turn ended";
  EXPECT_FLOAT_EQ(pitch, 0.5f);
  EXPECT_FLOAT_EQ(view.GetFieldOfView(), 0.4f) << "the field of view from before the zoom";
}

TEST(LinkBehaviour, AZoomWithNothingToAnimateFinishesOnTheNextFrame) {
  ScriptWorld w(LinkWorld(R"(field SFString transition "ZOOM")"));
  w.Frame();
  w.Send("L", "clickPt", SFVec2f{0, 0});
  w.Frame();
  EXPECT_TRUE(w.CallsTo("click").empty());
  w.Frame();
  EXPECT_EQ(w.CallsTo("click").size(), 1u);
}

// With toURL the click loads that world in the view, and toFrame names the
// Viewpoint to bind there (it replaces a '#' name of the url). A world that
// is not a scene goes to the host without a frame name.
TEST(LinkBehaviour, AClickLoadsTheWorldAtTheNamedViewpoint) {
  ScriptWorld w(LinkWorld(R"(field SFString toURL "next.wrl#Hall" field SFString toFrame "Door")") +
                R"(
                   DEF Page Script { url "vxn:link" eventIn SFVec2f clickPt
                                     field SFString toURL "http://example.test/a.html"
                                     field SFString toFrame "Door" })");
  w.world->SetWorldUrl("/worlds/here/main.wrl");
  CSceneView sceneView(WindowHandle::None);
  std::vector<LinkRequest> links;
  sceneView.SetCallback({&links, [](int32_t code, void* data, void* self) {
                           if (code == ViewEventOpenLink) {
                             static_cast<std::vector<LinkRequest>*>(self)->push_back(*static_cast<LinkRequest*>(data));
                           }
                         }});
  w.view.view.SetServices(&sceneView);
  w.Frame();
  w.Send("L", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  EXPECT_EQ(sceneView.GetPendingFile(), "/worlds/here/next.wrl");
  EXPECT_EQ(sceneView.GetViewpointName(), "Door");
  EXPECT_EQ(sceneView.GetLinkTarget(), "");
  EXPECT_TRUE(w.CallsTo("click").empty()) << "a click that loads a world sends no goodClick";

  w.Send("Page", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_STREQ(links[0].url, "http://example.test/a.html");
  EXPECT_STREQ(links[0].target, "");
}

// Compressed worlds are worlds to a link too, whatever the case of their
// names, and take the Viewpoint toFrame names.
TEST(LinkBehaviour, AClickLoadsACompressedWorld) {
  ScriptWorld w(LinkWorld(R"(field SFString toURL "next.WRZ" field SFString toFrame "Door")") +
                R"(
                   DEF Packed Script { url "vxn:link" eventIn SFVec2f clickPt
                                       field SFString toURL "other.Tsw.Gz#Hall" })");
  w.world->SetWorldUrl("/worlds/here/main.wrl");
  CSceneView sceneView(WindowHandle::None);
  w.view.view.SetServices(&sceneView);
  w.Frame();
  w.Send("L", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  EXPECT_EQ(sceneView.GetPendingFile(), "/worlds/here/next.WRZ");
  EXPECT_EQ(sceneView.GetViewpointName(), "Door");

  w.Send("Packed", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  EXPECT_EQ(sceneView.GetPendingFile(), "/worlds/here/other.Tsw.Gz");
  EXPECT_EQ(sceneView.GetViewpointName(), "Hall");
}

}  // namespace
}  // namespace vx::test
