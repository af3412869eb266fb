// The version-1.5 Vista in a headless view: binding and its reports to the
// host, hand-over, ranges and zoom, the picture and its fall-back to the
// sky, stereo, the still frame and the hot-spot markers.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "VistaTestSupport.h"
#include "engine/media/panorama/RowTable.h"
#include "engine/pano/PanoLimits.h"
#include "engine/pano/PanoWarper.h"
#include "platform/Clock.h"
#include "tests/media/RicTestFiles.h"
#include "tests/media/MovieTestFiles.h"
#include "tests/nodes/EventRecorder.h"

namespace vx::test {
namespace {

constexpr float kTurn = 2 * std::numbers::pi_v<float>;
constexpr uint32_t kPlaceholderGrey = 0x808080;

// The yaw that looks at the middle of a stripe of StripedPanorama.
float YawOfStripe(int stripe) { return (stripe + 0.5f) / 8 * kTurn; }

bool HasRed(const std::vector<uint32_t>& pixels) {
  for (uint32_t p : pixels)
    if ((p & 0xFFFFFF) == 0xFF0000) return true;
  return false;
}

class VistaTest : public VistaWorldTest {};

TEST_F(VistaTest, PictureIsDrawnAndTheClickPointIsThePictureUnderThePointer) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load(VistaPrototype() + "DEF V Vista { texture ImageTexture { url \"stripes.jpg\" } }");
  CVistaNode& vista = Vista("V");
  CNodeRef clicks = RecordInto(vista, "clickPt", "vec2");
  ASSERT_TRUE(vista.IsBound());
  LookAt(0, YawOfStripe(4));
  EXPECT_EQ(StripeOf(Center()), 4);
  EXPECT_EQ(StripeOf(Pixel(2, kVistaFrameHeight / 2)), 3) << "the stripe to the left";

  view->SetHostPointer(kVistaFrameWidth / 2, kVistaFrameHeight / 2);
  Ticks(1);
  view->MouseDown();
  view->MouseUp();
  const SFVec2f clicked = As<CEventRecorder>(clicks).vec2;
  EXPECT_NEAR(clicked.x, 4.5f / 8, 0.02f);
  EXPECT_NEAR(clicked.y, 0.5f, 0.02f);
  EXPECT_EQ(clicked.x, vista.GetPointerPoint().x);
}

TEST_F(VistaTest, BindingAndUnbindingReachTheHostTheWorldAndIsBound) {
  Load(VistaPrototype() + "DEF V Vista { }");
  CVistaNode& vista = Vista("V");
  CNodeRef bound = RecordInto(vista, "isBound", "flag");
  EXPECT_TRUE(vista.IsBound());
  EXPECT_EQ(world.GetVista(), &vista);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], std::make_pair(int32_t{ViewEventVistaBound}, std::string("V")));
  // No colours: the grey placeholder on the 512 x 256 sky.
  ASSERT_NE(vista.GetSkyImage(), nullptr);
  const PixelMap sky = PictureBetweenGuards(vista.GetSkyImage()->GetPixelMap());
  EXPECT_EQ(sky.width, 512);
  EXPECT_EQ(sky.height, 256);
  EXPECT_EQ(Center(), kPlaceholderGrey);

  SetBind(vista, true);
  Ticks(1);
  EXPECT_EQ(events.size(), 1u) << "binding a bound node changes nothing";

  SetBind(vista, false);
  Ticks(2);
  EXPECT_FALSE(vista.IsBound());
  EXPECT_EQ(world.GetVista(), nullptr);
  EXPECT_EQ(As<CEventRecorder>(bound).flag, 0);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1], std::make_pair(int32_t{ViewEventVistaUnbound}, std::string("V")));
  EXPECT_EQ(vista.GetSkyImage(), nullptr);
  EXPECT_EQ(Center(), 0u) << "nothing is bound: the frame is cleared";
  SetBind(vista, false);
  Ticks(1);
  EXPECT_EQ(events.size(), 2u);
}

