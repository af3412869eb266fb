#include <gtest/gtest.h>

#include <cmath>

#include "NodeTestSupport.h"
#include "engine/scene/SceneLimits.h"
#include "engine/nodes/GeometricPropertyNodes.h"
#include "engine/nodes/IndexedFaceSetNode.h"
#include "tests/render/GeometryTestSupport.h"

namespace vx {
namespace {

const char* const kSquare = "coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0, 0 0 0 ] }";

// The mesh as this system's own worlds build it unless told otherwise.
class FaceSet : public ::testing::Test {
 protected:
  CIndexedFaceSetNode& Read(const std::string& fields, WorldConvention convention = WorldConvention::kSystem) {
    world = test::ReadWorld("IndexedFaceSet { " + fields + " }", convention);
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
      "DEF B IndexedFaceSet { coord USE C coordIndex [ 0 1 2 3 ] }",
      WorldConvention::kSystem);
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

// A clockwise concave face keeps turning clockwise once cut: it shows the
// side it faces.
TEST_F(FaceSet, ConcaveFacesCutIntoTrianglesTurnAsTheFaceDoes) {
  for (WorldConvention convention : {WorldConvention::kSystem, WorldConvention::kStandard}) {
    CIndexedFaceSetNode& u = Read(
        "coord Coordinate { point [ -2 -2 0, 2 -2 0, 2 2 0, 1 2 0, 1 0 0, -1 0 0, -1 2 0, -2 2 0 ] } convex FALSE"
        " coordIndex [ 7 6 5 4 3 2 1 0 ]",
        convention);
    ASSERT_TRUE(u.UpdateMesh());
    const CMeshBuffer& mesh = *u.Mesh();
    ASSERT_EQ(mesh.PolygonCount(), 6);
    for (int32_t i = 0; i < mesh.PolygonCount(); ++i) {
      const MeshPolygon& t = *mesh.GetPolygon(i);
      const CVec3f a = mesh.GetVertex(t.vertices[0]), b = mesh.GetVertex(t.vertices[1]), c = mesh.GetVertex(t.vertices[2]);
      EXPECT_LT((b - a).Cross(c - a).z, 0.0f) << "triangle " << i;
    }
  }
}

// A cube of 8 points, its faces counter-clockwise seen from outside.
const char* const kCube =
    "coord Coordinate { point [ -1 -1 -1, 1 -1 -1, 1 1 -1, -1 1 -1, -1 -1 1, 1 -1 1, 1 1 1, -1 1 1 ] }"
    " coordIndex [ 0 3 2 1 -1 4 5 6 7 -1 0 1 5 4 -1 2 3 7 6 -1 1 2 6 5 -1 0 4 7 3 -1 ] ";

// The normal of every corner, in polygon order.
std::vector<CVec3f> CornerNormals(const CMeshBuffer& mesh) {
  std::vector<CVec3f> normals;
  for (int32_t i = 0; i < mesh.PolygonCount(); ++i) {
    const MeshPolygon& p = *mesh.GetPolygon(i);
    for (int32_t j = 0; j < p.vertexCount; ++j) normals.push_back(mesh.GetNormal(p.vertices[j]));
  }
  return normals;
}

// In VRML 2.0 worlds a point becomes a vertex per distinct set of corner
// values, and stays one where they agree.
TEST_F(FaceSet, PointsSplitOnlyWhereTheirCornersDiffer) {
  CIndexedFaceSetNode& flat = Read(
      "coord Coordinate { point [ 0 0 0, 1 0 0, 2 0 0, 0 1 0, 1 1 0, 2 1 0 ] } coordIndex [ 0 1 4 3 -1 1 2 5 4 ]",
      WorldConvention::kStandard);
  ASSERT_TRUE(flat.UpdateMesh());
  EXPECT_EQ(flat.Mesh()->VertexCount(), 6) << "coplanar faces agree at every shared point";
  EXPECT_EQ(flat.Mesh()->GetPolygon(1)->vertices, (std::array<int32_t, 4>{1, 2, 5, 4}));
  EXPECT_EQ(flat.Mesh()->GetNormal(4), CVec3f(0, 0, 1)) << "toward the side the faces turn counter-clockwise";

  CIndexedFaceSetNode& faceted = Read(kCube, WorldConvention::kStandard);
  ASSERT_TRUE(faceted.UpdateMesh());
  EXPECT_EQ(faceted.Mesh()->VertexCount(), 24) << "each corner of the cube takes three face normals";
  const std::vector<CVec3f> normals = CornerNormals(*faceted.Mesh());
  EXPECT_EQ(normals[0], CVec3f(0, 0, -1));
  EXPECT_EQ(normals[4 * 4 + 2], CVec3f(1, 0, 0)) << "the +x face points out";

  CIndexedFaceSetNode& smooth = Read(std::string(kCube) + "creaseAngle 1.6", WorldConvention::kStandard);
  ASSERT_TRUE(smooth.UpdateMesh());
  ASSERT_EQ(smooth.Mesh()->VertexCount(), 8);
  const float third = 1.0f / std::sqrt(3.0f);
  EXPECT_NEAR(smooth.Mesh()->GetNormal(6).x, third, 1e-6f);
  EXPECT_NEAR(smooth.Mesh()->GetNormal(6).y, third, 1e-6f);

  CIndexedFaceSetNode& colored = Read(std::string(kCube) +
                                          "creaseAngle 1.6 colorPerVertex FALSE"
                                          " color Color { color [ 1 0 0, 0 1 0, 0 0 1 ] } colorIndex [ 0 0 1 1 2 2 ]",
                                      WorldConvention::kStandard);
  ASSERT_TRUE(colored.UpdateMesh());
  EXPECT_TRUE(colored.Mesh()->HasVertexColors());
  EXPECT_EQ(colored.Mesh()->VertexCount(), 24) << "every corner meets faces of three colours";
}

// A cone of many triangles around one tip, smoothed: at the limit the tip
// is one vertex, past it each triangle keeps its own normal there.
TEST_F(FaceSet, WhereTooManyFacesMeetTheyStayFlat) {
  for (int32_t sides : {kMaxSmoothedFacesAtAPoint, kMaxSmoothedFacesAtAPoint + 1}) {
    std::string points = "0 0 1, ";
    std::string faces;
    for (int32_t i = 0; i < sides; ++i) {
      const double angle = 2.0 * 3.14159265358979 * i / sides;
      points += std::to_string(std::cos(angle)) + " " + std::to_string(std::sin(angle)) + " 0, ";
      faces += "0 " + std::to_string(1 + i) + " " + std::to_string(1 + (i + 1) % sides) + " -1 ";
    }
    CIndexedFaceSetNode& cone = Read("creaseAngle 3 coord Coordinate { point [ " + points + " ] } coordIndex [ " +
                                         faces + " ]",
                                     WorldConvention::kStandard);
    ASSERT_TRUE(cone.UpdateMesh());
    const int32_t tips = cone.Mesh()->VertexCount() - sides;
    EXPECT_EQ(tips, sides == kMaxSmoothedFacesAtAPoint ? 1 : sides) << sides << " sides";
  }
}

TEST_F(FaceSet, NormalsPerFace) {
  CIndexedFaceSetNode& node =
      Read(std::string(kCube) +
               "normalPerVertex FALSE normal Normal { vector [ 0 0 2, 0 3 0 ] } normalIndex [ 0 1 0 1 0 1 ]",
           WorldConvention::kStandard);
  ASSERT_TRUE(node.UpdateMesh());
  const std::vector<CVec3f> normals = CornerNormals(*node.Mesh());
  EXPECT_EQ(normals[0], CVec3f(0, 0, 1));
  EXPECT_EQ(normals[7], CVec3f(0, 1, 0));
  EXPECT_EQ(node.Mesh()->VertexCount(), 14) << "the two points whose faces all take one normal stay whole";

  // Without normals each face takes its own, whatever the crease angle.
  CIndexedFaceSetNode& flat = Read(std::string(kCube) + "normalPerVertex FALSE creaseAngle 3", WorldConvention::kStandard);
  ASSERT_TRUE(flat.UpdateMesh());
  EXPECT_EQ(flat.Mesh()->VertexCount(), 24);
}

// An index list that fails a single corner is left out: the values are
// derived instead, as if the property had none.
TEST_F(FaceSet, IndexListsThatMissACornerAreNotUsed) {
  const std::string quad = "coord Coordinate { point [ 0 0 0, 2 0 0, 2 1 0, 0 1 0 ] } coordIndex [ 0 1 2 3 ] ";
  CIndexedFaceSetNode& node =
      Read(quad +
               "texCoord TextureCoordinate { point [ 0.5 0.5, 0.5 0.5 ] } texCoordIndex [ 0 1 1 ]"
               " normal Normal { vector [ 1 0 0 ] } normalIndex [ 0 0 0 7 ]"
               " color Color { color [ 1 0 0 ] } colorIndex [ 0 0 0 -1 ]",
           WorldConvention::kStandard);
  ASSERT_TRUE(node.UpdateMesh());
  const CMeshBuffer& mesh = *node.Mesh();
  EXPECT_EQ(mesh.VertexCount(), 4);
  EXPECT_EQ(mesh.GetTexCoord(2), CVec2f(1.0f, 0.5f)) << "the default mapping";
  EXPECT_EQ(mesh.GetNormal(0), CVec3f(0, 0, 1)) << "derived";
  EXPECT_FALSE(mesh.HasVertexColors());

  // Without texCoordIndex the coordinates follow coordIndex.
  CIndexedFaceSetNode& plain =
      Read(quad + "texCoord TextureCoordinate { point [ 0 0, 1 0, 1 1, 0 1 ] }", WorldConvention::kStandard);
  ASSERT_TRUE(plain.UpdateMesh());
  EXPECT_EQ(plain.Mesh()->GetTexCoord(2), CVec2f(1, 0)) << "t is flipped";
}

// s along the longest side of the bounding box of the points the faces use,
// t along the second longest at the same scale; ties go to x, then y, then z.
TEST_F(FaceSet, TheDefaultMappingFollowsTheLongestSides) {
  auto texCoords = [&](const std::string& points, const std::string& faces) {
    CIndexedFaceSetNode& node = Read("coord Coordinate { point [ " + points + " ] } coordIndex [ " + faces + " ]",
                                     WorldConvention::kStandard);
    EXPECT_TRUE(node.UpdateMesh());
    std::vector<CVec2f> st;
    for (int32_t i = 0; i < node.Mesh()->VertexCount(); ++i) {
      const CVec2f stored = node.Mesh()->GetTexCoord(i);
      st.push_back({stored.x, 1.0f - stored.y});
    }
    return st;
  };
  // A floor: x wins the tie with z, y has no extent.
  EXPECT_EQ(texCoords("-4 -1 4, 4 -1 4, 4 -1 -4, -4 -1 -4", "0 1 2 3")[2], CVec2f(1.0f, 0.0f));
  // Standing in y/z, longer in z; an unused far point changes nothing.
  const std::vector<CVec2f> wall = texCoords("0 0 0, 0 0 4, 0 1 4, 0 1 0, 9 9 9", "0 1 2 3");
  EXPECT_EQ(wall[2], CVec2f(1.0f, 0.25f));
  EXPECT_EQ(wall[3], CVec2f(0.0f, 0.25f));
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
