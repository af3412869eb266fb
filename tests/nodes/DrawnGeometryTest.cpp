// Geometry as exporters write it, drawn in a VRML 2.0 world (".wrl") and in
// a world of this system (".tsw"), which keeps drawing as it always did:
// texture coordinates per face corner, the default texture mapping, creased
// normals, texture transforms, emissive colours and Color nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "RenderedWorld.h"

namespace vx::test {
namespace {

constexpr WorldConvention kVrml = WorldConvention::kStandard;
constexpr WorldConvention kOwn = WorldConvention::kSystem;

// Under nothing but the view's ambient light, which lights to a quarter.
constexpr const char* kAmbientOnlyView = "NavigationInfo { headlight FALSE } Viewpoint { position 0 0 3 }\n";

// 16 x 16 texels, rows from the bottom: red and green in the lower half,
// blue and yellow in the upper one.
std::string FourColourPicture() {
  std::string image = "PixelTexture { image 16 16 3";
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) image += y < 8 ? (x < 8 ? " 0xFF0000" : " 0x00FF00") : (x < 8 ? " 0x0000FF" : " 0xFFFF00");
  }
  return image + " }";
}

// The colour a pixel shows: r, g, b, y (red and green), w (all three), k
// (nearly black) or ? (anything else).
char Hue(uint32_t pixel) {
  const int r = static_cast<int>(pixel >> 16 & 0xFF);
  const int g = static_cast<int>(pixel >> 8 & 0xFF);
  const int b = static_cast<int>(pixel & 0xFF);
  const int top = std::max({r, g, b});
  if (top < 40) return 'k';
  const bool red = r > top / 2, green = g > top / 2, blue = b > top / 2;
  if (red && green && blue) return 'w';
  if (red && green) return 'y';
  if (red && !green && !blue) return 'r';
  if (green && !red && !blue) return 'g';
  if (blue && !red && !green) return 'b';
  return '?';
}

int Channel(uint32_t pixel, int shift) { return static_cast<int>(pixel >> shift & 0xFF); }

class DrawnGeometry : public RenderedWorld {
 protected:
  // The world before leaves the view first, taking its lights along.
  void Draw(WorldConvention kind, const std::string& body, int width = 64, int height = 64) {
    if (world) world->RenderView(RenderPass::Deactivate, &view);
    convention = kind;
    Load(body, width, height);
  }
  std::string HuesAt(std::initializer_list<std::pair<int, int>> points) const {
    std::string hues;
    for (const auto& [x, y] : points) hues += Hue(Pixel(x, y));
    return hues;
  }
  // The hues found in a region, each with at least `least` pixels.
  std::string HuesIn(int x0, int y0, int x1, int y1, int least = 20) const {
    std::string found;
    for (char hue : std::string("rgbyw")) {
      int count = 0;
      for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) count += Hue(Pixel(x, y)) == hue ? 1 : 0;
      }
      if (count >= least) found += hue;
    }
    return found;
  }
};

// A 3 x 3 quad seen from 5 away fills the middle of the frame; its quadrant
// centres lie at (20, 44) bottom left, (20, 20), (44, 20) and (44, 44), the
// order in which the tests list their hues.
std::string CornerQuad(const std::string& texCoords) {
  return "Viewpoint { position 0 0 5 }\n"
         "Shape { appearance Appearance { texture " + FourColourPicture() + " }"
         " geometry IndexedFaceSet { coord Coordinate { point [ -1.5 -1.5 0, 1.5 -1.5 0, 1.5 1.5 0, -1.5 1.5 0 ] }"
         " coordIndex [ 0 1 2 3 -1 ] " + texCoords + " } }";
}

