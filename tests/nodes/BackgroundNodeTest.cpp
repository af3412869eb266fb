// The Background node: its sky and ground band rows, binding and unbinding,
// one Background taking over from another, and the camera under a turned
// Background.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "EventRecorder.h"
#include "NodeTestSupport.h"
#include "RenderedWorld.h"
#include "engine/pano/nodes/BackgroundNode.h"

namespace vx::test {
namespace {

constexpr int kRows = 256;
constexpr int kColumns = 4;

struct Channels {
  int r, g, b;
};

Channels ChannelsOf(uint32_t pixel) {
  return {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF), static_cast<int>(pixel & 0xFF)};
}

// A 32-bit picture of band rows; each row is one colour.
class BandRows {
 public:
  explicit BandRows(const BackgroundBands& bands, bool cube = false, int rows = kRows)
      : pixels_(static_cast<size_t>(kColumns * rows), 0x00ABCDEFu) {
    PaintBackgroundBands(FrameOver(pixels_, kColumns, rows), bands, cube, nullptr);
  }
  Channels Row(int y) const { return ChannelsOf(pixels_[static_cast<size_t>(y * kColumns)]); }
  bool AllBlack() const {
    for (uint32_t p : pixels_) {
      if ((p & 0xFFFFFF) != 0) return false;
    }
    return true;
  }

