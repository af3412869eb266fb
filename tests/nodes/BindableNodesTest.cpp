#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "RenderedWorld.h"

namespace vx::test {
namespace {

using Log = std::vector<std::string>;

constexpr float kTolerance = 1e-5f;
const std::string kRedQuadAt5 =
    "Transform { translation 0 0 -5 children Shape { appearance Appearance { material Material { diffuseColor 1 0 0 "
    "} } geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] } coordIndex [ 0 1 2 "
    "3 -1 ] } } }";

// Writes "<field>=<value>" for every SFBool and "<field>" for every SFTime
// routed to it, into one log shared by all sources.
class CBindingLog : public CNode {
 public:
  CBindingLog() { RegisterFields(kTable); }
  int OnEventIn(bool isField, int index, const void* value) override {
    const FieldSpec& field = kFields[index];
    std::string entry = field.name;
    if (isField && field.type == FieldTypeSFBool) entry += "=" + std::to_string(*static_cast<const int16_t*>(value));
    log.push_back(entry);
    return 0;
  }

  int16_t a = 0, b = 0;
  double aTime = 0.0, bTime = 0.0;
  Log log;

 private:
  static constexpr FieldSpec kFields[] = {
      Field<&CBindingLog::a>("a"),
      Field<&CBindingLog::b>("b"),
      Field<&CBindingLog::aTime>("aTime"),
      Field<&CBindingLog::bTime>("bTime"),
  };
  static constexpr FieldTable kTable{Section(kFields), {}, {}};
};

template <typename T>
void Send(CNode& node, const char* eventIn, const T& value) {
  ASSERT_EQ(node.ReceiveEvent(eventIn, &value), 0);
}

void Bind(CNode& node, bool on) {
  const int16_t value = on ? 1 : 0;
  ASSERT_EQ(node.ReceiveEvent("set_bind", &value), 0);
}

// ---- Fog ----

class Fog : public RenderedWorld {};

TEST_F(Fog, ABoundFogFadesTheQuadAndTurnsOffWithoutARangeOrWhenUnbound) {
  const uint32_t red = PixelOf(1, 0, 0);  // the headlight and ambient saturate red
  Load("Viewpoint { position 0 0 0 } DEF F Fog { color 0 0 1 visibilityRange 3 fogType \"EXPONENTIAL\" } " +
       kRedQuadAt5);
  EXPECT_EQ(Center(), PixelOf(0, 0, 1)) << "wholly beyond the range: the fog colour, for any fogType";

  // Every corner lies sqrt(27) from the eye, so the fog takes that part of
  // the range.
  CNode& fog = Named("F");
  SetValue(fog, "visibilityRange", 10.0f);
  Frame();
  const float part = std::sqrt(27.0f) / 10.0f;
  EXPECT_TRUE(PixelsNear(Center(), PixelOf(1 - part, 0, part)));

  for (float off : {0.0f, -0.0f, -4.0f, std::nanf("")}) {
    SetValue(fog, "visibilityRange", off);
    Frame();
    EXPECT_EQ(Center(), red) << off;
  }

  SetValue(fog, "visibilityRange", 3.0f);
  Bind(fog, false);
  Frame();
  EXPECT_EQ(Center(), red) << "no Fog bound";
  EXPECT_EQ(world->GetFog(), nullptr);
}

TEST_F(Fog, BindingTheSameValueTwiceSendsIsBoundOnce) {
  Load("DEF F Fog { } DEF G Fog { }");
  CNode& second = Named("G");
  CNodeRef log = MakeNode<CBindingLog>();
  ASSERT_TRUE(second.AddRouteToNode("isBound", "a", log.Get()));
  Bind(second, true);
  Bind(second, true);
  EXPECT_EQ(world->GetFog(), &second);
  Bind(second, false);
  Bind(second, false);
  EXPECT_EQ(world->GetFog(), &Named("F")) << "the first was bound by the reader";
  EXPECT_EQ(static_cast<CBindingLog&>(*log.Get()).log, (Log{"a=1", "a=0"}));
}

// ---- NavigationInfo ----

TEST(NavigationInfo, TheBoundOneHoldsItsValuesUnderTheNamesTheViewReads) {
  auto world = ReadWorld("NavigationInfo { type [ \"EXAMINE\" \"ANY\" ] speed 2.5 avatarSize [ 1 3 ] headlight FALSE }");
  CNode* info = world->GetNavigationInfo();
  ASSERT_NE(info, nullptr);
  const auto& type = *static_cast<const MFString*>(info->GetFieldByName("type"));
  ASSERT_EQ(type.count, 2);
  EXPECT_STREQ(type[0].text, "EXAMINE");
  EXPECT_EQ(*static_cast<const float*>(info->GetFieldByName("speed")), 2.5f);
  const auto& avatarSize = *static_cast<const MFFloat*>(info->GetFieldByName("avatarSize"));
  ASSERT_EQ(avatarSize.count, 2);
  EXPECT_EQ(avatarSize[1], 3.0f);
  EXPECT_EQ(*static_cast<const int16_t*>(info->GetFieldByName("headlight")), 0);
}

// ---- Viewpoint ----

class Viewpoint : public RenderedWorld {
 protected:
  CVec3f Position() const { return view.GetPosition(); }
  float Yaw() const {
    float pitch, yaw, roll;
    view.GetOrientation(&pitch, &yaw, &roll);
    return yaw;
  }
};

// The defaults look down -z, from the origin in the system's worlds and
// from 0 0 10 in the standard's.
TEST_F(Viewpoint, ItsFieldsPlaceAndTurnTheCameraWithTheAngleOnTheNarrowSide) {
  for (const auto& [kind, start] : {std::pair{WorldConvention::kSystem, CVec3f{}},
                                    std::pair{WorldConvention::kStandard, CVec3f{0, 0, 10}}}) {
    convention = kind;
    Load("Viewpoint { }", 400, 200);
    EXPECT_NEAR(view.GetFieldOfView(), 0.392699f, kTolerance);
    EXPECT_EQ(Position(), start);
    CVec3f direction = view.GetViewDirection();
    EXPECT_NEAR(direction.x, 0.0f, kTolerance);
    EXPECT_NEAR(direction.z, -1.0f, kTolerance);
    EXPECT_TRUE(view.GetCameraJump().has_value()) << "the view's collision test does not sweep to it";

    Load("Viewpoint { position 1 2 3 orientation 0 1 0 1.5707963 fieldOfView 0.5 }", 100, 200);
    EXPECT_EQ(Position(), (CVec3f{1, 2, 3}));
    EXPECT_NEAR(view.GetFieldOfView(), std::atan(2.0f * std::tan(0.25f)), kTolerance)
        << "the width of a frame higher than wide spans 0.5, so its height spans more";
    direction = view.GetViewDirection();
    EXPECT_NEAR(direction.x, -1.0f, kTolerance) << "a quarter turn about +y looks down -x";
    EXPECT_NEAR(direction.z, 0.0f, kTolerance);
    EXPECT_EQ(view.GetCameraJump(), (CVec3f{1, 2, 3}));
  }
}

// A flat ElevationGrid's top is its front face: seen from above it is drawn,
// from below it is culled.
TEST_F(Viewpoint, LookingStraightDownItSeesTheTopOfAnElevationGrid) {
  const std::string grid =
      " Shape { appearance Appearance { material Material { diffuseColor 1 1 1 } }"
      " geometry ElevationGrid { xDimension 3 zDimension 3 height [ 0 0 0 0 0 0 0 0 0 ] } }";
  Load("Viewpoint { position 1 5 1 orientation 1 0 0 -1.5707963 }" + grid);
  EXPECT_NE(Center(), 0u) << "seen from above";
  Load("Viewpoint { position 1 -5 1 orientation 1 0 0 1.5707963 }" + grid);
  EXPECT_EQ(Center(), 0u) << "seen from below";
}

TEST_F(Viewpoint, WithJumpItsChangesMoveTheCameraByTheirDifferenceKeepingTheViewersWalk) {
  Load("DEF V Viewpoint { position 0 0 10 }");
  view.SetPosition({0, 0, 5}, true);  // the viewer walked 5 units
  Send(Named("V"), "set_position", SFVec3f{0, 0, 9});
  Frame();
  EXPECT_EQ(Position(), (CVec3f{0, 0, 4}));
  Frame();
  EXPECT_EQ(Position(), (CVec3f{0, 0, 4})) << "a change is carried over once";
}

TEST_F(Viewpoint, FieldsBeyondTheFloatRangeLeaveACameraThatFollowsLaterChanges) {
  Load("DEF V Viewpoint { position 1e39 0 0 orientation 0 1 0 1e39 fieldOfView 1e39 }");
  Send(Named("V"), "set_position", SFVec3f{0, 0, 3});
  Send(Named("V"), "set_fieldOfView", 0.5f);
  Frame();
  EXPECT_EQ(Position(), (CVec3f{0, 0, 3}));
  EXPECT_NEAR(view.GetFieldOfView(), 0.25f, kTolerance) << "half the angle in a square frame";
  const CVec3f direction = view.GetViewDirection();
  EXPECT_TRUE(std::isfinite(direction.x) && std::isfinite(direction.y) && std::isfinite(direction.z));
}

TEST_F(Viewpoint, WithoutJumpItsChangesAndItsUnbindingLeaveTheCamera) {
  Load("DEF V Viewpoint { position 0 0 10 jump FALSE }");
  Send(Named("V"), "set_position", SFVec3f{0, 0, 9});
  Frame();
  EXPECT_EQ(Position(), (CVec3f{0, 0, 10}));
  Bind(Named("V"), false);
  Frame();
  EXPECT_EQ(Position(), (CVec3f{0, 0, 10}));
}

// The camera found: the view's own in the system's worlds, the default
// Viewpoint's in the standard's.
TEST_F(Viewpoint, UnbindingTheLastOneGivesBackTheCameraItFound) {
  struct Found {
    WorldConvention convention;
    CVec3f position;
    float yaw;
    float fieldOfView;
  };
  for (const Found& found : {Found{WorldConvention::kSystem, {}, Yaw(), view.GetFieldOfView()},
                             Found{WorldConvention::kStandard, {0, 0, 10}, 3.1415927f, 0.392699f}}) {
    convention = found.convention;
    Load("DEF V Viewpoint { position 0 1 5 fieldOfView 0.3 orientation 1 0 0 0.5 }");
    ASSERT_EQ(Position(), (CVec3f{0, 1, 5}));
    Bind(Named("V"), false);
    Frame();
    EXPECT_EQ(Position(), found.position);
    EXPECT_FLOAT_EQ(Yaw(), found.yaw);
    EXPECT_NEAR(view.GetFieldOfView(), found.fieldOfView, kTolerance);
    view.ResetCamera();
  }
}

// The scene traversal visits every Viewpoint each frame; only the one the
// world hands the frame's pass moves the camera.
TEST_F(Viewpoint, OneBoundBelowTheTopWaitsForItsTurnThoughTheSceneVisitsIt) {
  Load("DEF A Viewpoint { position 1 0 0 } DEF B Viewpoint { position 2 0 0 }");
  Bind(Named("B"), true);
  Bind(Named("A"), true);
  view.SetPosition({0, 0, 5}, true);
  Frame();
  EXPECT_EQ(Position(), (CVec3f{1, 0, 0}));
  Frame();
  EXPECT_EQ(Position(), (CVec3f{1, 0, 0})) << "B's visits in later frames change nothing either";

  Bind(Named("A"), false);
  Frame();
  EXPECT_EQ(Position(), (CVec3f{2, 0, 0})) << "on top, B takes the camera";
}

TEST_F(Viewpoint, IsBoundAndBindTimeGoToEveryViewpointWhoseBindingChangesInOrder) {
  Load("DEF A Viewpoint { } DEF B Viewpoint { }");
  CNodeRef logNode = MakeNode<CBindingLog>();
  auto& log = static_cast<CBindingLog&>(*logNode.Get()).log;
  for (auto [source, prefix] : {std::pair{"A", std::string("a")}, std::pair{"B", std::string("b")}}) {
    ASSERT_TRUE(Named(source).AddRouteToNode("isBound", prefix, logNode.Get()));
    ASSERT_TRUE(Named(source).AddRouteToNode("bindTime", prefix + "Time", logNode.Get()));
  }
  Bind(Named("B"), true);
  EXPECT_EQ(log, (Log{"a=0", "aTime", "b=1", "bTime"}));
  log.clear();
  Bind(Named("B"), true);
  EXPECT_EQ(log, (Log{"b=0", "bTime", "b=1", "bTime"})) << "binding the top again";
  log.clear();
  Bind(Named("A"), false);
  EXPECT_TRUE(log.empty()) << "below the top";
  Bind(Named("A"), true);
  log.clear();
  Bind(Named("A"), false);
  EXPECT_EQ(log, (Log{"a=0", "aTime", "b=1", "bTime"}));
}

// As the scene of an Inline is: nodes of a world of their own, drawn as
// part of the world of the view.
TEST_F(Viewpoint, OneFromAWorldOfItsOwnBindsInTheWorldOfTheViewWhenThatHasNone) {
  auto inner = ReadWorld("Viewpoint { position 0 0 7 } Fog { color 0 0 1 visibilityRange 3 }");
  Read(kRedQuadAt5);
  CNodeRef added[] = {inner->GetRoot()->children[0], inner->GetRoot()->children[1]};
  const MFNode value{2, added};
  ASSERT_EQ(world->GetRoot()->ReceiveEvent("addChildren", &value), 0);
  ASSERT_EQ(world->GetViewpoint(), nullptr) << "bound in its own world while it was read";
  Show();
  EXPECT_EQ(world->GetViewpoint(), added[0].Get()) << "the activation moved the binding";
  EXPECT_EQ(world->GetFog(), added[1].Get());
  EXPECT_EQ(Center(), PixelOf(0, 0, 1));
  EXPECT_EQ(Position(), (CVec3f{0, 0, 7}));

  Bind(*added[0].Get(), false);
  EXPECT_EQ(world->GetViewpoint(), nullptr) << "set_bind goes to the world of the view";
}

// ---- The camera's place in the two conventions ----

// A Z-up world as exporters write it: the floor is the x/y plane, a red box
// stands on it, and the camera looks along +Y with +Z up, once directly and
// once through the exporters' rotated parent Transform. The floor glows: the
// headlight grazes it.
const std::string kZUpWorld =
    "DEF Direct Viewpoint { position 0 -10 2 orientation 1 0 0 1.5708 }\n"
    "DEF Placed Transform { translation 0 -10 2 rotation 1 0 0 1.5708 children DEF Exporter Viewpoint { } }\n"
    "Shape { appearance Appearance { material Material { diffuseColor 0 0.6 0 emissiveColor 0 0.4 0 } }"
    " geometry IndexedFaceSet { solid FALSE coord Coordinate { point [ -8 -2 0, 8 -2 0, 8 14 0, -8 14 0 ] }"
    " coordIndex [ 0 1 2 3 -1 ] } }\n"
    "Transform { translation 0 4 1 children Shape { appearance Appearance { material Material {"
    " diffuseColor 1 0 0 } } geometry Box { size 2 2 2 } } }\n";

// Where pixels of one colour lie in the frame.
struct Extent {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  bool Empty() const { return right < 0; }
  float MiddleX() const { return 0.5f * static_cast<float>(left + right); }
  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
};

class CameraPlace : public Viewpoint {
 protected:
  static constexpr int kWidth = 160;
  static constexpr int kHeight = 120;

