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
  EXPECT_EQ(Corners("0 1 2 -1 0 1 2 3 4 -1 2 3 0"), (std::vector<int32_t>{3, 3, 3, 3, 3}))
      << "a pentagon is cut into three triangles between the faces around it";
  EXPECT_EQ(Corners("-1 -1 0 -1 0 1 -1 1 2 3"), (std::vector<int32_t>{3}));
}

// Whether the triangles of the mesh cover p (x, y) an odd number of times,
// and the summed area of all of them.
struct Coverage {
  int covering = 0;
  float area = 0.0f;
};

Coverage CoverageAt(const CMeshBuffer& mesh, float x, float y) {
  Coverage result;
  for (int32_t i = 0; i < mesh.PolygonCount(); ++i) {
    const MeshPolygon& t = *mesh.GetPolygon(i);
    EXPECT_EQ(t.vertexCount, 3);
    const CVec3f a = mesh.GetVertex(t.vertices[0]), b = mesh.GetVertex(t.vertices[1]), c = mesh.GetVertex(t.vertices[2]);
    auto side = [&](const CVec3f& p, const CVec3f& q) { return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x); };
    const float s0 = side(a, b), s1 = side(b, c), s2 = side(c, a);
    const float area = 0.5f * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
    EXPECT_GT(area, 0.0f) << "triangle " << i << " keeps the face's counter-clockwise winding";
    result.area += std::fabs(area);
    if ((s0 > 0 && s1 > 0 && s2 > 0) || (s0 < 0 && s1 < 0 && s2 < 0)) ++result.covering;
  }
  return result;
}

TEST_F(FaceSet, AConcaveFaceDeclaredNotConvexIsCutAlongItsOutline) {
  // A U opening upwards, counter-clockwise: its notch (0, 1) lies outside.
  const std::string u = "coord Coordinate { point [ -2 -2 0, 2 -2 0, 2 2 0, 1 2 0, 1 0 0, -1 0 0, -1 2 0, -2 2 0 ] }";
  CIndexedFaceSetNode& concave = Read(u + " convex FALSE coordIndex [ 0 1 2 3 4 5 6 7 ]");
  ASSERT_TRUE(concave.UpdateMesh());
  EXPECT_EQ(concave.Mesh()->PolygonCount(), 6);
  EXPECT_EQ(CoverageAt(*concave.Mesh(), 0.0f, 1.0f).covering, 0) << "the notch stays open";
  EXPECT_EQ(CoverageAt(*concave.Mesh(), 1.6f, 1.1f).covering, 1);
  EXPECT_EQ(CoverageAt(*concave.Mesh(), 0.1f, -1.1f).covering, 1);
  EXPECT_FLOAT_EQ(CoverageAt(*concave.Mesh(), 0.0f, 0.0f).area, 12.0f) << "the triangles tile the U exactly";

  // A concave quadrilateral (an arrow head) too: the fill takes convex
  // polygons only.
  CIndexedFaceSetNode& arrow =
      Read("coord Coordinate { point [ 0 2 0, -2 -2 0, 0 0 0, 2 -2 0 ] } convex FALSE coordIndex [ 0 1 2 3 ]");
  ASSERT_TRUE(arrow.UpdateMesh());
  EXPECT_EQ(arrow.Mesh()->PolygonCount(), 2);
  EXPECT_EQ(CoverageAt(*arrow.Mesh(), 0.0f, -1.0f).covering, 0);
}

