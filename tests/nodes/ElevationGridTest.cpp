#include <gtest/gtest.h>

#include "GeometryTestNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/ElevationGridNode.h"

namespace vx {
namespace {

using test::As;

// The mesh as this system's own worlds build it unless told otherwise.
struct Grid {
  Grid(int32_t x, int32_t z, std::vector<float> heights, WorldConvention convention = WorldConvention::kSystem)
      : in(convention), node(in.Make("ElevationGrid")) {
    test::SetValue(node, "xDimension", x);
    test::SetValue(node, "zDimension", z);
    test::SetList(node, "height", std::move(heights));
  }
  CElevationGridNode& grid() const { return As<CElevationGridNode>(node); }
  const CMeshBuffer* Traversed() const {
    node->Traverse(RenderPass::Frame, nullptr);
    return grid().GetMesh();
  }
  test::ConventionWorld in;
  CNodeRef node;
};

std::vector<int32_t> Corners(const CMeshBuffer& mesh, int32_t p) {
  const MeshPolygon& polygon = *mesh.GetPolygon(p);
  return {polygon.vertices[0], polygon.vertices[1], polygon.vertices[2]};
}

TEST(ElevationGrid, ThreeByTwoGridGivesFourTrianglesInRowOrder) {
  Grid grid(3, 2, {0, 1, 2, 3, 4, 5});
  test::SetValue(grid.node, "xSpacing", 0.5f);
  test::SetValue(grid.node, "zSpacing", 2.0f);
  const CMeshBuffer* mesh = grid.Traversed();
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->VertexCount(), 6);
  ASSERT_EQ(mesh->PolygonCount(), 4);
  EXPECT_EQ(Corners(*mesh, 0), (std::vector<int32_t>{0, 4, 1}));
  EXPECT_EQ(Corners(*mesh, 1), (std::vector<int32_t>{0, 3, 4}));
  EXPECT_EQ(Corners(*mesh, 3), (std::vector<int32_t>{1, 4, 5}));
  EXPECT_EQ(mesh->GetVertex(5), (CVec3f{1.0f, 5.0f, 2.0f}));
}

TEST(ElevationGrid, RefusesGridsThatDoNotMatchTheirHeights) {
  EXPECT_EQ(Grid(3, 2, {0, 1, 2, 3, 4}).Traversed(), nullptr);
  EXPECT_EQ(Grid(0, 0, {}).Traversed(), nullptr);
  EXPECT_EQ(Grid(0, 5, {1}).Traversed(), nullptr);
  // Negative dimensions whose product matches the count are refused too.
  EXPECT_EQ(Grid(-2, -3, {0, 1, 2, 3, 4, 5}).Traversed(), nullptr);
  EXPECT_EQ(Grid(-1, 1, {0}).Traversed(), nullptr);
  // Dimensions whose product overflows 32 bits.
  EXPECT_EQ(Grid(65536, 65536, {0}).Traversed(), nullptr);
}

TEST(ElevationGrid, SingleColumnHasVerticesButNoTriangles) {
  const Grid grid(1, 3, {1, 2, 3});
  const CMeshBuffer* mesh = grid.Traversed();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->VertexCount(), 3);
  EXPECT_EQ(mesh->PolygonCount(), 0);
}

TEST(ElevationGrid, HeightsMoveVerticesAndDimensionsRebuild) {
  Grid grid(2, 2, {0, 0, 0, 0});
  const CMeshBuffer* first = grid.Traversed();
  test::SetList<float>(grid.node, "height", {0, 0, 0, 7});
  EXPECT_EQ(grid.Traversed(), first);
  EXPECT_EQ(first->GetVertex(3).y, 7.0f);

  test::SetValue(grid.node, "xDimension", 3);
  EXPECT_EQ(grid.Traversed(), nullptr) << "nothing is drawn until the heights match";
  test::SetList<float>(grid.node, "height", {0, 0, 0, 0, 0, 0});
  const CMeshBuffer* rebuilt = grid.Traversed();
  ASSERT_NE(rebuilt, nullptr);
  EXPECT_EQ(rebuilt->PolygonCount(), 4);
}

