// How worlds as exporters write them look: an EXAMINE world's heads-up
// display at the eye, Backgrounds turned by parents the scene does not draw
// and with one picture among their colours, Fog under a scaled model, and a
// PROTO declared twice.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "RenderedWorld.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

struct Channels {
  int r, g, b;
};

Channels ChannelsOf(uint32_t pixel) {
  return {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF), static_cast<int>(pixel & 0xFF)};
}

bool IsRed(uint32_t pixel) {
  const Channels c = ChannelsOf(pixel);
  return c.r > 200 && c.g < 60 && c.b < 60;
}

class RealWorldView : public RenderedWorld {
 protected:
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  // The red pixels along the frame's middle row.
  int RedWidth(int width, int height) const {
    int count = 0;
    for (int x = 0; x < width; ++x) count += IsRed(Pixel(x, height / 2)) ? 1 : 0;
    return count;
  }
};

// A legend 0.2 wide, 0.5 in front of the eye that the sensor reports: at
// the eye it spans 232 of 640 pixels. The system's worlds stand the eye back
// by the mean avatar size, and the legend shrinks as it always did there.
TEST_F(RealWorldView, AHeadsUpDisplayOfAnExamineWorldStaysAtTheEye) {
  const std::string hud =
      "Viewpoint { position 0 0 10 }\n"
      "NavigationInfo { type \"EXAMINE\" avatarSize [ %s ] }\n"
      "DEF PS ProximitySensor { size 1000 1000 1000 }\n"
      "DEF HUD Transform { children Transform { translation 0 0 -0.5 children Shape {\n"
      "  appearance Appearance { material Material { diffuseColor 1 0 0 emissiveColor 1 0 0 } }\n"
      "  geometry Box { size 0.2 0.2 0.001 } } } }\n"
      "ROUTE PS.position_changed TO HUD.set_translation\n"
      "ROUTE PS.orientation_changed TO HUD.set_rotation\n";
  struct Case {
    WorldConvention convention;
    const char* avatarSize;
    int low, high;
  };
  const Case cases[] = {
      {WorldConvention::kStandard, "0.25 1.75 0.75", 220, 244},
      {WorldConvention::kStandard, "0 0 0 -0.7", 220, 244},
      {WorldConvention::kSystem, "0.25 1.75 0.75", 70, 95},
  };
  for (const Case& c : cases) {
    convention = c.convention;
    view.ResetCamera();
    char body[1024];
    std::snprintf(body, sizeof body, hud.c_str(), c.avatarSize);
    Load(body, 640, 480);
    Frames(3);
    const int width = RedWidth(640, 480);
    EXPECT_GE(width, c.low) << c.avatarSize;
    EXPECT_LE(width, c.high) << c.avatarSize;
  }
}

// The first Background, turned a quarter about X with its Switch showing
// nothing or itself: the camera looking along +Y sees its horizon, half way
// from the green to the blue band, the green above and the blue below, and
// not its red zenith. Both choices draw the same frame.
TEST_F(RealWorldView, ABackgroundInAHiddenChoiceTurnsWithItsParents) {
  std::vector<uint32_t> frames[2];
  for (int shown = 0; shown < 2; ++shown) {
    Load(std::string("Transform { rotation 1 0 0 1.5708 children Switch { whichChoice ") + (shown ? "0" : "-1") +
             " choice Background { skyColor [ 1 0 0, 0 1 0, 0 0 1 ] skyAngle [ 1.4, 1.75 ] } } }\n"
             "Transform { rotation 1 0 0 1.5708 children Viewpoint { position 0 0 0 } }\n",
         64, 64);
    Frames(2);
    const Channels middle = ChannelsOf(Center()), above = ChannelsOf(Pixel(32, 8)), below = ChannelsOf(Pixel(32, 56));
    EXPECT_LT(middle.r, 30) << shown;
    EXPECT_GT(middle.g, 60) << shown;
    EXPECT_GT(middle.b, 60) << shown;
    EXPECT_GT(above.g, 200) << shown;
    EXPECT_GT(below.b, 200) << shown;
    frames[shown] = Pixels();
  }
  EXPECT_EQ(frames[0], frames[1]);
}