  // Reddish or greenish pixels, whatever the light.
  Extent Measure(bool red) const {
    Extent e;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        const uint32_t p = Pixel(x, y);
        const int r = static_cast<int>(p >> 16 & 0xFF), g = static_cast<int>(p >> 8 & 0xFF);
        const int b = static_cast<int>(p & 0xFF);
        const bool match = red ? r > 40 && r > 2 * g && r > 2 * b : g > 20 && g > 2 * r && g > 2 * b;
        if (!match) continue;
        e.left = std::min(e.left, x);
        e.right = std::max(e.right, x);
        e.top = std::min(e.top, y);
        e.bottom = std::max(e.bottom, y);
      }
    }
    return e;
  }
  // The box in the middle, standing on the floor: the floor reaches lower in
  // the frame than the box and nowhere above it.
  void ExpectUprightBoxOnTheFloor(const char* through) const {
    const Extent box = Measure(true), floor = Measure(false);
    ASSERT_FALSE(box.Empty()) << through;
    ASSERT_FALSE(floor.Empty()) << through;
    EXPECT_NEAR(box.MiddleX(), kWidth / 2.0f, 1.5f) << through;
    EXPECT_GT(floor.bottom, box.bottom) << through;
    EXPECT_GE(floor.top, box.top) << through;
  }
};