// texCoordIndex turns the picture a quarter; with as many coordinates as
// points (the first world) and with one more (a seam, as exporters write).
TEST_F(DrawnGeometry, TextureCoordinatesFollowTexCoordIndexPerCorner) {
  const std::string perPoint = "texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1 ] } texCoordIndex [ 1 2 3 0 -1 ]";
  const std::string withSeam =
      "texCoord TextureCoordinate { point [ 0.5 0.5, 0 0, 1 0, 1 1, 0 1 ] } texCoordIndex [ 2 3 4 1 -1 ]";
  for (const std::string& texCoords : {perPoint, withSeam}) {
    Draw(kVrml, CornerQuad(texCoords));
    EXPECT_EQ(HuesAt({{20, 44}, {20, 20}, {44, 20}, {44, 44}}), "grby") << texCoords;
    // This system's worlds take the coordinates per point, or planar ones
    // when their count differs: the picture stands upright.
    Draw(kOwn, CornerQuad(texCoords));
    EXPECT_EQ(HuesAt({{20, 44}, {20, 20}, {44, 20}, {44, 44}}), "rbyg") << texCoords;
  }
}

// A floor of 8 x 8 in the x/z plane (left) and an upright 4 x 2 quad (right),
// neither with texture coordinates.
const std::string kDefaultMappingWorld =
    "Viewpoint { position 0 3 9 orientation 1 0 0 -0.35 }\n"
    "Transform { translation -3 0 0 children Shape { appearance Appearance { texture " + FourColourPicture() +
    " } geometry IndexedFaceSet { solid FALSE coord Coordinate { point [ -4 -1 4, 4 -1 4, 4 -1 -4, -4 -1 -4 ] }"
    " coordIndex [ 0 1 2 3 -1 ] } } }\n"
    "Transform { translation 3.5 1 0 children Shape { appearance Appearance { texture " + FourColourPicture() +
    " } geometry IndexedFaceSet { coord Coordinate { point [ -2 -1 0, 2 -1 0, 2 1 0, -2 1 0 ] }"
    " coordIndex [ 0 1 2 3 -1 ] } } }\n";

TEST_F(DrawnGeometry, WithoutTextureCoordinatesTheTextureSpansTheLongestSides) {
  // At 160 x 128 the floor fills the lower left, the quad the upper right.
  Draw(kVrml, kDefaultMappingWorld, 160, 128);
  EXPECT_EQ(HuesIn(0, 60, 100, 115), "rgby") << "the floor shows the picture once";
  EXPECT_EQ(HuesIn(108, 34, 160, 58), "rg") << "t covers half of s: the lower half of the picture";
  Draw(kOwn, kDefaultMappingWorld, 160, 128);
  EXPECT_EQ(HuesIn(0, 60, 100, 115), "by") << "one texel row streaked across the floor";
  EXPECT_EQ(HuesIn(108, 34, 160, 58), "rgby") << "the whole picture squeezed";
}

// A flat grid of 8 x 8 seen from straight above: s runs along x, t along z.
TEST_F(DrawnGeometry, AnElevationGridIsTexturedAcrossXAndZ) {
  const std::string grid =
      "Viewpoint { position 0 10 0 orientation 1 0 0 -1.5708 }\n"
      "Transform { translation -4 0 -4 children Shape { appearance Appearance { texture " + FourColourPicture() +
      " } geometry ElevationGrid { xDimension 3 zDimension 3 xSpacing 4 zSpacing 4 height [ 0 0 0 0 0 0 0 0 0 ] } } }";
  // Top left, top right, bottom left, bottom right of the frame; -z is up.
  Draw(kVrml, grid);
  EXPECT_EQ(HuesAt({{22, 22}, {42, 22}, {22, 42}, {42, 42}}), "rgby");
  Draw(kOwn, grid);
  const std::string streaked = HuesAt({{22, 22}, {42, 22}, {22, 42}, {42, 42}});
  EXPECT_EQ(streaked.substr(0, 2), streaked.substr(2, 2)) << "the same texel row near and far";
}

// Two slopes meeting in a ridge along y, lit from the left (and by the
// view's ambient light) without reaching white: faceted, each slope is one
// colour; smoothed, the colour runs across it.
class CreasedGeometry : public DrawnGeometry {
 protected:
  // The difference in green between a pixel near the left slope's outer
  // edge and one near the ridge.
  int LeftSlopeSpread(WorldConvention kind, const std::string& shape) {
    Draw(kind,
         "NavigationInfo { headlight FALSE } Viewpoint { position 0 0 5 }\n"
         "DirectionalLight { direction 1 0 -1 intensity 0.7 }\n" + shape);
    EXPECT_NE(Pixel(20, 32), 0u) << shape;
    return std::abs(Channel(Pixel(20, 32), 8) - Channel(Pixel(27, 32), 8));
  }
};