TEST_F(FaceSet, LargeFacesAreFannedWhenConvexOrBeyondTheTriangulator) {
  // A convex face is trusted to be convex: a fan from its first corner.
  CIndexedFaceSetNode& hexagon =
      Read("coord Coordinate { point [ 2 0 0, 1 2 0, -1 2 0, -2 0 0, -1 -2 0, 1 -2 0 ] } coordIndex [ 0 1 2 3 4 5 ]");
  ASSERT_TRUE(hexagon.UpdateMesh());
  ASSERT_EQ(hexagon.Mesh()->PolygonCount(), 4);
  for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(hexagon.Mesh()->GetPolygon(i)->vertices[0], 0);
  EXPECT_FLOAT_EQ(CoverageAt(*hexagon.Mesh(), 0.0f, 0.0f).area, 12.0f);

  // An outline that crosses itself (a pentagram in one stroke) is fanned
  // rather than lost.
  CIndexedFaceSetNode& pentagram = Read(
      "coord Coordinate { point [ 0 2 0, -1.2 -1.6 0, 1.9 0.6 0, -1.9 0.6 0, 1.2 -1.6 0 ] } convex FALSE"
      " coordIndex [ 0 1 2 3 4 ]");
  ASSERT_TRUE(pentagram.UpdateMesh());
  EXPECT_EQ(pentagram.Mesh()->PolygonCount(), 3);

  // A circle of more corners than the triangulator takes is still drawn.
  std::string points, indices;
  const int corners = 400;
  for (int i = 0; i < corners; ++i) {
    const double angle = 2.0 * 3.14159265358979 * i / corners;
    points += std::to_string(std::cos(angle)) + " " + std::to_string(std::sin(angle)) + " 0, ";
    indices += std::to_string(i) + " ";
  }
  CIndexedFaceSetNode& circle =
      Read("coord Coordinate { point [ " + points + " ] } convex FALSE coordIndex [ " + indices + " ]");
  ASSERT_TRUE(circle.UpdateMesh());
  EXPECT_EQ(circle.Mesh()->PolygonCount(), corners - 2);
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

TEST_F(FaceSet, NewValuesInItsPropertyNodesRebuildEveryFaceSetThatHoldsThem) {
  world = test::ReadWorld(
      "DEF A IndexedFaceSet { coord DEF C Coordinate { point [ 0 0 0, 1 0 0, 0 1 0 ] }"
      " normal DEF N Normal { vector [ 0 0 1, 0 0 1, 0 0 1 ] }"
      " texCoord DEF T TextureCoordinate { point [ 0 0, 1 0, 0 1 ] } coordIndex [ 0 1 2 ] }"
      "DEF B IndexedFaceSet { coord USE C coordIndex [ 0 1 2 3 ] }");
  CIndexedFaceSetNode& a = test::TopNode<CIndexedFaceSetNode>(*world, 0);
  CIndexedFaceSetNode& b = test::TopNode<CIndexedFaceSetNode>(*world, 1);
  ASSERT_TRUE(a.UpdateMesh());
  ASSERT_TRUE(b.UpdateMesh());
  EXPECT_EQ(b.Mesh()->PolygonCount(), 0) << "index 3 lies outside the three points";

  SFVec3f square[] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const MFVec3f points{4, square};
  ASSERT_EQ(world->FindNode("C")->ReceiveEvent("set_point", &points), 0);
  for (CIndexedFaceSetNode* node : {&a, &b}) {
    ASSERT_TRUE(node->UpdateMesh());
    EXPECT_EQ(node->Mesh()->GetVertex(1), CVec3f(2, 0, 0));
  }
  EXPECT_EQ(b.Mesh()->PolygonCount(), 1) << "the faces are checked against the new points";
  EXPECT_FALSE(a.Mesh()->SuppliedNormals()) << "three normals no longer match four points";

  SFVec3f up[] = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
  const MFVec3f vectors{4, up};
  ASSERT_EQ(world->FindNode("N")->ReceiveEvent("set_vector", &vectors), 0);
  SFVec2f corners[] = {{0, 0}, {1, 0}, {1, 1}, {0.25f, 1}};
  const MFVec2f texPoints{4, corners};
  ASSERT_EQ(world->FindNode("T")->ReceiveEvent("set_point", &texPoints), 0);
  ASSERT_TRUE(a.UpdateMesh());
  EXPECT_TRUE(a.Mesh()->SuppliedNormals());
  EXPECT_EQ(a.Mesh()->GetNormal(2), CVec3f(0, 1, 0));
  EXPECT_EQ(a.Mesh()->GetTexCoord(3), CVec2f(0.25f, 0.0f));

  // Nothing new: the mesh is kept.
  const CMeshBuffer* kept = a.Mesh();
  ASSERT_TRUE(a.UpdateMesh());
  EXPECT_EQ(a.Mesh(), kept);
}

TEST_F(FaceSet, APrototypeOfCoordinatesPassesItsChangesOn) {
  world = test::ReadWorld(
      "PROTO Points [ exposedField MFVec3f point [ 0 0 0, 1 0 0, 0 1 0 ] ] { Coordinate { point IS point } }\n"
      "DEF P Points { }\n"
      "IndexedFaceSet { coord USE P coordIndex [ 0 1 2 ] }");
  CIndexedFaceSetNode& node = test::TopNode<CIndexedFaceSetNode>(*world, 1);
  ASSERT_TRUE(node.UpdateMesh());
  SFVec3f moved[] = {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}};
  const MFVec3f points{3, moved};
  ASSERT_EQ(world->FindNode("P")->ReceiveEvent("set_point", &points), 0);
  ASSERT_TRUE(node.UpdateMesh());
  EXPECT_EQ(node.Mesh()->GetVertex(2), CVec3f(0, 3, 0));
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
