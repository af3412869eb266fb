#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "GeometryTestNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/ExtrusionNode.h"
#include "engine/nodes/GeometryNodeSupport.h"

namespace vx {
namespace {

using test::As;

// The mesh as this system's own worlds build it unless told otherwise.
struct Sweep {
  explicit Sweep(WorldConvention convention = WorldConvention::kSystem)
      : in(convention), node(in.Make("Extrusion")) {}
  CExtrusionNode& extrusion() const { return As<CExtrusionNode>(node); }
  const CMeshBuffer* Traversed() const {
    node->Traverse(RenderPass::Frame, nullptr);
    return extrusion().GetMesh();
  }
  test::ConventionWorld in;
  CNodeRef node;
};

CVec3f TriangleNormal(const CMeshBuffer& mesh, const MeshPolygon& p) {
  const CVec3f a = mesh.GetVertex(p.vertices[0]);
  return (mesh.GetVertex(p.vertices[1]) - a).Cross(mesh.GetVertex(p.vertices[2]) - a);
}

// Area and centroids of the polygons first .. first + count - 1.
float CapArea(const CMeshBuffer& mesh, int32_t first, int32_t count) {
  float area = 0.0f;
  for (int32_t p = first; p < first + count; ++p) area += TriangleNormal(mesh, *mesh.GetPolygon(p)).Length() / 2;
  return area;
}

// Every polygon a triangle on vertices of the mesh.
void ExpectCleanTriangles(const CMeshBuffer& mesh) {
  for (int32_t p = 0; p < mesh.PolygonCount(); ++p) {
    const MeshPolygon& polygon = *mesh.GetPolygon(p);
    ASSERT_EQ(polygon.vertexCount, 3) << "polygon " << p;
    for (int32_t v = 0; v < 3; ++v) {
      EXPECT_GE(polygon.vertices[v], 0);
      EXPECT_LT(polygon.vertices[v], mesh.VertexCount());
    }
  }
}

TEST(Extrusion, DefaultIsABoxWithTwoTrianglesPerCap) {
  const Sweep sweep;
  const CMeshBuffer* mesh = sweep.Traversed();
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->VertexCount(), 10);
  ASSERT_EQ(mesh->PolygonCount(), 12);
  ExpectCleanTriangles(*mesh);
  EXPECT_EQ(mesh->GetVertex(0), (CVec3f{1, 0, 1}));
  EXPECT_EQ(mesh->GetVertex(7), (CVec3f{-1, 1, -1}));
  EXPECT_EQ(mesh->GetTexCoord(7), (CVec2f{0.5f, 1.0f}));
  const MeshPolygon& side = *mesh->GetPolygon(1);
  EXPECT_EQ(side.vertices[0], 6);
  EXPECT_EQ(side.vertices[1], 5);
  EXPECT_EQ(side.vertices[2], 1);
  EXPECT_FLOAT_EQ(CapArea(*mesh, 8, 2), 4.0f);
  EXPECT_FLOAT_EQ(CapArea(*mesh, 10, 2), 4.0f);
  // The begin cap is flipped against the end cap.
  EXPECT_LT(TriangleNormal(*mesh, *mesh->GetPolygon(8)).y * TriangleNormal(*mesh, *mesh->GetPolygon(10)).y, 0.0f);
  for (int32_t p = 8; p < 10; ++p) {
    for (int32_t v = 0; v < 3; ++v) EXPECT_LT(mesh->GetPolygon(p)->vertices[v], 4);
  }
}

TEST(Extrusion, ThreePointCrossSectionHasSingleTriangleCaps) {
  const Sweep sweep;
  test::SetList<SFVec2f>(sweep.node, "crossSection", {{0, 0}, {1, 0}, {0, 1}});
  const CMeshBuffer* mesh = sweep.Traversed();
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->PolygonCount(), 4 + 2);
  EXPECT_EQ(mesh->GetPolygon(4)->vertices, (std::array<int32_t, 4>{0, 1, 2, 0}));
  EXPECT_EQ(mesh->GetPolygon(5)->vertices, (std::array<int32_t, 4>{3, 4, 5, 0}));
}

TEST(Extrusion, ConcaveClockwiseCapMapsBackOntoItsOwnPoints) {
  const Sweep sweep;
  test::SetList<SFVec2f>(sweep.node, "crossSection", {{0, 0}, {0, 2}, {1, 2}, {1, 1}, {2, 1}, {2, 0}});
  const CMeshBuffer* mesh = sweep.Traversed();
  ASSERT_NE(mesh, nullptr);
  const int32_t sides = 2 * 5;
  ASSERT_EQ(mesh->PolygonCount(), sides + 4 + 4);
  ExpectCleanTriangles(*mesh);
  EXPECT_NEAR(CapArea(*mesh, sides, 4), 3.0f, 1e-5f);
  for (int32_t p = sides; p < sides + 8; ++p) {
    const MeshPolygon& t = *mesh->GetPolygon(p);
    CVec3f centre = (mesh->GetVertex(t.vertices[0]) + mesh->GetVertex(t.vertices[1]) + mesh->GetVertex(t.vertices[2])) *
                    (1.0f / 3.0f);
    EXPECT_FALSE(centre.x > 1.0f && centre.z > 1.0f) << "triangle " << p << " lies in the notch";
  }
}

