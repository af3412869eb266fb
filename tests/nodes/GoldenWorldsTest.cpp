// Worlds read from text, drawn at 640 x 480 into a 32-bit frame and compared
// with golden images in tests/data/nodes.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "RenderedWorld.h"
#include "tests/render/GoldenImage.h"

namespace vx::test {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kTolerance = 2;

const std::string kStage =
    "NavigationInfo { headlight FALSE }\n"
    "DirectionalLight { direction -0.3 -0.5 -1 }\n"
    "DirectionalLight { direction 0.8 0.3 -0.4 intensity 0.35 color 0.7 0.8 1 }\n"
    "Viewpoint { position 0 0 6 }\n";

std::string Shape(const std::string& color, const std::string& geometry) {
  return "Shape { appearance Appearance { material Material { diffuseColor " + color + " } } geometry " + geometry +
         " }\n";
}

// The corners of a star of `tips` points, counter-clockwise from the top,
// alternating between the two radii.
std::string StarPoints(int tips, float outer, float inner) {
  std::string points;
  for (int k = 0; k < 2 * tips; ++k) {
    const double angle = std::numbers::pi / 2 + std::numbers::pi * k / tips;
    const double radius = k % 2 == 0 ? outer : inner;
    points += std::to_string(radius * std::cos(angle)) + " " + std::to_string(radius * std::sin(angle)) + " 0, ";
  }
  return points;
}

std::string Indices(int count) {
  std::string indices;
  for (int i = 0; i < count; ++i) indices += std::to_string(i) + " ";
  return indices;
}

class GoldenWorld : public RenderedWorld {
 protected:
  void ExpectGolden(const std::string& name) {
    ExpectGoldenImage("nodes/" + name + ".png", kWidth, kHeight, Pixels(), kTolerance);
  }
};

TEST_F(GoldenWorld, ABoxSeenAtFourToThree) {
  Load(kStage + "Transform { rotation 1 1 0 0.5 children " + Shape("0.85 0.45 0.15", "Box { }") + " }", kWidth,
       kHeight);
  ExpectGolden("fov_box_4x3");
}

TEST_F(GoldenWorld, ConcaveFacesDeclaredNotConvex) {
  const std::string star = "IndexedFaceSet { convex FALSE coord Coordinate { point [ " + StarPoints(5, 1.4f, 0.55f) +
                           " ] } coordIndex [ " + Indices(10) + "] }";
  const std::string u =
      "IndexedFaceSet { convex FALSE coord Coordinate { point [ -1 -1.2 0, 1 -1.2 0, 1 1.2 0, 0.45 1.2 0,"
      " 0.45 -0.3 0, -0.45 -0.3 0, -0.45 1.2 0, -1 1.2 0 ] } coordIndex [ 0 1 2 3 4 5 6 7 ] }";
  Load(kStage + "Transform { translation -1.6 0 0 children " + Shape("0.9 0.8 0.2", star) + " }" +
           "Transform { translation 1.6 0 0 children " + Shape("0.3 0.6 0.9", u) + " }",
       kWidth, kHeight);
  ExpectGolden("concave_faces");
}

TEST_F(GoldenWorld, AFaceMorphedByACoordinateInterpolator) {
  const std::string decagon = StarPoints(5, 1.3f, 1.3f);
  const std::string star = StarPoints(5, 1.6f, 0.45f);
  Load(kStage + "DEF Morph CoordinateInterpolator { key [ 0 1 ] keyValue [ " + decagon + star + " ] }\n" +
           Shape("0.8 0.3 0.7", "IndexedFaceSet { convex FALSE coord DEF Face Coordinate { point [ " + decagon +
                                    " ] } coordIndex [ " + Indices(10) + "] }") +
           "ROUTE Morph.value_changed TO Face.set_point\n",
       kWidth, kHeight);
  for (const auto& [fraction, name] : {std::pair{0.2f, "morph_at_0_2"}, std::pair{0.8f, "morph_at_0_8"}}) {
    ASSERT_EQ(Named("Morph").ReceiveEvent("set_fraction", &fraction), 0);
    Frame();
    ExpectGolden(name);
  }
}

}  // namespace
}  // namespace vx::test