TEST_F(VistaTest, ASecondVistaTakesOverTheContextOnlyWithTheSameProjectionAndExtents) {
  Load(VistaPrototype() + "DEF A Vista { } DEF B Vista { } DEF C Vista { type \"CYLINDER\" }");
  PanoContext* first = Vista("A").GetPanoContext();
  ASSERT_NE(first, nullptr);
  SetBind(Vista("B"), true);
  Ticks(2);
  EXPECT_FALSE(Vista("A").IsBound());
  EXPECT_TRUE(Vista("B").IsBound());
  EXPECT_EQ(Vista("A").GetPanoContext(), nullptr);
  EXPECT_EQ(Vista("B").GetPanoContext(), first);
  EXPECT_EQ(world.GetVista(), &Named("B"));

  SetBind(Vista("C"), true);
  Ticks(2);
  EXPECT_EQ(Vista("B").GetPanoContext(), nullptr);
  ASSERT_NE(Vista("C").GetPanoContext(), nullptr);
  EXPECT_EQ(Vista("C").GetProjection(), 2);
  EXPECT_EQ(world.GetVista(), &Named("C"));
  EXPECT_EQ(Center(), kPlaceholderGrey);
}

TEST_F(VistaTest, RangesAreOrderedWidenedAndHoldTheCamera) {
  Load(VistaPrototype() +
       "DEF N Vista { pitchRange 0.5 0.45 }"
       "DEF W Vista { pitchRange 2.0 -2.0 yawRange 1 1.0005 }"
       "DEF C Vista { type \"CYLINDER\" }");
  CVistaNode& narrow = Vista("N");
  EXPECT_FLOAT_EQ(narrow.pitchRange.x, 0.45f);
  EXPECT_FLOAT_EQ(narrow.pitchRange.y, 0.6f) << "the top raised by 0.1";
  LookAt(-1.0f, 1.0f);
  EXPECT_GE(Pitch(), 0.45f - 1e-4f) << "the camera stays inside the range";

  SetBind(Vista("W"), true);
  Ticks(3);
  EXPECT_FLOAT_EQ(Vista("W").pitchRange.x, -kVistaHalfPi);
  EXPECT_FLOAT_EQ(Vista("W").pitchRange.y, kVistaHalfPi);
  LookAt(0, 5.0f);
  EXPECT_NEAR(Yaw(), 5.0f, 1e-4f) << "a yaw range without width is the whole turn";

  SetBind(Vista("C"), true);
  Ticks(3);
  EXPECT_FLOAT_EQ(Vista("C").pitchRange.x, -1.5f);
  EXPECT_FLOAT_EQ(Vista("C").pitchRange.y, 1.5f);
  EXPECT_FLOAT_EQ(Vista("C").vFov[0].y, 1.5f);
}

TEST_F(VistaTest, ZoomRangeLimitsTheFieldOfViewEvenWhileUnbound) {
  Load(VistaPrototype() + "DEF A Vista { } DEF B Vista { zoomRange 0.3 0.6 }");
  EXPECT_FALSE(Vista("B").IsBound());
  Context().SetFieldOfView(1.2f, false);
  Ticks(1);
  EXPECT_FLOAT_EQ(Context().GetFieldOfView(), 0.6f);
  Context().SetFieldOfView(0.1f, false);
  Ticks(1);
  EXPECT_FLOAT_EQ(Context().GetFieldOfView(), 0.3f);
}