 private:
  std::vector<uint32_t> pixels_;
};

const SFColor kBlue{0, 0, 1};
const SFColor kWhite{1, 1, 1};
const SFColor kRed{1, 0, 0};
const SFColor kGreen{0, 1, 0};
const SFColor kBlack{0, 0, 0};

TEST(BackgroundBands, BlueToWhiteSkyDownToTheHorizonOverBlackGround) {
  const SFColor sky[] = {kBlue, kWhite};
  const float skyAngle[] = {1.57f};
  const SFColor ground[] = {kBlack};
  const BandRows rows({sky, skyAngle, ground, {}});
  const Channels top = rows.Row(0);
  EXPECT_GT(top.b, 240);
  EXPECT_LT(top.r, 8);
  const Channels quarter = rows.Row(kRows / 4);
  EXPECT_GT(quarter.r, 100);
  EXPECT_LT(quarter.r, 160);
  EXPECT_GT(quarter.b, 240);
  const Channels nearHorizon = rows.Row(kRows / 2 - 2);
  EXPECT_GT(nearHorizon.r, 240);
  EXPECT_GT(nearHorizon.g, 240);
  for (int y = kRows / 2; y < kRows; ++y) {
    const Channels ground = rows.Row(y);
    ASSERT_EQ(ground.r + ground.g + ground.b, 0) << "row " << y;
  }
}

TEST(BackgroundBands, GroundRampsFromTheNadirAndItsLastColourReachesTheHorizon) {
  const SFColor sky[] = {kBlue};
  const SFColor ground[] = {kRed, kGreen};
  const float groundAngle[] = {0.5f};
  const BandRows rows({sky, {}, ground, groundAngle});
  EXPECT_GT(rows.Row(kRows - 1).r, 230);
  const int rampTop = static_cast<int>((std::numbers::pi_v<float> - 0.5f) / std::numbers::pi_v<float> * kRows);
  EXPECT_GT(rows.Row(rampTop + 1).g, 230);
  EXPECT_GT(rows.Row(kRows / 2 + 1).g, 240);
  EXPECT_EQ(rows.Row(kRows / 2 + 1).b, 0);
  EXPECT_GT(rows.Row(kRows / 2 - 1).b, 240);
}

// The standard's rule: above the last ground angle the sky shows, and a
// ground of no colours is no ground; the system's lists stay invalid.
TEST(BackgroundBands, InTheStandardsWorldsTheGroundEndsAtItsLastAngle) {
  const SFColor sky[] = {kBlue};
  const SFColor ground[] = {kRed, kGreen};
  const float groundAngle[] = {0.5f};
  const BandRows rows({sky, {}, ground, groundAngle, false});
  const int rampTop = static_cast<int>((std::numbers::pi_v<float> - 0.5f) / std::numbers::pi_v<float> * kRows);
  EXPECT_GT(rows.Row(kRows - 1).r, 230);
  EXPECT_GT(rows.Row(rampTop + 1).g, 230);
  EXPECT_GT(rows.Row(rampTop - 1).b, 240) << "the sky above the ground's last angle";
  EXPECT_GT(rows.Row(kRows / 2 + 1).b, 240);

  const SFColor oneBlack[] = {kBlack};
  for (const BandRows& noGround : {BandRows({sky, {}, {}, {}, false}), BandRows({sky, {}, oneBlack, {}, false})}) {
    for (int y : {0, kRows / 2 + 1, kRows - 1}) EXPECT_GT(noGround.Row(y).b, 240) << "row " << y;
  }
  EXPECT_TRUE(BandRows({sky, {}, {}, {}, true}).AllBlack());
}

TEST(BackgroundBands, InvalidBandsPaintBlack) {
  const SFColor twoColours[] = {kBlue, kWhite};
  const SFColor one[] = {kBlack};
  EXPECT_TRUE(BandRows({twoColours, {}, one, {}}).AllBlack());
  const float falling[] = {1.0f, 0.5f};
  const SFColor three[] = {kBlue, kWhite, kRed};
  EXPECT_TRUE(BandRows({three, falling, one, {}}).AllBlack());
}

TEST(BackgroundBands, BandsPastTheZenithOrNadirAreCutWithTheirColourThere) {
  const SFColor sky[] = {kBlue, kWhite, kRed};
  const float skyAngle[] = {-2.0f, 9.0f};
  const SFColor ground[] = {kRed, kGreen};
  const float groundAngle[] = {40.0f};
  // The white-to-red ramp from -2 to 9 starts at the zenith two elevenths on.
  const SFColor blackGround[] = {kBlack};
  const Channels top = BandRows({sky, skyAngle, blackGround, {}}).Row(0);
  EXPECT_GT(top.r, 245);
  EXPECT_NEAR(top.g, 255 * 9 / 11, 6);
  // The ground band reaching past the zenith covers the whole picture.
  const Channels zenith = BandRows({sky, skyAngle, ground, groundAngle}).Row(0);
  EXPECT_GT(zenith.g, 0);
  // Pictures of every height, in both layouts, are painted only inside.
  for (int height : {1, 2, 3, 7, kRows}) {
    EXPECT_NE(BandRows({sky, skyAngle, ground, groundAngle}, false, height).Row(height - 1).r +
                  BandRows({sky, skyAngle, ground, groundAngle}, true, height).Row(0).g,
              -1);
  }
}

class BackgroundWorld : public RenderedWorld {
 protected:
  CBackgroundNode& Background(const char* name) { return static_cast<CBackgroundNode&>(Named(name)); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  static void SetBind(CNode& node, bool on) {
    const int16_t value = on ? 1 : 0;
    node.ReceiveEvent("set_bind", &value);
  }
};

TEST_F(BackgroundWorld, DefaultBackgroundFallsBackToBlackSphere) {
  Load("Background {}");
  Frames(2);
  CBackgroundNode& background = TopNode<CBackgroundNode>(*world);
  EXPECT_TRUE(background.IsBound());
  EXPECT_EQ(background.GetProjection(), BackgroundProjection::kSphere);
  ASSERT_NE(background.GetPanoramaPicture().bits, nullptr);
  EXPECT_EQ(background.GetPanoramaPicture().width, 512);
  EXPECT_EQ(background.GetPanoramaPicture().height, 256);
  EXPECT_EQ(Center() & 0xFFFFFF, 0u);
}

TEST_F(BackgroundWorld, BindsFromTheFileAndUnbindsOnRequest) {
  Read("DEF B Background { skyColor 0 0 1 groundColor [ 0 1 0, 0 1 0 ] groundAngle 1.5708 }");
  CNodeRef recorder = RecordInto(Named("B"), "isBound", "flag");
  Show();
  Frames(2);
  EXPECT_TRUE(Background("B").IsBound());
  EXPECT_EQ(world->GetBackground(), &Named("B"));
  EXPECT_EQ(As<CEventRecorder>(recorder).flag, 1);
  EXPECT_GT(ChannelsOf(Pixel(32, 2)).b, 200);
  EXPECT_GT(ChannelsOf(Pixel(32, 61)).g, 200);

  SetBind(Named("B"), false);
  Frames(2);
  EXPECT_FALSE(Background("B").IsBound());
  EXPECT_EQ(world->GetBackground(), nullptr);
  EXPECT_EQ(As<CEventRecorder>(recorder).flag, 0);
  EXPECT_EQ(Background("B").GetPanoramaPicture().bits, nullptr);
  EXPECT_EQ(Pixel(32, 2) & 0xFFFFFF, 0u);

  SetBind(Named("B"), true);
  Frames(2);
  EXPECT_TRUE(Background("B").IsBound());
  EXPECT_GT(ChannelsOf(Pixel(32, 2)).b, 200);
}

// The second takes over the first one's panorama; the first lets its picture
// go at once, and the panorama must not read it any more.
TEST_F(BackgroundWorld, SecondBackgroundTakesOverAndTheFirstUnbinds) {
  Load("DEF A Background { skyColor 0 0 1 groundColor 0 0 1 } DEF B Background { skyColor 1 0 0 groundColor 1 0 0 }");
  Frames(2);
  EXPECT_TRUE(Background("A").IsBound());
  EXPECT_FALSE(Background("B").IsBound());
  EXPECT_GT(ChannelsOf(Center()).b, 200);

  SetBind(Named("B"), true);
  Frames(3);
  EXPECT_FALSE(Background("A").IsBound());
  EXPECT_EQ(Background("A").GetPanoramaPicture().bits, nullptr);
  EXPECT_TRUE(Background("B").IsBound());
  EXPECT_EQ(world->GetBackground(), &Named("B"));
  const Channels centre = ChannelsOf(Center());
  EXPECT_GT(centre.r, 200);
  EXPECT_LT(centre.b, 20);

  SetBind(Named("A"), true);
  Frames(3);
  EXPECT_FALSE(Background("B").IsBound());
  EXPECT_GT(ChannelsOf(Center()).b, 200);
}

TEST_F(BackgroundWorld, TurnedBackgroundLeavesTheCameraYawAlone) {
  Load("Transform { rotation 0 1 0 0.7 children Background { skyColor 0 0 1 } }");
  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  Frames(10);
  float pitchAfter = 0, yawAfter = 0, rollAfter = 0;
  view.GetOrientation(&pitchAfter, &yawAfter, &rollAfter);
  const float turned = std::remainder(yawAfter - yaw, 2 * std::numbers::pi_v<float>);
  EXPECT_NEAR(turned, 0.0f, 1e-4f);
  EXPECT_NEAR(pitchAfter, pitch, 1e-4f);
}

// The renderers read past the picture's first and last rows at the poles.
TEST_F(BackgroundWorld, LookingStraightUpOrDownStaysInsideThePicture) {
  Load("Background { skyColor [ 0 0 1, 1 1 1 ] skyAngle 1.5 groundColor [ 0 1 0, 1 0 0 ] groundAngle 1.5 }");
  for (const float pitch : {-1.5707f, 1.5707f, -1.2f}) {
    view.SetOrientation(pitch, 0.4f, 0, true);
    Frames(2);
  }
  EXPECT_GT(ChannelsOf(Center()).g, 100) << "the ground's first colour below";
}

// In the system's worlds the bound one holds the camera level; one that is
// not bound draws nothing and leaves the camera as it is.
TEST_F(BackgroundWorld, OnlyTheBoundBackgroundLevelsTheCamera) {
  convention = WorldConvention::kSystem;
  Load("DEF A Background {} DEF B Background {}");
  Frames(2);
  view.SetOrientation(0.1f, 0.2f, 0.3f, false);
  Background("A").Traverse(RenderPass::Frame, &view);
  Background("B").Traverse(RenderPass::Frame, &view);
  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_FLOAT_EQ(roll, 0.0f);
  SetBind(Named("A"), false);
  Frames(1);
  view.SetOrientation(0.1f, 0.2f, 0.3f, false);
  Background("B").Traverse(RenderPass::Frame, &view);
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_FLOAT_EQ(roll, 0.3f);
}

// The sky fills the frame down to where the ground's last angle ends it,
// 21 degrees below the horizon; the system's worlds carry the ground up to
// the horizon.
TEST_F(BackgroundWorld, TheGroundEndsAtItsLastAngleInTheStandardsWorldsOnly) {
  const std::string horizon =
      "Background { skyColor [ 0 0 1, 0 0 0 ] skyAngle [ 0.7142 ] groundColor [ 1 0 0, 1 0 1 ] groundAngle [ 1.2 ] }";
  Load(horizon, 160, 120);
  Frames(2);
  EXPECT_EQ(Pixel(80, 90) & 0xFFFFFF, 0u) << "the black sky half way down the lower half";
  const Channels rim = ChannelsOf(Pixel(80, 119));
  EXPECT_GT(rim.r, 200);
  EXPECT_GT(rim.b, 200);

  convention = WorldConvention::kSystem;
  Load(horizon, 160, 120);
  Frames(2);
  const Channels ground = ChannelsOf(Pixel(80, 90));
  EXPECT_GT(ground.r, 200);
  EXPECT_GT(ground.b, 200);
}

// Bands from red at the zenith to blue at the nadir, turned a quarter about
// X as Z-up exporters turn their sky: looking along -Z sees the nadir's blue.
// The picture follows a turn set later, and in both conventions.
TEST_F(BackgroundWorld, ItTurnsWithItsParentsAnimatedOrNot) {
  const std::string turned =
      "DEF T Transform { rotation 1 0 0 1.5708 children Background { skyColor [ 1 0 0, 1 1 0, 0 1 0, 0 0 1 ]"
      " skyAngle [ 0.8, 2, 2.5 ] groundColor [ 0 0 1, 0 0 1 ] groundAngle [ 0.64 ] } }";
  for (const WorldConvention kind : {WorldConvention::kStandard, WorldConvention::kSystem}) {
    convention = kind;
    view.ResetCamera();
    Load(turned);
    Frames(2);
    Channels centre = ChannelsOf(Center());
    EXPECT_GT(centre.b, 200);
    EXPECT_LT(centre.r + centre.g, 40);

    SFRotation upsideDown{1, 0, 0, -1.5708f};
    ASSERT_EQ(Named("T").ReceiveEvent("set_rotation", &upsideDown), 0);
    Frames(2);
    centre = ChannelsOf(Center());
    EXPECT_GT(centre.r, 200) << "the zenith's red ahead now";
    EXPECT_LT(centre.g + centre.b, 40);
  }
}

// A bound Background in a choice the Switch does not show is drawn all the
// same; the first one read there is bound by the reader.
TEST_F(BackgroundWorld, OneInAChoiceTheSwitchDoesNotShowIsDrawn) {
  Load("Switch { whichChoice -1 choice [ DEF B Background { skyColor 1 0 0 groundColor [] } ] }");
  EXPECT_TRUE(Background("B").IsBound());
  EXPECT_EQ(world->GetBackground(), &Named("B"));
  EXPECT_TRUE(PixelsNear(Center(), 0x00FF0000u)) << "in the first frame";
}

// In the standard's worlds the Background is drawn behind whatever camera
// the world has: it neither levels it nor stops it short of the zenith.
TEST_F(BackgroundWorld, InTheStandardsWorldsItNeverMovesTheCamera) {
  Load("Background { skyColor 0 0 1 }");
  Frames(2);
  view.SetOrientation(1.5707963f, 0.2f, 0.3f, false);
  Frames(2);
  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  EXPECT_FLOAT_EQ(pitch, 1.5707963f);
  EXPECT_FLOAT_EQ(yaw, 0.2f);
  EXPECT_FLOAT_EQ(roll, 0.3f);
  EXPECT_GT(ChannelsOf(Center()).b, 200);
}

// The panorama refuses a frame this small (its table cannot hold the view):
// the frame is cleared, not left as it was, since the world does not clear
// behind a bound Background.
TEST_F(BackgroundWorld, AFrameThePanoramaCannotDrawIsCleared) {
  Read("Background { skyColor 0 0 1 }", 8, 8);
  const PixelMap frame = view.GetFrameBuffer();
  for (int y = 0; y < frame.height; ++y) std::fill_n(reinterpret_cast<uint32_t*>(frame.Row(y)), frame.width, 0xABCDEFu);
  Show();
  for (const uint32_t pixel : Pixels()) ASSERT_EQ(pixel & 0xFFFFFF, 0u);
}

}  // namespace
}  // namespace vx::test
