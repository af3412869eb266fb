#include <gtest/gtest.h>

#include <cmath>

#include "GeometryTestNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/PrimitiveNodes.h"
#include "tests/render/GeometryTestSupport.h"

namespace vx {
namespace {

using test::As;

void ExpectVec(const CVec3f& actual, float x, float y, float z) {
  EXPECT_NEAR(actual.x, x, 1e-5f);
  EXPECT_NEAR(actual.y, y, 1e-5f);
  EXPECT_NEAR(actual.z, z, 1e-5f);
}

void ExpectPolygon(const CMeshBuffer& mesh, int32_t p, std::vector<int32_t> vertices) {
  const MeshPolygon* polygon = mesh.GetPolygon(p);
  ASSERT_NE(polygon, nullptr);
  ASSERT_EQ(polygon->vertexCount, static_cast<int32_t>(vertices.size()));
  EXPECT_EQ(polygon->materialIndex, 0);
  for (size_t i = 0; i < vertices.size(); ++i) EXPECT_EQ(polygon->vertices[i], vertices[i]) << "polygon " << p;
}

CNodeRef Traversed(const char* typeName) {
  CNodeRef node = NodeFactory(typeName, {});
  EXPECT_TRUE(node);
  node->Traverse(RenderPass::Frame, nullptr);
  return node;
}

TEST(BoxNode, FacesFollowTheTableAndFollowTheSize) {
  CNodeRef node = Traversed("Box");
  const CMeshBuffer& mesh = *As<CBoxNode>(node).GetMesh();
  ASSERT_EQ(mesh.VertexCount(), 24);
  ASSERT_EQ(mesh.PolygonCount(), 6);
  ExpectPolygon(mesh, 5, {20, 21, 22, 23});
  // +z face: top left corner first, s and t growing right and down.
  ExpectVec(mesh.GetVertex(0), -1, 1, 1);
  ExpectVec(mesh.GetVertex(2), 1, -1, 1);
  EXPECT_EQ(mesh.GetTexCoord(2), (CVec2f{1, 1}));
  // -x face and -y face corners.
  ExpectVec(mesh.GetVertex(13), -1, -1, -1);
  EXPECT_EQ(mesh.GetTexCoord(13), (CVec2f{0, 1}));
  ExpectVec(mesh.GetVertex(22), 1, -1, -1);
  EXPECT_EQ(mesh.GetTexCoord(22), (CVec2f{0, 0}));

  test::SetValue(node, "size", SFVec3f{4, 6, 8});
  node->Traverse(RenderPass::Activate, nullptr);
  ExpectVec(mesh.GetVertex(9), 2, 3, -4);
}

TEST(BoxNode, DrawsFlatAndRestoresTheMaterial) {
  test::StageFrame frame(32, 32, 4);
  test::LightWithWhiteAmbient(frame.stage);
  MaterialRecord smooth = test::FlatMaterial({1, 0, 0});
  smooth.smooth = 1;
  frame.stage.SetMaterial(&smooth);
  frame.target.SetCulling({.mode = kCullNone});
  CNodeRef node = Traversed("Box");
  test::SetValue(node, "size", SFVec3f{1, 1, 1});
  node->Traverse(RenderPass::Frame, nullptr);

  As<CBoxNode>(node).Draw(frame.stage);

  EXPECT_EQ(frame.stage.Material().smooth, 1);
  EXPECT_EQ(frame.target.GetCulling().mode, kCullByWinding);
  EXPECT_EQ(frame.target.GetCulling().winding, 1u);
  EXPECT_FALSE(frame.Untouched());
}

TEST(ConeNode, SwitchingPartsRebuildsThePolygons) {
  CNodeRef node = Traversed("Cone");
  auto& cone = As<CConeNode>(node);
  ASSERT_EQ(cone.GetMesh()->VertexCount(), 34);
  ASSERT_EQ(cone.GetMesh()->PolygonCount(), 20);
  ExpectPolygon(*cone.GetMesh(), 0, {0, 11, 12, 1});
  ExpectPolygon(*cone.GetMesh(), 1, {33, 23, 22});

  test::SetValue<int16_t>(node, "side", 0);
  test::SetValue<int16_t>(node, "bottom", 0);
  node->Traverse(RenderPass::Frame, nullptr);
  EXPECT_EQ(cone.GetMesh()->PolygonCount(), 0);

  test::SetValue<int16_t>(node, "side", 1);
  node->Traverse(RenderPass::Frame, nullptr);
  ASSERT_EQ(cone.GetMesh()->PolygonCount(), 10);
  ExpectPolygon(*cone.GetMesh(), 9, {9, 20, 21, 10});
}

TEST(ConeNode, VerticesAndLeaningSideNormals) {
  CNodeRef node = Traversed("Cone");
  test::SetValue(node, "bottomRadius", 3.0f);
  test::SetValue(node, "height", 10.0f);
  node->Traverse(RenderPass::Frame, nullptr);
  const CMeshBuffer& mesh = *As<CConeNode>(node).GetMesh();
  ExpectVec(mesh.GetVertex(4), 0, 5, 0);
  ExpectVec(mesh.GetVertex(11), 0, -5, -3);
  ExpectVec(mesh.GetVertex(23), 3 * std::sin(0.62831855f), -5, -3 * std::cos(0.62831855f));
  ExpectVec(mesh.GetNormal(0), 0, 0.70710677f, -0.70710677f);
  ExpectVec(mesh.GetNormal(33), 0, -1, 0);
  EXPECT_EQ(mesh.GetTexCoord(33), (CVec2f{0.5f, 0.5f}));
  EXPECT_NEAR(mesh.GetTexCoord(22).x, 0.5f, 1e-6f);
  EXPECT_NEAR(mesh.GetTexCoord(22).y, 0.0f, 1e-6f);
}

TEST(CylinderNode, ThirtyPolygonsInSegmentOrderAndSeams) {
  CNodeRef node = Traversed("Cylinder");
  const CMeshBuffer& mesh = *As<CCylinderNode>(node).GetMesh();
  ASSERT_EQ(mesh.VertexCount(), 46);
  ASSERT_EQ(mesh.PolygonCount(), 30);
  ExpectPolygon(mesh, 0, {0, 11, 12, 1});
  ExpectPolygon(mesh, 1, {45, 23, 22});
  ExpectPolygon(mesh, 2, {33, 34, 44});
  ExpectPolygon(mesh, 29, {42, 43, 44});
  // The seam: same place, opposite ends of the image.
  ExpectVec(mesh.GetVertex(10), 0, 1, -1);
  ExpectVec(mesh.GetVertex(0), 0, 1, -1);
  EXPECT_EQ(mesh.GetTexCoord(0).x, 1.0f);
  EXPECT_EQ(mesh.GetTexCoord(10).x, 0.0f);
  ExpectVec(mesh.GetNormal(44), 0, 1, 0);
  ExpectVec(mesh.GetVertex(45), 0, -1, 0);
  // Top rim texture coordinates run the other way round from the bottom's.
  EXPECT_NEAR(mesh.GetTexCoord(35).x, 1.0f - mesh.GetTexCoord(24).x, 1e-6f);

  test::SetValue<int16_t>(node, "top", 0);
  node->Traverse(RenderPass::Frame, nullptr);
  EXPECT_EQ(As<CCylinderNode>(node).GetMesh()->PolygonCount(), 20);
}

TEST(SphereNode, BandsAndTheBottomBand) {
  CNodeRef node = NodeFactory("Sphere", {});
  node->Traverse(RenderPass::Activate, nullptr);
  EXPECT_EQ(As<CSphereNode>(node).GetMesh(), nullptr);
  node->Traverse(RenderPass::Frame, nullptr);
  const CMeshBuffer& mesh = *As<CSphereNode>(node).GetMesh();
  ASSERT_EQ(mesh.VertexCount(), 91);
  ASSERT_EQ(mesh.PolygonCount(), 72);
  ExpectPolygon(mesh, 0, {0, 13, 14, 1});
  ExpectPolygon(mesh, 60, {79, 66, 65, 78});
  ExpectVec(mesh.GetVertex(0), 0, 1, 0);
  ExpectVec(mesh.GetVertex(3 * 13 + 3), 1, 0, 0);
  ExpectVec(mesh.GetNormal(3 * 13 + 3), 1, 0, 0);
  EXPECT_EQ(mesh.GetTexCoord(13 + 12), (CVec2f{0.0f, 1.0f / 6.0f}));
}

TEST(SphereNode, ZeroRadiusCollapsesToTheOriginWithZeroNormals) {
  CNodeRef node = Traversed("Sphere");
  test::SetValue(node, "radius", 0.0f);
  node->Traverse(RenderPass::Frame, nullptr);
  const CMeshBuffer& mesh = *As<CSphereNode>(node).GetMesh();
  for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
    ExpectVec(mesh.GetVertex(i), 0, 0, 0);
    ExpectVec(mesh.GetNormal(i), 0, 0, 0);
  }
}

}  // namespace
}  // namespace vx