TEST_F(VistaTest, SkyColoursArePaintedAndFailedPicturesFallBackToTheNextUrlThenTheSky) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  folder.Write("broken.jpg", "not a picture");
  Load(VistaPrototype() +
       "DEF S Vista { texture ImageTexture { url [ \"missing.jpg\" \"broken.jpg\" ] }"
       " skyColor 0 0 1 groundColor [ 0 1 0, 0 1 0 ] groundAngle 1.57 }"
       "DEF P Vista { texture ImageTexture { url [ \"missing.jpg\" \"stripes.jpg\" ] } }",
       6);
  CVistaNode& sky = Vista("S");
  ASSERT_NE(sky.GetSkyImage(), nullptr);
  EXPECT_EQ(sky.GetPanoramaImage(), nullptr);
  LookAt(0.6f, 1.0f);
  EXPECT_EQ(Center(), 0x0000FFu) << "the sky above the horizon";
  LookAt(-0.6f, 1.0f);
  EXPECT_EQ(Center(), 0x00FF00u) << "the ground below it";

  const float red[] = {1, 0, 0};
  MFColor skyColor{1, reinterpret_cast<SFColor*>(const_cast<float*>(red))};
  (void)sky.ReceiveEvent("set_skyColor", &skyColor);
  EXPECT_TRUE(sky.IsSkyDirty());
  LookAt(0.6f, 1.0f);
  EXPECT_FALSE(sky.IsSkyDirty());
  EXPECT_EQ(Center(), 0xFF0000u);

  SetBind(Vista("P"), true);
  Ticks(4);
  LookAt(0, YawOfStripe(2));
  EXPECT_EQ(Vista("P").GetSkyImage(), nullptr);
  EXPECT_EQ(StripeOf(Center()), 2);
}

TEST_F(VistaTest, AStereoPictureGivesEachEyeItsHalf) {
  // The left eye's view above the right eye's.
  TestPicture picture = StripedPanorama(256, 256);
  for (int y = 128; y < 256; ++y)
    for (int x = 0; x < 256; ++x) picture.xrgb[static_cast<size_t>(y * 256 + x)] = kStripeColours[6];
  WriteJpeg("stereo.jpg", picture);
  Load(VistaPrototype() + "DEF V Vista { texture ImageTexture { url \"stereo.jpg\" } stereo TRUE }", 4);
  LookAt(0, YawOfStripe(1));
  EXPECT_EQ(StripeOf(Center()), 1) << "without a stereo view, the upper half";

  view->SetStereoMode(StereoMode::LeftRight);
  Ticks(2);
  EXPECT_EQ(StripeOf(Pixel(kVistaFrameWidth / 4, kVistaFrameHeight / 2)), 1);
  EXPECT_EQ(StripeOf(Pixel(3 * kVistaFrameWidth / 4, kVistaFrameHeight / 2)), 6);

  view->SetStereoMode(StereoMode::Interlaced);
  Ticks(2);
  const int y = kVistaFrameHeight / 2;
  EXPECT_NE(StripeOf(Pixel(kVistaFrameWidth / 2, y)), StripeOf(Pixel(kVistaFrameWidth / 2, y + 1)));
}

// Side by side both eyes have a half of the frame's size: the table made
// for it serves them frame after frame, until the mode changes the size.
TEST_F(VistaTest, SideBySideEyesKeepTheirTableFromFrameToFrame) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load(VistaPrototype() + "DEF V Vista { texture ImageTexture { url \"stripes.jpg\" } }", 4);
  view->SetStereoMode(StereoMode::LeftRight);
  LookAt(0, YawOfStripe(2));
  const auto& warper = dynamic_cast<const CPanoWarper&>(*Vista("V").GetPanoContext()->renderer);
  const int32_t builds = warper.TableBuilds();
  for (const float yaw : {YawOfStripe(3), YawOfStripe(5), 0.1f, 6.2f}) {
    LookAt(0.2f, yaw);
    EXPECT_EQ(warper.TableBuilds(), builds) << yaw;
  }
  LookAt(0, YawOfStripe(5));
  EXPECT_EQ(StripeOf(Pixel(kVistaFrameWidth / 4, kVistaFrameHeight / 2)), 5);
  EXPECT_EQ(StripeOf(Pixel(3 * kVistaFrameWidth / 4, kVistaFrameHeight / 2)), 5);

  view->SetStereoMode(StereoMode::None);
  Ticks(10);
  EXPECT_EQ(warper.TableBuilds(), builds + 1) << "one table for the whole frame";
  EXPECT_EQ(StripeOf(Center()), 5);
}