std::string LitShape(const std::string& geometry) {
  return "Shape { appearance Appearance { material Material { diffuseColor 0.7 0.7 0.7 } } geometry " + geometry +
         " }";
}

// The ridge as faces, as a grid turned to face the viewer, and as a sweep
// of an open cross-section; `crease` ends the geometry's fields.
std::vector<std::string> Ridges(const std::string& crease) {
  return {LitShape("IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 0 -1 0.5, 0 1 0.5, -1 1 0, 1 -1 0, 1 1 0 ] }"
                   " coordIndex [ 0 1 2 3 -1 1 4 5 2 -1 ] " + crease + " }"),
          "Transform { translation -1 0.5 0 rotation 1 0 0 1.5708 children " +
              LitShape("ElevationGrid { xDimension 3 zDimension 2 height [ 0 0.5 0, 0 0.5 0 ] " + crease + " }") +
              " }",
          LitShape("Extrusion { beginCap FALSE endCap FALSE crossSection [ -1 0, 0 0.5, 1 0 ]"
                   " spine [ 0 -1 0, 0 1 0 ] " + crease + " }")};
}

TEST_F(CreasedGeometry, EdgesSharperThanCreaseAngleStaySharp) {
  const std::vector<std::string> faceted = Ridges("");
  const std::vector<std::string> smooth = Ridges("creaseAngle 1.6");
  for (size_t i = 0; i < faceted.size(); ++i) {
    EXPECT_LE(LeftSlopeSpread(kVrml, faceted[i]), 1) << faceted[i] << ": faceted by default";
    EXPECT_GT(LeftSlopeSpread(kVrml, smooth[i]), 8) << smooth[i] << ": smooth within the crease angle";
    EXPECT_GT(LeftSlopeSpread(kOwn, faceted[i]), 8) << faceted[i] << ": this system's worlds smooth every edge";
  }
}

// The picture on a quad filling the middle of the frame; the pixels probe
// texture coordinates (s, 0.25) at s = 0.125, 0.5 and 0.95 of the quad,
// then (0.25, 0.25) and (0.75, 0.25).
std::string TransformedQuad(const std::string& transform) {
  return "Viewpoint { position 0 0 3 }\n"
         "Shape { appearance Appearance { texture " + FourColourPicture() +
         " textureTransform TextureTransform { " + transform + " } }"
         " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
         " texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1 ] } coordIndex [ 0 1 2 3 -1 ] } }";
}

TEST_F(DrawnGeometry, TextureTransformsMoveAndTurnAsVrmlBrowsersDo) {
  // Moved by a quarter: the seam between tiles at three quarters of the face.
  Draw(kVrml, TransformedQuad("translation 0.25 0"));
  EXPECT_EQ(HuesAt({{13, 45}, {32, 45}, {55, 45}}), "rgr");
  Draw(kOwn, TransformedQuad("translation 0.25 0"));
  EXPECT_EQ(HuesAt({{13, 45}, {32, 45}, {55, 45}}), "grg") << "this system's worlds move the other way";

  // A quarter turn of the coordinates counter-clockwise.
  Draw(kVrml, TransformedQuad("rotation 1.5708"));
  EXPECT_EQ(HuesAt({{19, 45}, {45, 45}}), "gy");
  Draw(kOwn, TransformedQuad("rotation 1.5708"));
  EXPECT_EQ(HuesAt({{19, 45}, {45, 45}}), "br") << "this system's worlds turn the other way";
}

