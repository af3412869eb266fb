// The six-picture Background: pictures of any size scaled into their tiles
// and nowhere else, faces that never arrive keeping the bands, the fall-over
// to the next url and to the sphere, one cube Background taking over from
// another, and the frame kept from the back image while nothing turns the
// picture, bands alone as well as cubes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "RenderedWorld.h"
#include "engine/pano/nodes/BackgroundCube.h"
#include "engine/pano/nodes/BackgroundNode.h"
#include "engine/scene/ViewServices.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;
constexpr int kLoadFrames = 6;

// A picture whose pixel (x, y) holds x << 8 | y.
struct CoordinatePicture {
  CoordinatePicture(int width, int height) : pixels(static_cast<size_t>(width * height)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y * width + x)] = static_cast<uint32_t>(x << 8 | y);
    map = FrameOver(pixels, width, height);
  }
  std::vector<uint32_t> pixels;
  PixelMap map;
};

// A cube picture of side x 6 side with a guard row above and below.
struct GuardedCube {
  explicit GuardedCube(int side) : side(side), pixels(static_cast<size_t>(side * (6 * side + 2)), kGuard) {
    map = FrameOver(pixels, side, 6 * side);
    map.bits += static_cast<ptrdiff_t>(map.rowBytes);
  }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>((y + 1) * side + x)]; }
  bool GuardsIntact() const {
    for (int x = 0; x < side; ++x) {
      if (pixels[static_cast<size_t>(x)] != kGuard || At(x, 6 * side) != kGuard) return false;
    }
    return true;
  }
  int side;
  std::vector<uint32_t> pixels;
  PixelMap map;
};

TEST(CubeFacePlacement, PicturesOfAnySizeFillExactlyTheirTile) {
  constexpr int kSide = 8;
  for (const auto [width, height] : {std::array{3, 5}, std::array{20, 20}, std::array{1, 1}, std::array{8, 64}}) {
    GuardedCube cube(kSide);
    const CoordinatePicture face(width, height);
    ASSERT_TRUE(PlaceCubeFace(face.map, BackgroundFace::kLeft, cube.map));
    const int tile = static_cast<int>(BackgroundFace::kLeft);
    for (int y = 0; y < 6 * kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        const bool inTile = y / kSide == tile;
        const uint32_t expected =
            inTile ? static_cast<uint32_t>((x * width / kSide) << 8 | ((y - tile * kSide) * height / kSide)) : kGuard;
        ASSERT_EQ(cube.At(x, y), expected) << width << "x" << height << " at " << x << "," << y;
      }
    EXPECT_TRUE(cube.GuardsIntact());
  }
}

TEST(CubeFacePlacement, MismatchedPicturesAreLeftAlone) {
  GuardedCube cube(8);
  CoordinatePicture face(4, 4);
  PixelMap twoBytes = face.map;
  twoBytes.bytesPerPixel = 2;
  EXPECT_FALSE(PlaceCubeFace(twoBytes, BackgroundFace::kFront, cube.map));
  PixelMap notSixSquares = cube.map;
  notSixSquares.height = 6 * 8 - 1;
  EXPECT_FALSE(PlaceCubeFace(face.map, BackgroundFace::kBottom, notSixSquares));
  EXPECT_FALSE(PlaceCubeFace(PixelMap{}, BackgroundFace::kTop, cube.map));
  for (int y = 0; y < 6 * 8; ++y) ASSERT_EQ(cube.At(0, y), kGuard);
}

// A view that keeps a back image of its own, the size of the frame.
class BackImageServices : public IViewServices {
 public:
  BackImageServices(CViewContext& view, int width, int height)
      : view_(view), pixels_(static_cast<size_t>(width * height), 0u), back_(FrameOver(pixels_, width, height)) {}
  void LoadWorld(const char*, const char*) override {}
  PixelMap GetBackImage() const override { return back_; }
  void CopyBackImageToFrame() override {
    ++copies;
    CopyPixelMap(back_, view_.GetFrameBuffer());
  }
  bool IsKeyDown(int32_t) const override { return false; }
  void SetCursor(int32_t) override {}
  void BindPanorama(CNode*, PanoramaStack) override {}
  double GetWorldTime() const override { return 0; }
  void Resize(int width, int height) {
    pixels_.assign(static_cast<size_t>(width * height), 0u);
    back_ = FrameOver(pixels_, width, height);
  }
  uint32_t Centre() const { return pixels_[static_cast<size_t>(back_.height / 2 * back_.width + back_.width / 2)]; }
  int copies = 0;