TEST_F(CameraPlace, AZUpWorldShowsItsBoxUprightThroughBothViewpoints) {
  Load(kZUpWorld, kWidth, kHeight);
  ExpectUprightBoxOnTheFloor("the direct Viewpoint");
  const int nearWidth = Measure(true).Width();

  Bind(Named("Exporter"), true);
  Frame();
  ExpectUprightBoxOnTheFloor("the Viewpoint under the rotated Transform");
  const CVec3f p = Position();
  EXPECT_NEAR(p.x, 0.0f, 1e-4f);
  EXPECT_NEAR(p.y, -20.0f, 1e-4f) << "its default position 0 0 10 turned and moved with its parents";
  EXPECT_NEAR(p.z, 2.0f, 1e-3f);
  EXPECT_LT(Measure(true).Width(), nearWidth) << "from ten units further back";
}

// As the system's worlds draw it: the direction alone is turned, the roll
// stays the camera's, so the floor lies above the box; through the Transform
// the camera stays at the origin looking along -Z, at nothing.
TEST_F(CameraPlace, ASystemCopyOfTheZUpWorldDrawsAsTheSystemAlwaysDid) {
  convention = WorldConvention::kSystem;
  Load(kZUpWorld, kWidth, kHeight);
  const Extent box = Measure(true), floor = Measure(false);
  ASSERT_FALSE(box.Empty());
  EXPECT_LT(floor.top, box.top) << "upside down";

  Bind(Named("Exporter"), true);
  Frame();
  EXPECT_EQ(Position(), CVec3f{});
  EXPECT_TRUE(Measure(true).Empty() && Measure(false).Empty());
}