TEST_F(DrawnGeometry, EmissiveColourAddsToTheLitColourAndColoursLinesAndPoints) {
  const std::string dark = kAmbientOnlyView;
  const std::string glowing =
      "Shape { appearance Appearance { material Material { diffuseColor 0.5 0.5 0.5 emissiveColor 0.25 0 0 } }"
      " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
      " coordIndex [ 0 1 2 3 ] } }";
  Draw(kVrml, dark + glowing);
  EXPECT_TRUE(PixelsNear(Center(), PixelOf(0.25f, 0.0f, 0.0f))) << "no light but the emissive colour";
  Draw(kOwn, dark + glowing);
  EXPECT_TRUE(PixelsNear(Center(), PixelOf(0.125f, 0.125f, 0.125f))) << "no emissive colour in this system's";

  auto line = [](const std::string& material) {
    return "Shape { appearance Appearance { material Material { " + material +
           " } } geometry IndexedLineSet { coord Coordinate { point [ -1 0 0, 1 0 0 ] } coordIndex [ 0 1 ] } }";
  };
  // Lines and points are written in the colour itself.
  Draw(kVrml, dark + line("diffuseColor 1 0 0 emissiveColor 0 1 0"));
  EXPECT_EQ(Center(), 0x00FF00u);
  Draw(kVrml, dark + line("diffuseColor 1 0 0"));
  EXPECT_EQ(Center(), 0u) << "lines are unlit: no emissive colour, black";
  Draw(kOwn, dark + line("diffuseColor 1 0 0 emissiveColor 0 1 0"));
  EXPECT_EQ(Center(), 0xFF0000u) << "this system's lines take the diffuse colour";

  const std::string point =
      "Shape { appearance Appearance { material Material { emissiveColor 0 0 1 } }"
      " geometry PointSet { coord Coordinate { point [ 0 0 0 ] } } }";
  Draw(kVrml, dark + point);
  EXPECT_EQ(Center(), 0x0000FFu);
  Draw(kOwn, dark + point);
  EXPECT_EQ(Center(), 0xFFFFFFu) << "this system's points are white";
}

// Two quads side by side, or a grid of two squares, coloured per face.
TEST_F(DrawnGeometry, ColorNodesColourFacesAndVertices) {
  const std::string view = kAmbientOnlyView;
  const std::string twoQuads =
      "Shape { geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 0 -1 0, 1 -1 0, -1 1 0, 0 1 0, 1 1 0 ] }"
      " coordIndex [ 0 1 4 3 -1 1 2 5 4 -1 ] color Color { color [ 1 0 0, 0 0 1 ] } colorPerVertex FALSE"
      " colorIndex [ 1 0 ] } }";
  const std::string twoSquares =
      "Transform { translation -1 0.5 0 rotation 1 0 0 1.5708 children Shape { geometry ElevationGrid {"
      " xDimension 3 zDimension 2 height [ 0 0 0 0 0 0 ] color Color { color [ 0 0 1, 1 0 0 ] }"
      " colorPerVertex FALSE } } }";
  for (const std::string& shape : {twoQuads, twoSquares}) {
    // Without a material the colours show as they are.
    Draw(kVrml, view + shape);
    EXPECT_EQ(Pixel(20, 32), PixelOf(0, 0, 1)) << shape;
    EXPECT_EQ(Pixel(44, 32), PixelOf(1, 0, 0)) << shape;
    Draw(kOwn, view + shape);
    EXPECT_EQ(Pixel(20, 32), Pixel(44, 32)) << "this system's worlds have no colours: " << shape;
  }

  // With a material the colours replace its diffuse colour and are lit.
  std::string lit = twoQuads;
  lit.replace(lit.find("Shape {") + 7, 0, " appearance Appearance { material Material { diffuseColor 0 1 0 } }");
  Draw(kVrml, view + "DirectionalLight { intensity 0.25 }" + lit);
  EXPECT_TRUE(PixelsNear(Pixel(20, 32), PixelOf(0, 0, 0.25f)));

  // Per-vertex colours run across the face.
  Draw(kVrml, view +
                  "Shape { geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
                  " coordIndex [ 0 1 2 3 ] color Color { color [ 1 0 0, 0 0 1 ] } colorIndex [ 0 1 1 0 ] } }");
  EXPECT_GT(Channel(Pixel(12, 32), 16), Channel(Pixel(52, 32), 16));
  EXPECT_LT(Channel(Pixel(12, 32), 0), Channel(Pixel(52, 32), 0));
}

}  // namespace
}  // namespace vx::test