// A tiled picture holds the left eye's view in its upper two rows of frames
// and the right eye's in the lower two; each eye loads and reads its own.
TEST_F(VistaTest, ATiledStereoPictureGivesEachEyeItsHalf) {
  constexpr uint8_t kLeftGrey = 60, kRightGrey = 200;
  std::vector<std::string> frames;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 8; ++column) {
      const uint8_t grey = row < 2 ? kLeftGrey : kRightGrey;
      frames.push_back(test::EncodeRicRecord(test::SmallBookFrame(32, 32, {grey, grey, grey, grey, 128, 128})));
    }
  folder.Write("stereo.ric", test::EncodeRicFile({kFrameOrderAlongRows, 4, 8, 32, 32}, frames));
  Load(VistaPrototype() + "DEF V Vista { texture ImageTexture { url \"stereo.ric\" } stereo TRUE }", 6);
  ASSERT_NE(Vista("V").GetPanoramaImage(), nullptr);
  ASSERT_TRUE(Vista("V").GetPanoramaImage()->IsGridded());
  auto grey = [this](int x, int y) { return static_cast<int>(Pixel(x, y) >> 8 & 0xFF); };
  for (const float pitch : {0.0f, 1.2f, -1.2f}) {
    view->SetStereoMode(StereoMode::None);
    LookAt(pitch, 2.0f);
    EXPECT_NEAR(grey(kVistaFrameWidth / 2, kVistaFrameHeight / 2), kLeftGrey, 12) << pitch;

    view->SetStereoMode(StereoMode::LeftRight);
    LookAt(pitch, 2.0f);
    EXPECT_NEAR(grey(kVistaFrameWidth / 4, kVistaFrameHeight / 2), kLeftGrey, 12) << pitch;
    EXPECT_NEAR(grey(3 * kVistaFrameWidth / 4, kVistaFrameHeight / 2), kRightGrey, 12) << pitch;

    view->SetStereoMode(StereoMode::Interlaced);
    LookAt(pitch, 2.0f);
    EXPECT_NEAR(grey(kVistaFrameWidth / 2, kVistaFrameHeight / 2), kLeftGrey, 12) << pitch;
    EXPECT_NEAR(grey(kVistaFrameWidth / 2, kVistaFrameHeight / 2 + 1), kRightGrey, 12) << pitch;
  }
}

// hFov and yawRange 1.0 .. 2.5 span 86 degrees: every view the ranges
// allow is drawn, the picture where it lies and the fill beside it.
TEST_F(VistaTest, APictureOfLessThanAQuarterTurnIsDrawnAtEveryView) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load(VistaPrototype() +
       "DEF V Vista { texture ImageTexture { url \"stripes.jpg\" } hFov 1.0 2.5 yawRange 1.0 2.5 }");
  const float stripe3 = 1.0f + 3.5f * 1.5f / 8;
  for (const float pitch : {0.0f, 0.7f, 1.3f, -1.45f}) {
    FillFrame(0xABCDEF);
    LookAt(pitch, stripe3);
    EXPECT_EQ(StripeOf(Center()), 3) << pitch;
    const std::vector<uint32_t> frame = Frame();
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0xABCDEFu), 0) << pitch;
  }
  LookAt(0.2f, 0.0f);
  EXPECT_EQ(StripeOf(Pixel(2, kVistaFrameHeight / 2)), 0) << "held at the picture's left edge";
}