TEST(Extrusion, DegenerateCapsAddNothingAndLargeCapsStayWhole) {
  const Sweep flat;
  test::SetList<SFVec2f>(flat.node, "crossSection", {{0, 0}, {1, 0}, {2, 0}, {3, 0}});
  const CMeshBuffer* mesh = flat.Traversed();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->PolygonCount(), 6);
  ExpectCleanTriangles(*mesh);

  const Sweep round;
  std::vector<SFVec2f> circle;
  constexpr int32_t kPoints = 120;
  for (int32_t i = 0; i < kPoints; ++i) {
    const float a = 2.0f * std::numbers::pi_v<float> * static_cast<float>(i) / kPoints;
    circle.push_back({std::cos(a), std::sin(a)});
  }
  test::SetList(round.node, "crossSection", circle);
  mesh = round.Traversed();
  ASSERT_NE(mesh, nullptr);
  const int32_t sides = 2 * (kPoints - 1);
  ASSERT_EQ(mesh->PolygonCount(), sides + 2 * (kPoints - 2));
  ExpectCleanTriangles(*mesh);
  const float polygonArea = 0.5f * kPoints * std::sin(2.0f * std::numbers::pi_v<float> / kPoints);
  EXPECT_NEAR(CapArea(*mesh, sides, kPoints - 2), polygonArea, 1e-3f);
}

TEST(Extrusion, InvalidSpineOrCrossSectionLeavesNoMesh) {
  const Sweep sweep;
  ASSERT_NE(sweep.Traversed(), nullptr);
  test::SetList<SFVec3f>(sweep.node, "spine", {{0, 0, 0}});
  EXPECT_EQ(sweep.Traversed(), nullptr);
  test::SetList<SFVec2f>(sweep.node, "scale", {{2, 2}});
  EXPECT_EQ(sweep.Traversed(), nullptr);
  test::SetList<SFVec3f>(sweep.node, "spine", {{0, 0, 0}, {0, 1, 0}});
  test::SetList<SFVec2f>(sweep.node, "crossSection", {{0, 0}, {1, 1}});
  EXPECT_EQ(sweep.Traversed(), nullptr);
}

TEST(Extrusion, SpineAxisFollowsTheSpine) {
  const Sweep sideways;
  test::SetList<SFVec3f>(sideways.node, "spine", {{0, 0, 0}, {2, 0, 0}});
  const CMeshBuffer* mesh = sideways.Traversed();
  for (int32_t i = 0; i < 10; ++i) EXPECT_NEAR(mesh->GetVertex(i).x, i < 5 ? 0.0f : 2.0f, 1e-6f);

  const Sweep still;
  test::SetList<SFVec3f>(still.node, "spine", {{1, 1, 1}, {1, 1, 1}});
  mesh = still.Traversed();
  EXPECT_EQ(mesh->GetVertex(2), (CVec3f{0, 1, 0}));
  EXPECT_EQ(mesh->GetVertex(5), (CVec3f{2, 1, 2}));

  // Around a bend every ring lies across the chord of the bend.
  const Sweep bent;
  const std::vector<SFVec3f> spine = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  test::SetList(bent.node, "spine", spine);
  mesh = bent.Traversed();
  const CVec3f chord = CVec3f{1, 1, 0}.Normalize();
  for (int32_t j = 0; j < 3; ++j) {
    for (int32_t i = 0; i < 5; ++i) {
      const CVec3f offset = mesh->GetVertex(j * 5 + i) - CVec3f{spine[j].x, spine[j].y, spine[j].z};
      EXPECT_NEAR(offset.Dot(chord), 0.0f, 1e-5f) << j << "," << i;
    }
  }
}

