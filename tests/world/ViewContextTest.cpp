#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "WorldTestNodes.h"
#include "platform/HeadlessBackend.h"

namespace vx {
namespace {

using test::Bindable;
using test::MakeBindable;
using test::TestFrame;

void ExpectNear(const CVec3f& a, const CVec3f& b) {
  EXPECT_NEAR(a.x, b.x, 1e-5f);
  EXPECT_NEAR(a.y, b.y, 1e-5f);
  EXPECT_NEAR(a.z, b.z, 1e-5f);
}

struct HeadlessView : test::HeadlessView {
  HeadlessView() : test::HeadlessView(64, 32) {}
};

TEST(ViewContextCamera, StartsLookingDownTheNegativeZAxis) {
  HeadlessView h;
  float pitch, yaw, roll;
  h.view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_EQ(pitch, 0.0f);
  EXPECT_EQ(yaw, 3.14f);
  EXPECT_EQ(roll, 0.0f);
  EXPECT_EQ(h.view.GetFieldOfView(), 0.4363323f);
  EXPECT_EQ(h.view.GetPosition(), CVec3f());
  ExpectNear(h.view.GetViewDirection(), {-std::sin(3.14f), 0.0f, std::cos(3.14f)});
}

TEST(ViewContextCamera, FieldOfViewIsClampedAndAnUnusableOneKeepsTheLastApplied) {
  HeadlessView h;
  h.view.SetFieldOfView(1.5f, false);
  EXPECT_EQ(h.view.GetFieldOfView(), 1.5f) << "requested until applied";
  h.view.BeginFrame();
  EXPECT_EQ(h.view.GetFieldOfView(), 1.2f);
  EXPECT_EQ(h.view.GetAppliedFieldOfView(), 1.2f);
  for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
    h.view.SetFieldOfView(bad, true);
    EXPECT_EQ(h.view.GetAppliedFieldOfView(), 1.2f);
    EXPECT_TRUE(std::isfinite(h.view.GetCameraMatrix()[0]));
  }
}

// In the system's worlds; the standard's keep the eye at the position.
TEST(ViewContextCamera, ExamineModeStandsTheEyeBackByTheMeanAvatarSize) {
  HeadlessView h;
  CBrowser world(WorldConvention::kSystem);
  h.view.AttachBrowser(&world);
  CNodeRef navigation = MakeBindable(NodeTypeNavigationInfo, "nav");
  SFString examine{};
  std::snprintf(examine.text, sizeof examine.text, "EXAMINE");
  Bindable(navigation).navigationType = {1, &examine};
  world.BindNavigationInfo(navigation.Get(), true);
  const CVec3f position{1.0f, 2.0f, 3.0f};
  h.view.SetOrientation(0.0f, 3.1415927f, 0.0f, false);
  h.view.SetPosition(position, true);
  // No avatarSize: 2 units.
  ExpectNear(h.view.GetStage()->eye, position - 2.0f * h.view.GetViewDirection());

  float sizes[] = {1.0f, 5.0f};
  Bindable(navigation).avatarSize = {2, sizes};
  h.view.ApplyCamera();
  ExpectNear(h.view.GetStage()->eye, position - 3.0f * h.view.GetViewDirection());
  EXPECT_EQ(h.view.GetAppliedPosition(), position) << "the position stays the point examined";

  // The test owns the lists; the node must not free them.
  Bindable(navigation).navigationType = {};
  Bindable(navigation).avatarSize = {};
}

TEST(ViewContextCamera, AttachingAWorldOfTheSystemsConventionTakesTheRequestedCameraAsItIs) {
  HeadlessView h;
  h.view.SetFieldOfView(1.5f, false);
  CBrowser world(WorldConvention::kSystem);
  h.view.AttachBrowser(&world);
  EXPECT_EQ(h.view.GetAppliedFieldOfView(), 1.5f) << "no clamp on attaching";
  EXPECT_EQ(h.view.GetWorld(), &world);
}

// Where a default Viewpoint puts it: at 0 0 10 looking along -Z, 45 degrees
// across the narrow side of the 64 x 32 frame.
TEST(ViewContextCamera, AWorldOfTheStandardsConventionStartsAtItsDefaultViewpoint) {
  HeadlessView h;
  h.view.SetPosition({1.0f, 2.0f, 3.0f}, false);
  h.view.SetOrientation(0.5f, 0.0f, 0.2f, true);
  CBrowser world(WorldConvention::kStandard);
  h.view.AttachBrowser(&world);
  EXPECT_EQ(h.view.GetAppliedPosition(), CVec3f(0.0f, 0.0f, 10.0f));
  float pitch, yaw, roll;
  h.view.GetAppliedOrientation(&pitch, &yaw, &roll);
  EXPECT_EQ(pitch, 0.0f);
  EXPECT_FLOAT_EQ(yaw, 3.1415927f);
  EXPECT_EQ(roll, 0.0f);
  EXPECT_NEAR(h.view.GetAppliedFieldOfView(), 0.392699f, 1e-6f);
  h.view.BeginFrame();
  ExpectNear(h.view.GetViewDirection(), CVec3f(0.0f, 0.0f, -1.0f));
}

TEST(ViewContextMatrices, PopOnAnEmptyStackStaysEmptyAndApplySetsTheIdentity) {
  HeadlessView h;
  h.view.PopMatrix();
  EXPECT_EQ(h.view.GetMatrixTop(), -1);
  h.view.Translate({1.0f, 2.0f, 3.0f});
  CVec3f p{1.0f, 1.0f, 1.0f};
  h.view.TransformPoint(p);
  EXPECT_EQ(p, CVec3f(1.0f, 1.0f, 1.0f)) << "nothing to transform with";
  h.view.ApplyMatrix();
  EXPECT_EQ(h.view.GetStage()->ModelMatrix(), CMatrix4());
}

TEST(ViewContextMatrices, PushCopiesTheTopAndOperationsApplyBeforeIt) {
  HeadlessView h;
  h.view.PushMatrix();
  h.view.Translate({10.0f, 0.0f, 0.0f});
  h.view.PushMatrix();
  h.view.Scale({2.0f, 2.0f, 2.0f});
  CVec3f p{1.0f, 0.0f, 0.0f};
  h.view.TransformPoint(p);
  EXPECT_EQ(p, CVec3f(12.0f, 0.0f, 0.0f)) << "scaled in the child's space, then moved";
  h.view.PopMatrix();
  h.view.Rotate({0.0f, 0.0f, 1.0f, 1.5707964f});
  p = {1.0f, 0.0f, 0.0f};
  h.view.TransformPoint(p);
  ExpectNear(p, {10.0f, 1.0f, 0.0f});
}

TEST(ViewContextMatrices, NestingDeeperThanEightGrowsAndPastTheLimitStaysBalanced) {
  HeadlessView h;
  for (int i = 0; i < 20; ++i) {
    h.view.PushMatrix();
    h.view.Translate({1.0f, 0.0f, 0.0f});
  }
  CVec3f p;
  h.view.TransformPoint(p);
  EXPECT_EQ(p.x, 20.0f);
  for (int i = 0; i < 20; ++i) h.view.PopMatrix();
  EXPECT_EQ(h.view.GetMatrixTop(), -1);

  h.view.PushMatrix();
  h.view.Translate({1.0f, 0.0f, 0.0f});
  for (int i = 1; i < kMaxMatrixDepth + 5; ++i) h.view.PushMatrix();
  EXPECT_EQ(h.view.GetMatrixTop(), kMaxMatrixDepth - 1);
  for (int i = 1; i < kMaxMatrixDepth + 5; ++i) h.view.PopMatrix();
  EXPECT_EQ(h.view.GetMatrixTop(), 0) << "refused pushes are matched by their pops";
  p = {};
  h.view.TransformPoint(p);
  EXPECT_EQ(p.x, 1.0f);
}

TEST(ViewContextPicks, TheNearestHitWinsAndTheLaterOfEqualDepths) {
  HeadlessView h;
  h.view.BeginFrame();
  CNodeRef a = MakeBindable(NodeTypeBase, "a"), b = MakeBindable(NodeTypeBase, "b");
  h.view.AddPointerTarget(a.Get(), 0);
  h.view.RecordHit(a.Get(), 100, {1, 2}, 0);
  h.view.RecordHit(b.Get(), 100, {3, 4}, 0);
  h.view.RecordHit(a.Get(), 200, {5, 6}, 0);
  EXPECT_EQ(h.view.GetPointerTargets(), std::vector<CNode*>{b.Get()});
  EXPECT_EQ(h.view.GetHitPoint(), (std::array<int32_t, 2>{3, 4}));
  h.view.AddPointerTarget(a.Get(), 1);
  EXPECT_EQ(h.view.GetPointerTargets().size(), 1u) << "no fallback once something is picked";
  h.view.RecordHit(a.Get(), 100, {0, 0}, kMaxPickedNodes);
  EXPECT_EQ(h.view.GetPointerTargets().size(), 1u) << "an index past the list is ignored";

  h.view.DispatchPointer();
  EXPECT_EQ(Bindable(a).overCount, 0);
  EXPECT_EQ(Bindable(b).overCount, 1);
}

TEST(ViewContextPicks, WithNothingPickedTheBoundVistaGetsThePointerWhateverTheDepth) {
  HeadlessView h;
  CBrowser world;
  h.view.AttachBrowser(&world);
  CNodeRef vista = MakeBindable(NodeTypeVista, "vista");
  world.BindVista(vista.Get(), &h.view);
  h.view.BeginFrame();
  EXPECT_EQ(h.view.GetPointerTargets(), std::vector<CNode*>{vista.Get()});
  Bindable(vista).pick.depth = 12345.0f;
  h.view.DispatchPointer();
  EXPECT_EQ(Bindable(vista).overCount, 1);
}

TEST(ViewContextPicks, ANodeDeletedAfterItsPickIsNeverReached) {
  HeadlessView h;
  h.view.BeginFrame();
  CNodeRef node = MakeBindable(NodeTypeBase, "gone");
  h.view.RecordHit(node.Get(), 10, {0, 0}, 0);
  node = CNodeRef();
  EXPECT_EQ(h.view.GetPointerTargets(), std::vector<CNode*>{nullptr});
  h.view.DispatchPointer();
}

TEST(ViewContextFrame, ClearFrameWritesBlackInEveryPixelForm) {
  CViewContext view(WindowHandle::None, 0);
  for (int bytes : {1, 2, 4}) {
    TestFrame frame(5, 3, bytes, 0x77);
    view.SetFrameBuffer(frame.map);
    view.ClearFrame();
    uint8_t black = 0;
    if (bytes == 1) ColorToPixelValues({}, view.GetInverseColorMap(), nullptr, nullptr, &black);
    for (uint8_t b : frame.pixels) EXPECT_EQ(b, black) << bytes << " bytes per pixel";
  }
}

TEST(ViewContextFrame, HeadlightFollowsTheViewAndIsOffForLegacyPanoramas) {
  HeadlessView h;
  CBrowser world;
  h.view.AttachBrowser(&world);
  h.view.BeginFrame();
  const LightRecord* headlight = h.view.GetStage()->Light(1);
  ASSERT_NE(headlight, nullptr);
  EXPECT_EQ(headlight->on, 1);
  ExpectNear(headlight->direction, h.view.GetViewDirection() * -1.0f);
  EXPECT_EQ(h.view.GetStage()->Light(0)->type, kAmbientLight);
  world.SetLegacyPanorama(true);
  h.view.BeginFrame();
  EXPECT_EQ(h.view.GetStage()->Light(1)->on, 0);
}

TEST(ViewContextFrame, ColorDepthIsAtLeastEightCountsTwentyFourAsThirtyTwoAndIsAskedOnce) {
  struct Case {
    int screen, reported;
  };
  for (const Case c : {Case{4, 8}, Case{24, 32}, Case{16, 16}}) {
    Headless().SetScreenDepth(c.screen);
    CViewContext view(WindowHandle::None, 0);
    EXPECT_EQ(view.GetColorDepth(), c.reported) << c.screen;
    Headless().SetScreenDepth(32);
    EXPECT_EQ(view.GetColorDepth(), c.reported) << "cached";
  }
  Headless().Reset();
}

}  // namespace
}  // namespace vx