// A picture of two rows cannot be drawn: the frame shows the Vista's sky
// and ground as though there were no picture, not what it held before.
TEST_F(VistaTest, APictureThatCannotBeDrawnLeavesTheSkyColours) {
  WriteJpeg("flat.jpg", StripedPanorama(256, 2));
  Load(VistaPrototype() +
       "DEF V Vista { texture ImageTexture { url \"flat.jpg\" }"
       " skyColor 0 0 1 groundColor [ 0 1 0, 0 1 0 ] groundAngle 1.57 }");
  ASSERT_NE(Vista("V").GetPanoramaImage(), nullptr);
  EXPECT_EQ(Vista("V").GetSkyImage(), nullptr);
  FillFrame(0xABCDEF);
  LookAt(0.6f, 1.0f);
  EXPECT_EQ(Center(), 0x0000FFu) << "the sky above the horizon";
  FillFrame(0xABCDEF);
  LookAt(-0.6f, 1.0f);
  EXPECT_EQ(Center(), 0x00FF00u) << "the ground below it";
  view->SetStereoMode(StereoMode::LeftRight);
  FillFrame(0xABCDEF);
  LookAt(0.6f, 1.0f);
  EXPECT_EQ(Pixel(kVistaFrameWidth / 4, kVistaFrameHeight / 2), 0x0000FFu);
  EXPECT_EQ(Pixel(3 * kVistaFrameWidth / 4, kVistaFrameHeight / 2), 0x0000FFu);
}

TEST_F(VistaTest, ACameraAtRestGetsTheStillFrameUntilItMoves) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load(VistaPrototype() + "DEF V Vista { texture ImageTexture { url \"stripes.jpg\" } }", 3);
  CVistaNode& vista = Vista("V");
  LookAt(0, YawOfStripe(5));
  EXPECT_FALSE(vista.IsStillFrameShown());
  Ticks(8);
  EXPECT_TRUE(vista.IsStillFrameShown());
  EXPECT_EQ(StripeOf(Center()), 5);
  LookAt(0, YawOfStripe(6));
  EXPECT_FALSE(vista.IsStillFrameShown());
  EXPECT_EQ(StripeOf(Center()), 6);
}

TEST_F(VistaTest, HotSpotsOfLinkScriptsAreMarkedWhileTheSpaceBarIsHeld) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  Load(VistaPrototype() +
       "DEF V Vista { texture ImageTexture { url \"stripes.jpg\" } }"
       "DEF L Script { url \"vxn:link\" eventIn SFVec2f clickPt"
       "  field SFVec2f xBounds 0.55 0.575 field SFVec2f yBounds 0.45 0.55 }"
       "DEF Far Script { url \"vxn:link\" eventIn SFVec2f clickPt"
       "  field SFVec2f xBounds 0.05 0.1 field SFVec2f yBounds 0.45 0.55 }"
       "ROUTE V.clickPt TO L.clickPt ROUTE V.clickPt TO Far.clickPt");
  LookAt(0, YawOfStripe(4));
  EXPECT_FALSE(HasRed(Frame()));
  view->SetHostKey(49, true);
  Ticks(1);
  const std::vector<uint32_t> marked = Frame();
  EXPECT_TRUE(HasRed(marked));
  // The near spot only: the far one lies behind the viewer.
  int left = kVistaFrameWidth, right = -1;
  for (int y = 0; y < kVistaFrameHeight; ++y)
    for (int x = 0; x < kVistaFrameWidth; ++x)
      if (marked[static_cast<size_t>(y * kVistaFrameWidth + x)] == 0xFF0000) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
  EXPECT_LE(right - left, 31);
  view->SetHostKey(49, false);
  Ticks(1);
  EXPECT_FALSE(HasRed(Frame()));
}

TEST_F(VistaTest, BadDescriptionsNeitherCrashNorDraw) {
  std::string picture = CompressJpeg(StripedPanorama(), JpegKind::Baseline, 90);
  // Without its quantisation tables.
  const size_t table = picture.find("\xFF\xDB");
  ASSERT_NE(table, std::string::npos);
  const size_t length = static_cast<uint8_t>(picture[table + 2]) << 8 | static_cast<uint8_t>(picture[table + 3]);
  picture.erase(table, length + 2);
  folder.Write("noquant.jpg", picture);
  Load(VistaPrototype() +
       "DEF E Vista { vFov [ ] hFov [ ] }"
       "DEF U Vista { type \"WOBBLE\" }"
       "DEF Q Vista { texture ImageTexture { url \"noquant.jpg\" } }");
  EXPECT_TRUE(Vista("E").IsBound());
  EXPECT_EQ(Center(), kPlaceholderGrey) << "empty extents stand for the whole sphere";
  SetBind(Vista("U"), true);
  Ticks(3);
  EXPECT_TRUE(Vista("U").IsBound());
  EXPECT_EQ(Vista("U").GetProjection(), 0);
  SetBind(Vista("Q"), true);
  Ticks(4);
  EXPECT_TRUE(Vista("Q").IsBound());
  EXPECT_NE(Vista("Q").GetSkyImage(), nullptr);
}