 private:
  CViewContext& view_;
  std::vector<uint32_t> pixels_;
  PixelMap back_;
};

class BackgroundCubeWorld : public RenderedWorld {
 protected:
  CBackgroundNode& Background(const char* name) { return static_cast<CBackgroundNode&>(Named(name)); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  std::string Face(const char* name, uint8_t red, uint8_t green, uint8_t blue) {
    return folder_.Write(name, SolidBmp(blue, green, red));
  }
  std::string Missing() const { return folder_.Path() + "/missing.bmp"; }
  // Every face of one colour.
  std::string SolidCube(const char* def, const std::string& face) {
    std::string body = std::string("DEF ") + def + " Background { skyColor 0 0 1 groundColor [ 0 1 0, 0 1 0 ] groundAngle 1.5708";
    for (const char* field : {"frontUrl", "rightUrl", "backUrl", "leftUrl", "topUrl", "bottomUrl"})
      body += std::string(" ") + field + " \"" + face + "\"";
    return body + " }\n";
  }
  static void SetBind(CNode& node, bool on) {
    const int16_t value = on ? 1 : 0;
    node.ReceiveEvent("set_bind", &value);
  }
  static void SetBandColours(CNode& node, SFColor colour) {
    MFColor colours{1, &colour};
    node.ReceiveEvent("set_skyColor", &colours);
    node.ReceiveEvent("set_groundColor", &colours);
  }
  // Reads the world, gives the view a back image the frame's size, and lets
  // the pictures arrive and the camera rest.
  BackImageServices& ShowStill(const std::string& body) {
    Read(body);
    services_.emplace(view, 64, 64);
    view.SetServices(&*services_);
    Show();
    Frames(kLoadFrames + 2);
    return *services_;
  }
  void TearDown() override { view.SetServices(nullptr); }

 private:
  TemporaryFolder folder_{"vxbgcube"};
  std::optional<BackImageServices> services_;
};

uint32_t PictureAt(const CBackgroundNode& node, int x, int y) {
  const PixelMap map = node.GetPanoramaPicture();
  return *reinterpret_cast<const uint32_t*>(map.Row(y) + x * 4) & 0xFFFFFF;
}

TEST_F(BackgroundCubeWorld, FacesThatNeverArriveKeepTheBandsAndTheUrlsFallOver) {
  const std::string red = Face("red.bmp", 255, 0, 0);
  Load("DEF B Background { skyColor 0 0 1 groundColor [ 0 1 0, 0 1 0 ] groundAngle 1.5708 frontUrl [ \"" + Missing() + "\", \"" + red +
       "\" ] rightUrl \"" + Missing() + "\" }");
  Frames(kLoadFrames);
  const CBackgroundNode& background = Background("B");
  EXPECT_EQ(background.GetProjection(), BackgroundProjection::kCube);
  ASSERT_NE(background.GetPanoramaPicture().bits, nullptr);
  const int side = background.GetPanoramaPicture().width;
  EXPECT_EQ(side, kBackgroundBandTileMin) << "room for the bands of the faces without urls";
  EXPECT_EQ(background.GetPanoramaPicture().height, 6 * side);
  EXPECT_EQ(PictureAt(background, side / 2, side / 2), kRed);
  const int right = static_cast<int>(BackgroundFace::kRight) * side;
  EXPECT_EQ(PictureAt(background, side / 2, right + 1), 0x0000FFu);
  EXPECT_EQ(PictureAt(background, side / 2, right + side - 2), kGreen);
  EXPECT_FALSE(background.IsRefined());
  EXPECT_TRUE(PixelsNear(Center(), kRed));
}

TEST_F(BackgroundCubeWorld, NoFaceArrivingFallsBackToTheBandsOnTheSphere) {
  Load("DEF B Background { skyColor 0 0 1 groundColor [ 0 1 0, 0 1 0 ] groundAngle 1.5708 frontUrl \"" + Missing() + "\" topUrl [ \"" +
       Missing() + "\", \"" + Missing() + "\" ] }");
  Frames(kLoadFrames);
  const CBackgroundNode& background = Background("B");
  EXPECT_EQ(background.GetProjection(), BackgroundProjection::kSphere);
  ASSERT_NE(background.GetPanoramaPicture().bits, nullptr);
  EXPECT_EQ(background.GetPanoramaPicture().width, 512);
  EXPECT_GT(Pixel(32, 2) & 0xFF, 200u);
}

// The second cube takes over the first one's panorama; the first frees its
// picture at once, and nothing may read it any more.
TEST_F(BackgroundCubeWorld, SecondCubeTakesOverAndTheFirstFreesItsPicture) {
  const std::string red = Face("red.bmp", 255, 0, 0);
  const std::string green = Face("green.bmp", 0, 255, 0);
  Load(SolidCube("A", red) + SolidCube("B", green));
  Frames(kLoadFrames);
  EXPECT_TRUE(PixelsNear(Center(), kRed));

  SetBind(Named("B"), true);
  Frames(kLoadFrames);
  EXPECT_FALSE(Background("A").IsBound());
  EXPECT_EQ(Background("A").GetPanoramaPicture().bits, nullptr);
  EXPECT_TRUE(PixelsNear(Center(), kGreen));

  SetBind(Named("A"), true);
  Frames(kLoadFrames);
  EXPECT_EQ(Background("B").GetPanoramaPicture().bits, nullptr);
  EXPECT_TRUE(PixelsNear(Center(), kRed));
}

TEST_F(BackgroundCubeWorld, StillCameraCopiesTheFrameFromTheBackImage) {
  BackImageServices& services = ShowStill(SolidCube("B", Face("red.bmp", 255, 0, 0)));
  EXPECT_TRUE(Background("B").IsRefined());
  EXPECT_GT(services.copies, 0);
  EXPECT_TRUE(PixelsNear(Center(), kRed));
  EXPECT_TRUE(PixelsNear(services.Centre(), kRed));

  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  view.SetOrientation(pitch + 0.1f, yaw, roll, false);
  Frame();
  EXPECT_FALSE(Background("B").IsRefined());
  const int copies = services.copies;
  Frame();
  EXPECT_EQ(services.copies, copies) << "no copy while the camera has just moved";
  Frames(kLoadFrames);
  EXPECT_TRUE(Background("B").IsRefined());

  // A back image that no longer fits the frame is never drawn into.
  services.Resize(32, 32);
  Frame();
  EXPECT_FALSE(Background("B").IsRefined());
  Frames(kLoadFrames);
  EXPECT_FALSE(Background("B").IsRefined());
  EXPECT_TRUE(PixelsNear(Center(), kRed));
}

// Bands alone never change by themselves: they are kept as a still frame as
// a cube is, until new colours arrive.
TEST_F(BackgroundCubeWorld, BandsAloneAreKeptAsAStillFrameUntilTheyChange) {
  BackImageServices& services = ShowStill("DEF B Background { skyColor 0 0 1 groundColor 0 0 1 }");
  EXPECT_TRUE(Background("B").IsRefined());
  EXPECT_GT(services.copies, 0);
  EXPECT_TRUE(PixelsNear(Center(), 0x0000FF));

  SetBandColours(Named("B"), {1, 0, 0});
  Frame();
  EXPECT_TRUE(PixelsNear(Center(), kRed));
  EXPECT_TRUE(PixelsNear(services.Centre(), kRed)) << "the copy holds the new colours";
}

// A cube with a face that never arrives has settled all the same; a parent
// turning the picture moves it as the camera does.
TEST_F(BackgroundCubeWorld, AStillCameraUnderATurningParentSeesThePictureTurn) {
  const std::string red = Face("red.bmp", 255, 0, 0);
  const std::string green = Face("green.bmp", 0, 255, 0);
  ShowStill("DEF T Transform { children DEF B Background { skyColor 0 0 1 frontUrl \"" + red + "\" backUrl \"" +
            green + "\" leftUrl \"" + Missing() + "\" } }");
  CBackgroundNode& background = Background("B");
  EXPECT_TRUE(background.IsRefined());
  EXPECT_TRUE(PixelsNear(Center(), kRed));

  SFRotation halfTurn{0, 1, 0, 3.14159f};
  ASSERT_EQ(Named("T").ReceiveEvent("set_rotation", &halfTurn), 0);
  // The parents' turn is noted in the scene, after the frame's background.
  Frames(2);
  EXPECT_FALSE(background.IsRefined());
  EXPECT_TRUE(PixelsNear(Center(), kGreen));
  Frames(kLoadFrames);
  EXPECT_TRUE(background.IsRefined());
  EXPECT_TRUE(PixelsNear(Center(), kGreen));
}

TEST_F(BackgroundCubeWorld, NewSkyColourRepaintsTheBoundSphere) {
  Load("DEF B Background { skyColor 0 0 1 groundColor 0 0 1 }");
  Frame();
  EXPECT_GT(Center() & 0xFF, 200u);
  SetBandColours(Named("B"), {1, 0, 0});
  Frame();
  EXPECT_TRUE(PixelsNear(Center(), kRed));
}

}  // namespace
}  // namespace vx::test