// A quarter roll turns a tall bar on its side in the standard's worlds; the
// system's keep the camera's own roll.
TEST_F(CameraPlace, ARollOfTheOrientationIsKeptInTheStandardsWorldsOnly) {
  const std::string rolled =
      "Viewpoint { position 0 0 0 orientation 0 0 1 1.5708 }"
      "Transform { translation 0 0 -8 children Shape { appearance Appearance { material Material {"
      " diffuseColor 1 0 0 } } geometry Box { size 0.5 3 0.5 } } }";
  Load(rolled, kWidth, kHeight);
  Extent bar = Measure(true);
  EXPECT_GT(bar.Width(), 2 * bar.Height()) << "lying";
  float pitch, yaw, roll;
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_NEAR(std::fabs(roll), 1.5708f, 1e-3f);

  convention = WorldConvention::kSystem;
  view.ResetCamera();
  Load(rolled, kWidth, kHeight);
  bar = Measure(true);
  EXPECT_GT(bar.Height(), 2 * bar.Width()) << "standing";
}

// The bound camera rides along with moving parents, keeping the viewer's
// own moves, in the standard's worlds; the system's take no notice.
TEST_F(CameraPlace, ACameraUnderMovingParentsMovesWithThemInTheStandardsWorlds) {
  const std::string riding = "DEF T Transform { children Viewpoint { position 0 0 0 } }" + kRedQuadAt5;
  for (const auto& [kind, moved] : {std::pair{WorldConvention::kStandard, CVec3f{2, 0, 1}},
                                    std::pair{WorldConvention::kSystem, CVec3f{0, 0, 1}}}) {
    convention = kind;
    view.ResetCamera();
    Load(riding);
    view.SetPosition({0, 0, 1}, true);  // the viewer stepped back
    Send(Named("T"), "set_translation", SFVec3f{2, 0, 0});
    Frame();
    Frame();
    EXPECT_EQ(Position(), moved);
  }
}

}  // namespace
}  // namespace vx::test