TEST_F(VistaTest, ReversedAndEmptyRangesStillDrawInsideThePicture) {
  WriteJpeg("stripes.jpg", StripedPanorama());
  for (const char* ranges : {"yawRange 6.3 -1", "yawRange 2 2.0005 pitchRange 0.3 0.3", "pitchRange 1 -1"}) {
    Load(VistaPrototype() + "DEF R Vista { texture ImageTexture { url \"stripes.jpg\" } " + ranges + " }");
    view->SetHostPointer(kVistaFrameWidth / 2, kVistaFrameHeight / 2);
    view->MouseDown();
    view->SetHostPointer(kVistaFrameWidth - 8, 8);
    Ticks(3);
    view->MouseUp();
    ASSERT_TRUE(Vista("R").IsBound()) << ranges;
    EXPECT_GE(StripeOf(Center()), 0) << ranges;
    EXPECT_NE(Center(), 0u) << ranges;
  }
}

// The renderers read past the picture's first and last rows at the poles.
TEST_F(VistaTest, TheSkyIsSeenStraightUpAndDownWithoutReadingPastIt) {
  Load(VistaPrototype() + "DEF S Vista { skyColor [ 0 0 1, 1 1 1 ] skyAngle 1.5 groundColor [ 0 1 0, 1 0 0 ] "
                          "groundAngle 1.5 }");
  for (const float pitch : {-1.5707f, 1.5707f, -1.0f}) LookAt(pitch, 0.4f);
  EXPECT_GT(Center() >> 8 & 0xFF, 100u) << "the ground's first colour below";
}

TEST_F(VistaTest, AMoviePanoramaIsSeenStraightUpAndDownWithoutReadingPastIt) {
  folder.Write("m.avi", MovieFile({.width = 64, .height = 32}));
  Load(VistaPrototype() + "DEF M Vista { texture MovieTexture { url \"m.avi\" loop TRUE } }");
  for (const float pitch : {-1.5707f, 1.5707f, 0.0f}) LookAt(pitch, 0.4f);
  EXPECT_NEAR(static_cast<int>(Center() & 0xFF), static_cast<int>(kBottomColor & 0xFF), 2) << "the movie's grey";
}

TEST_F(VistaTest, TheSamplePanoramaFillsTheFrameAndADragTurnsIt) {
  view->LoadWorld(VX_WORLDS_DIR "/panorama.wrl", nullptr);
  Ticks(4);
  CVistaNode& vista = Vista("Panorama");
  ASSERT_TRUE(vista.IsBound());
  ASSERT_NE(vista.GetPanoramaImage(), nullptr);
  EXPECT_EQ(vista.GetSkyImage(), nullptr);
  for (uint32_t pixel : Frame()) ASSERT_NE(pixel, 0u) << "a pixel left black";

  const float before = Yaw();
  const std::vector<uint32_t> still = Frame();
  view->SetHostPointer(kVistaFrameWidth / 2, kVistaFrameHeight / 2);
  Ticks(1);
  // A drag turns by the time it is held.
  ManualClock clock;
  Ticks(1);
  view->MouseDown();
  view->SetHostPointer(kVistaFrameWidth - 8, kVistaFrameHeight / 2);
  for (int tick = 0; tick < 3; ++tick) {
    clock.Advance(33);
    Ticks(1);
  }
  view->MouseUp();
  EXPECT_GT(Yaw(), before + 0.05f);
  EXPECT_NE(Frame(), still);
}

}  // namespace
}  // namespace vx::test
