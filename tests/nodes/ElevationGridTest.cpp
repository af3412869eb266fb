#include <gtest/gtest.h>

#include "GeometryTestNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/ElevationGridNode.h"

namespace vx {
namespace {

using test::As;

struct Grid {
  Grid(int32_t x, int32_t z, std::vector<float> heights) : node(NodeFactory("ElevationGrid", {})) {
    test::SetValue(node, "xDimension", x);
    test::SetValue(node, "zDimension", z);
    test::SetList(node, "height", std::move(heights));
  }
  CElevationGridNode& grid() const { return As<CElevationGridNode>(node); }
  const CMeshBuffer* Traversed() const {
    node->Traverse(RenderPass::Frame, nullptr);
    return grid().GetMesh();
  }
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

}  // namespace
}  // namespace vx
