#include <gtest/gtest.h>

#include <cmath>

#include "NodeTestSupport.h"
#include "engine/scene/nodes/GeometricPropertyNodes.h"
#include "engine/scene/nodes/IndexedFaceSetNode.h"
#include "tests/render/GeometryTestSupport.h"

namespace vx {
namespace {

const char* const kSquare = "coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0, 0 0 0 ] }";

class FaceSet : public ::testing::Test {
 protected:
  CIndexedFaceSetNode& Read(const std::string& fields) {
    world = test::ReadWorld("IndexedFaceSet { " + fields + " }");
    return test::TopNode<CIndexedFaceSetNode>(*world);
  }
  // The corner counts of the mesh's polygons, in order.
  std::vector<int32_t> Corners(const std::string& coordIndex) {
    CIndexedFaceSetNode& node = Read(std::string(kSquare) + " coordIndex [ " + coordIndex + " ]");
    EXPECT_TRUE(node.UpdateMesh());
    std::vector<int32_t> corners;
    for (int32_t i = 0; i < node.Mesh()->PolygonCount(); ++i) corners.push_back(node.Mesh()->GetPolygon(i)->vertexCount);
    return corners;
  }

  std::unique_ptr<CBrowser> world;
};

TEST_F(FaceSet, FacesOfThreeOrFourCornersBecomePolygonsInOrder) {
  EXPECT_EQ(Corners("0 1 2 -1 0 2 3 -1"), (std::vector<int32_t>{3, 3}));
  EXPECT_EQ(Corners("0 1 2 3"), (std::vector<int32_t>{4}));
  EXPECT_EQ(Corners("0 1 2 -1 0 1 2 3 4 -1 2 3 0"), (std::vector<int32_t>{3, 3})) << "a pentagon is dropped";
  EXPECT_EQ(Corners("-1 -1 0 -1 0 1 -1 1 2 3"), (std::vector<int32_t>{3}));
}

TEST_F(FaceSet, FacesWithIndicesOutsideThePointsAreDropped) {
  EXPECT_EQ(Corners("0 1 5 -1 0 1 2 -1 0 -2 1 -1 2 3 2147483647"), (std::vector<int32_t>{3}));
  CIndexedFaceSetNode& node = Read(std::string(kSquare) + " coordIndex [ 3 1 2 ]");
  ASSERT_TRUE(node.UpdateMesh());
  const MeshPolygon& face = *node.Mesh()->GetPolygon(0);
  EXPECT_EQ((std::array<int32_t, 3>{face.vertices[0], face.vertices[1], face.vertices[2]}),
            (std::array<int32_t, 3>{3, 1, 2}));
}

TEST_F(FaceSet, NothingIsBuiltFromAMissingOrMisshapenCoordinateList) {
  EXPECT_FALSE(Read("coordIndex [ 0 1 2 ]").UpdateMesh());
  EXPECT_FALSE(Read(std::string(kSquare)).UpdateMesh());
  CIndexedFaceSetNode& empty = Read("coord Coordinate { } coordIndex [ 0 1 2 ]");
  ASSERT_TRUE(empty.UpdateMesh());
  EXPECT_EQ(empty.Mesh()->PolygonCount(), 0) << "no points, no faces";
  // A TextureCoordinate holds 2-D points: reading them as 3-D ones would run
  // past their array.
  CIndexedFaceSetNode& node = Read("coord TextureCoordinate { point [ 0 0, 1 0, 1 1 ] } coordIndex [ 0 1 2 ]");
  EXPECT_FALSE(node.UpdateMesh());
  EXPECT_EQ(node.Mesh(), nullptr);

  // The change stays pending until usable coordinates arrive.
  CNodeRef coordinate = MakeNode<CCoordinateNode>();
  SFVec3f points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  test::SetValue(*coordinate.Get(), "point", MFVec3f{3, points});
  node.SetField("coord", &coordinate);
  ASSERT_TRUE(node.UpdateMesh());
  EXPECT_EQ(node.Mesh()->PolygonCount(), 1);
}

TEST_F(FaceSet, GivenListsAreUsedWhenTheyMatchThePointsElseDerived) {
  CIndexedFaceSetNode& given = Read(std::string(kSquare) +
                                    " normal Normal { vector [ 0 0 2, 0 0 0, 3 0 0, 0 4 0, 0 0 -1 ] }"
                                    " texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1, 0.5 0.25 ] }"
                                    " coordIndex [ 0 1 2 3 ]");
  ASSERT_TRUE(given.UpdateMesh());
  EXPECT_TRUE(given.Mesh()->SuppliedNormals());
  EXPECT_EQ(given.Mesh()->GetNormal(0), CVec3f(0, 0, 1));
  EXPECT_EQ(given.Mesh()->GetNormal(1), CVec3f(0, 0, 1)) << "a zero vector gives +Z, not NaN";
  EXPECT_EQ(given.Mesh()->GetTexCoord(4), CVec2f(0.5f, 0.75f)) << "t is flipped";

  CIndexedFaceSetNode& derived = Read(std::string(kSquare) +
                                      " normal Normal { vector [ 1 0 0 ] }"
                                      " texCoord TextureCoordinate { point [ 0.5 0.5 ] }"
                                      " coordIndex [ 0 1 2 3 ]");
  ASSERT_TRUE(derived.UpdateMesh());
  EXPECT_FALSE(derived.Mesh()->SuppliedNormals());
  EXPECT_NEAR(std::fabs(derived.Mesh()->GetNormal(0).z), 1.0f, 1e-6f) << "the face normal of the square";
  EXPECT_EQ(derived.Mesh()->GetTexCoord(0), CVec2f(0, 1)) << "planar: s across x, t down y";
}

TEST_F(FaceSet, OnlyCoordinatesAndFacesRebuildThePolygons) {
  CIndexedFaceSetNode& node = Read(std::string(kSquare) + " coordIndex [ 0 1 2 3 ]");
  ASSERT_TRUE(node.UpdateMesh());
  const CMeshBuffer* built = node.Mesh();
  int16_t clockwise = 0;
  EXPECT_EQ(node.ReceiveEvent("set_ccw", &clockwise), 0);
  EXPECT_TRUE(node.IsDirty());
  ASSERT_TRUE(node.UpdateMesh());
  EXPECT_EQ(node.Mesh(), built);
  EXPECT_FALSE(node.IsDirty());

  int32_t triangle[] = {0, 1, 2};
  const MFInt32 faces{3, triangle};
  EXPECT_EQ(node.ReceiveEvent("set_coordIndex", &faces), 0);
  ASSERT_TRUE(node.UpdateMesh());
  EXPECT_EQ(node.Mesh()->PolygonCount(), 1);
  EXPECT_EQ(node.Mesh()->GetPolygon(0)->vertexCount, 3);
}

// A square over the middle of a 16 x 16 frame, drawn red under white
// ambient light with the identity projection.
class FaceSetDrawing : public FaceSet {
 protected:
  uint32_t DrawnCentre(const std::string& fields) {
    CIndexedFaceSetNode& node = Read(
        "coord Coordinate { point [ -0.5 -0.5 0, 0.5 -0.5 0, 0.5 0.5 0, -0.5 0.5 0 ] } " + fields);
    test::StageFrame frame(16, 16, 4);
    test::LightWithWhiteAmbient(frame.stage);
    MaterialRecord red = test::FlatMaterial({1, 0, 0});
    frame.stage.SetMaterial(&red);
    EXPECT_TRUE(node.UpdateMesh());
    node.Draw(frame.stage);
    return frame.Xrgb(8, 8);
  }
};

TEST_F(FaceSetDrawing, CcwDecidesWhichWindingIsTheFront) {
  const uint32_t red = test::Xrgb32(1, 0, 0);
  EXPECT_EQ(DrawnCentre("coordIndex [ 0 1 2 3 ]"), red);
  EXPECT_EQ(DrawnCentre("coordIndex [ 3 2 1 0 ]"), 0u);
  EXPECT_EQ(DrawnCentre("ccw FALSE coordIndex [ 3 2 1 0 ]"), red);
  EXPECT_EQ(DrawnCentre("ccw FALSE coordIndex [ 0 1 2 3 ]"), 0u);
  EXPECT_EQ(DrawnCentre("solid FALSE coordIndex [ 3 2 1 0 ]"), 0u) << "solid changes nothing";
}

}  // namespace
}  // namespace vx