TEST(ElevationGrid, OwnNormalsAndTextureCoordinatesWhenCountsMatch) {
  Grid grid(2, 1, {0, 0});
  CNodeRef normals = MakeNode<test::CPropertyStandIn>();
  test::SetList<SFVec3f>(normals, "vector", {{0, 2, 0}, {3, 0, 4}});
  CNodeRef texCoords = MakeNode<test::CTexCoordStandIn>();
  test::SetList<SFVec2f>(texCoords, "point", {{0.25f, 0.75f}, {1, 0}});
  test::SetNodeField(grid.node, "normal", normals);
  test::SetNodeField(grid.node, "texCoord", texCoords);
  const CMeshBuffer* mesh = grid.Traversed();
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh->GetNormal(0), (CVec3f{0, 1, 0}));
  EXPECT_EQ(mesh->GetNormal(1), (CVec3f{0.6f, 0, 0.8f}));
  EXPECT_EQ(mesh->GetTexCoord(0), (CVec2f{0.25f, 0.25f}));
  EXPECT_EQ(mesh->GetTexCoord(1), (CVec2f{1, 1}));
}

TEST(ElevationGrid, NewValuesInItsNormalAndTextureCoordinateNodesReachTheMesh) {
  Grid grid(2, 1, {0, 0});
  CNodeRef normals = MakeNode<test::CPropertyStandIn>();
  test::SetList<SFVec3f>(normals, "vector", {{0, 1, 0}, {0, 1, 0}});
  CNodeRef texCoords = MakeNode<test::CTexCoordStandIn>();
  test::SetList<SFVec2f>(texCoords, "point", {{0, 0}, {1, 0}});
  test::SetNodeField(grid.node, "normal", normals);
  test::SetNodeField(grid.node, "texCoord", texCoords);
  ASSERT_NE(grid.Traversed(), nullptr);

  test::SetList<SFVec3f>(normals, "vector", {{1, 0, 0}, {0, 0, 1}});
  EXPECT_EQ(grid.Traversed()->GetNormal(0), (CVec3f{1, 0, 0}));
  test::SetList<SFVec2f>(texCoords, "point", {{0.5f, 0.5f}, {1, 1}});
  EXPECT_EQ(grid.Traversed()->GetTexCoord(0), (CVec2f{0.5f, 0.5f}));
}

TEST(ElevationGrid, PlanarTextureOverXAndHeightWithoutTexCoords) {
  Grid grid(2, 2, {0, 0, 4, 2});
  const CMeshBuffer* mesh = grid.Traversed();
  ASSERT_NE(mesh, nullptr);
  // s across x, t down the height range: row 1 lies higher than row 0.
  EXPECT_EQ(mesh->GetTexCoord(0), (CVec2f{0, 1}));
  EXPECT_EQ(mesh->GetTexCoord(2), (CVec2f{0, 0}));
  EXPECT_EQ(mesh->GetTexCoord(3), (CVec2f{1, 0.5f}));
}

// VRML 2.0 grids: each square is one face, flat by default and smooth
// within the crease angle; colours and texture coordinates per point.
TEST(ElevationGrid, VrmlGridsAreFacetedBySquare) {
  auto corners = [](const CMeshBuffer& mesh, int32_t p) {
    const MeshPolygon& t = *mesh.GetPolygon(p);
    return std::vector<CVec3f>{mesh.GetNormal(t.vertices[0]), mesh.GetNormal(t.vertices[1]),
                               mesh.GetNormal(t.vertices[2])};
  };
  const std::vector<float> peak = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  Grid faceted(3, 3, peak, WorldConvention::kStandard);
  const CMeshBuffer* mesh = faceted.Traversed();
  ASSERT_NE(mesh, nullptr);
  EXPECT_GT(mesh->VertexCount(), 9) << "the points split between squares that meet at an angle";
  for (int32_t square = 0; square < 4; ++square) {
    const std::vector<CVec3f> first = corners(*mesh, 2 * square);
    const std::vector<CVec3f> second = corners(*mesh, 2 * square + 1);
    for (const CVec3f& n : second) EXPECT_EQ(n, first[0]) << "square " << square;
    EXPECT_GT(first[0].y, 0.0f) << "the top faces up";
  }

  Grid smooth(3, 3, peak, WorldConvention::kStandard);
  test::SetValue(smooth.node, "creaseAngle", 3.2f);
  CNodeRef colors = MakeNode<test::CPropertyStandIn>();
  std::vector<SFColor> nine(9, SFColor{0, 0, 1});
  nine[4] = {1, 0, 0};
  test::SetList(colors, "color", nine);
  test::SetNodeField(smooth.node, "color", colors);
  mesh = smooth.Traversed();
  ASSERT_NE(mesh, nullptr);
  ASSERT_EQ(mesh->VertexCount(), 9);
  EXPECT_EQ(mesh->GetNormal(4), (CVec3f{0, 1, 0}));
  EXPECT_EQ(mesh->GetColor(4).r, 1.0f);
  EXPECT_EQ(mesh->GetTexCoord(5), (CVec2f{1.0f, 0.5f})) << "s along x, t along z, t flipped as stored";
}

}  // namespace
}  // namespace vx