TEST(Extrusion, ScaleAndOrientationMoveVerticesWithoutRebuilding) {
  const Sweep sweep;
  const CMeshBuffer* mesh = sweep.Traversed();
  test::SetList<SFVec2f>(sweep.node, "scale", {{1, 1}, {2, 3}});
  EXPECT_EQ(sweep.Traversed(), mesh);
  EXPECT_EQ(mesh->GetVertex(5), (CVec3f{2, 1, 3}));
  EXPECT_EQ(mesh->GetVertex(0), (CVec3f{1, 0, 1}));

  test::SetList<SFRotation>(sweep.node, "orientation", {{0, 1, 0, std::numbers::pi_v<float> / 4}});
  EXPECT_EQ(sweep.Traversed(), mesh);
  EXPECT_NEAR(mesh->GetVertex(0).y, 0.0f, 1e-6f);
  EXPECT_NEAR(std::fabs(mesh->GetVertex(0).x) + std::fabs(mesh->GetVertex(0).z), std::sqrt(2.0f), 1e-5f);
  EXPECT_EQ(mesh->PolygonCount(), 12);

  test::SetList<SFVec3f>(sweep.node, "spine", {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}});
  mesh = sweep.Traversed();
  EXPECT_EQ(mesh->PolygonCount(), 16 + 4);
}

// In VRML 2.0 worlds the default box is faceted, and each face, caps
// included, turns and faces outward like the others.
TEST(Extrusion, TheBoxOfAVrmlWorldIsFacetedAndFacesOutward) {
  const Sweep sweep(WorldConvention::kStandard);
  const CMeshBuffer* mesh = sweep.Traversed();
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->PolygonCount(), 12);
  EXPECT_FALSE(mesh->SuppliedNormals()) << "both sides show, so the normals may turn to the viewer";
  for (int32_t p = 0; p < mesh->PolygonCount(); ++p) {
    const MeshPolygon& t = *mesh->GetPolygon(p);
    const CVec3f centre =
        (mesh->GetVertex(t.vertices[0]) + mesh->GetVertex(t.vertices[1]) + mesh->GetVertex(t.vertices[2])) * (1.0f / 3);
    // The face's outward axis: the largest component from the box's middle.
    const CVec3f from = centre - CVec3f{0, 0.5f, 0};
    const float ax = std::fabs(from.x), ay = std::fabs(from.y) * 2, az = std::fabs(from.z);
    const CVec3f outward = ax >= ay && ax >= az ? CVec3f{from.x > 0 ? 1.0f : -1.0f, 0, 0}
                           : ay >= az           ? CVec3f{0, from.y > 0 ? 1.0f : -1.0f, 0}
                                                : CVec3f{0, 0, from.z > 0 ? 1.0f : -1.0f};
    EXPECT_GT(TriangleNormal(*mesh, t).Dot(outward), 0.0f) << "triangle " << p << " turns outward";
    for (int32_t v = 0; v < 3; ++v) {
      EXPECT_NEAR(mesh->GetNormal(t.vertices[v]).Dot(outward), 1.0f, 1e-5f) << "triangle " << p << " corner " << v;
    }
  }
}

// Within the crease angle the sides of a closed round cross-section are
// smooth all round, across the seam where its first and last points meet.
// The circle turns as the default cross-section does (counter-clockwise
// seen from +y), so its sides face outward.
TEST(Extrusion, ASmoothSweepIsSmoothAcrossTheSeam) {
  const Sweep tube(WorldConvention::kStandard);
  std::vector<SFVec2f> circle;
  constexpr int32_t kPoints = 16;
  for (int32_t i = 0; i <= kPoints; ++i) {
    const float a = 2.0f * std::numbers::pi_v<float> * static_cast<float>(i % kPoints) / kPoints;
    circle.push_back({std::cos(a), -std::sin(a)});
  }
  test::SetList(tube.node, "crossSection", circle);
  test::SetValue<int16_t>(tube.node, "beginCap", 0);
  test::SetValue<int16_t>(tube.node, "endCap", 0);
  test::SetValue(tube.node, "creaseAngle", 1.0f);
  const CMeshBuffer* mesh = tube.Traversed();
  ASSERT_NE(mesh, nullptr);
  for (int32_t v = 0; v < mesh->VertexCount(); ++v) {
    const CVec3f p = mesh->GetVertex(v);
    const CVec3f radial = CVec3f{p.x, 0, p.z}.Normalize();
    EXPECT_NEAR(mesh->GetNormal(v).Dot(radial), 1.0f, 1e-3f) << "vertex " << v;
  }
}

TEST(Extrusion, TriangulatePolygon3DProjectsOntoTheWidestPlane) {
  // A square standing in the y/z plane, listed clockwise seen in that plane.
  const std::vector<CVec3f> square = {{5, 0, 0}, {5, 0, 1}, {5, 1, 1}, {5, 1, 0}};
  std::vector<TriangleIndices> triangles;
  bool reversed = false;
  ASSERT_EQ(TriangulatePolygon3D(square, triangles, reversed), TriangulateStatus::kDone);
  EXPECT_EQ(triangles.size(), 2u);
  EXPECT_TRUE(reversed);

  const std::vector<CVec3f> line = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
  EXPECT_EQ(TriangulatePolygon3D(line, triangles, reversed), TriangulateStatus::kZeroArea);
  EXPECT_TRUE(triangles.empty());
}

}  // namespace
}  // namespace vx