// One picture above among sky and ground colours: the faces without a
// picture keep the colours, green ground below the horizon as without it.
TEST_F(RealWorldView, ABackgroundWithOnePictureKeepsItsGroundColours) {
  TemporaryFolder folder("vxrealworld");
  const std::string top =
      folder.Write("bg-top.gif", MakeGif(8, 8, {SolidFrame(0, 0, 8, 8, 1)}, {0, 0, 0, 255, 255, 0}));
  for (const std::string& picture : {std::string(), " topUrl \"" + top + "\""}) {
    Load(
        "Viewpoint { position 0 0 0 }\n"
        "Background { skyColor [ 0 0 1 ] groundColor [ 0 1 0, 0 1 0 ] groundAngle [ 1.57 ]" +
            picture + " }\n",
        64, 64);
    Frames(8);
    const Channels below = ChannelsOf(Pixel(32, 48));
    EXPECT_GT(below.g, 200) << picture;
    EXPECT_LT(below.b, 60) << picture;
    EXPECT_GT(ChannelsOf(Pixel(32, 16)).b, 200) << picture;
  }
}

// A lit model scaled down by a tenth with the Fog among its children: the
// Fog's range of 40 is 4 in the world, so a face 3 away is mostly fog. The
// system's worlds take the range as the file gives it.
std::string CastleLikeWorld(const char* texture) {
  return std::string(
             "Viewpoint { position 0 0 0 }\n"
             "Transform { scale 0.1 0.1 0.1 children [\n"
             "  Fog { color 0 0 1 visibilityRange 40 }\n"
             "  PointLight { location 0 0 0 }\n"
             "  Transform { translation 0 0 -30 children Shape {\n"
             "    appearance Appearance { material Material { diffuseColor 1 1 1 } ") +
         texture +
         " }\n"
         "    geometry IndexedFaceSet { coord Coordinate { point [ -20 -20 0, 20 -20 0, 20 20 0, -20 20 0 ] }\n"
         "      coordIndex [ 0 1 2 3 -1 ] } } } ] }\n";
}

TEST_F(RealWorldView, FogUnderAScaledModelFogsAtTheScaledRange) {
  struct Case {
    WorldConvention convention;
    bool fogged;
  };
  for (const Case& c : {Case{WorldConvention::kStandard, true}, Case{WorldConvention::kSystem, false}}) {
    convention = c.convention;
    view.ResetCamera();
    Load(CastleLikeWorld(""));
    Frames(2);
    const Channels centre = ChannelsOf(Center());
    EXPECT_EQ(centre.b > 150 && centre.r < 100, c.fogged) << centre.r << " " << centre.g << " " << centre.b;
  }
}

// The same model with every face textured, as the exporters write it: the fog
// reaches textured spans as it reaches plain ones.
TEST_F(RealWorldView, FogReachesTheTexturedFacesOfAScaledModel) {
  Load(CastleLikeWorld("texture PixelTexture { image 1 1 3 0xFFFFFF }"));
  Frames(2);
  const Channels centre = ChannelsOf(Center());
  EXPECT_GT(centre.b, 150);
  EXPECT_LT(centre.r, 100);
}

// A PROTO declared again: the instance after the second declaration is one
// of it, with the field the first lacks.
TEST_F(RealWorldView, AProtoDeclaredAgainServesTheInstancesAfterIt) {
  for (const WorldConvention kind : {WorldConvention::kStandard, WorldConvention::kSystem}) {
    convention = kind;
    view.ResetCamera();
    Load(
        "Viewpoint { position 0 0 5 }\n"
        "PROTO S [] { Shape { appearance Appearance { material Material { diffuseColor 1 1 0 } } geometry Sphere { } } "
        "}\n"
        "PROTO S [ field SFFloat whatever 1 ] { Shape { appearance Appearance {\n"
        "  material Material { diffuseColor 0 1 0 } } geometry Sphere { } } }\n"
        "S { whatever 2 }\n");
    Frames(2);
    const Channels centre = ChannelsOf(Center());
    EXPECT_GT(centre.g, 150);
    EXPECT_LT(centre.r, 60);
  }
}

}  // namespace
}  // namespace vx::test
