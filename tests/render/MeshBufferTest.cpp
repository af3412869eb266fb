#include "engine/render/MeshBuffer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "GeometryTestSupport.h"

namespace vx {
namespace {

using test::StageFrame;

MeshPolygon Face(std::initializer_list<int32_t> vertices, int32_t material = 0) {
  MeshPolygon p;
  p.materialIndex = material;
  for (int32_t v : vertices) p.vertices[p.vertexCount++] = v;
  return p;
}

// Two quads side by side in the z = 0 plane: x in -1..0 and 0..1.
CMeshBuffer TwoQuads() {
  CMeshBuffer mesh;
  mesh.SetVertexCount(6);
  const CVec3f corners[] = {{-1, -1, 0}, {0, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {0, 1, 0}, {1, 1, 0}};
  for (int32_t i = 0; i < 6; ++i) {
    mesh.SetVertex(i, corners[i]);
    mesh.SetNormal(i, {0, 0, 1});
  }
  mesh.SetPolygonCount(2);
  mesh.SetPolygon(0, Face({0, 1, 4, 3}, 0));
  mesh.SetPolygon(1, Face({1, 2, 5, 4}, 1));
  return mesh;
}

TEST(MeshBuffer, FaceAndVertexNormals) {
  CMeshBuffer mesh;
  mesh.SetVertexCount(5);
  const CVec3f points[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {2, 0, 0}};
  for (int32_t i = 0; i < 5; ++i) mesh.SetVertex(i, points[i]);
  mesh.SetPolygonCount(4);
  mesh.SetPolygon(0, Face({0, 1, 2}));  // in z = 0, wound so its normal is -z
  mesh.SetPolygon(1, Face({0, 3, 1}));  // in y = 0, normal -y
  mesh.SetPolygon(2, Face({0, 4, 1}));  // collinear: zero face normal
  mesh.SetPolygon(3, Face({2, 1, 0}));  // the first face reversed
  mesh.ComputeNormals();
  EXPECT_FALSE(mesh.SuppliedNormals());

  // (a - b) x (c - b) with a, b, c the first three vertices.
  EXPECT_EQ(mesh.GetPolygon(0)->faceNormal, (CVec3f{0, 0, -1}));
  EXPECT_EQ(mesh.GetPolygon(2)->faceNormal, CVec3f{});
  EXPECT_EQ(mesh.GetPolygon(3)->faceNormal, (CVec3f{0, 0, 1}));
  CVec3f side = mesh.GetPolygon(1)->faceNormal;
  EXPECT_EQ(side, (CVec3f{0, -1, 0}));
  // Vertex 2 is shared by face 0 and its reversal only: they reinforce.
  EXPECT_EQ(mesh.GetNormal(2), (CVec3f{0, 0, -1}));
  // Vertex 0: faces 0, 1 and 3 (and the zero one): (-z - y - (+z)) / |.|.
  CVec3f n = mesh.GetNormal(0);
  EXPECT_NEAR(n.x, 0.0f, 1e-6f);
  EXPECT_NEAR(n.y, -1.0f / std::sqrt(5.0f), 1e-6f);
  EXPECT_NEAR(n.z, -2.0f / std::sqrt(5.0f), 1e-6f);
  // Vertex 4 only touches the collinear face.
  EXPECT_EQ(mesh.GetNormal(4), CVec3f{});
}

TEST(MeshBuffer, PlanarTextureCoordinates) {
  CMeshBuffer mesh = TwoQuads();
  mesh.ComputePlanarTexCoords();
  EXPECT_EQ(mesh.GetTexCoord(0), (CVec2f{0.0f, 1.0f}));  // bottom left
  EXPECT_EQ(mesh.GetTexCoord(4), (CVec2f{0.5f, 0.0f}));  // top middle
  EXPECT_EQ(mesh.GetTexCoord(5), (CVec2f{1.0f, 0.0f}));

  CMeshBuffer thin;
  thin.SetVertexCount(3);
  thin.SetVertex(0, {2, 0, 0});
  thin.SetVertex(1, {2, 4, 0});
  thin.SetVertex(2, {2, 1, 5});
  thin.SetPolygonCount(1);
  thin.ComputePlanarTexCoords();
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(thin.GetTexCoord(i).x, 0.0f);
  EXPECT_EQ(thin.GetTexCoord(2).y, 0.75f);
}

// The two quads, red and blue, over a 16x16 frame in white light.
struct TwoColourScene {
  TwoColourScene() : f(16, 16, 4), mesh(TwoQuads()) {
    f.target.SetCulling({.mode = kCullNone});
    test::LightWithWhiteAmbient(f.stage);
    mesh.materials = {test::FlatMaterial({1, 0, 0}), test::FlatMaterial({0, 0, 1})};
  }
  StageFrame f;
  CMeshBuffer mesh;
};

TEST(MeshBuffer, DrawSwitchesMaterialsPerPolygon) {
  TwoColourScene scene;
  scene.mesh.Draw(&scene.f.stage, true, -1);
  EXPECT_EQ(scene.f.Xrgb(4, 8), test::Xrgb32(1, 0, 0));
  EXPECT_EQ(scene.f.Xrgb(12, 8), test::Xrgb32(0, 0, 1));
}

TEST(MeshBuffer, DrawSkipsPolygonsWithBadIndicesOrCounts) {
  TwoColourScene scene;
  StageFrame& f = scene.f;
  CMeshBuffer& mesh = scene.mesh;
  mesh.SetPolygon(0, Face({0, 1, 4, 99}, 0));
  MeshPolygon five = Face({1, 2, 5, 4}, 1);
  five.vertexCount = 5;
  mesh.SetPolygon(1, five);
  mesh.Draw(&f.stage, true, -1);
  mesh.SetPolygon(0, Face({0, 1, 4, 3}, 2));
  mesh.SetPolygon(1, Face({1, 2, 5, 4}, -1));
  mesh.ComputeNormals();
  mesh.Draw(&f.stage, true, -1);
  EXPECT_TRUE(f.Untouched());

  mesh.SetPolygon(1, Face({1, 2, 5, 4}, 1));
  mesh.Draw(&f.stage, true, -1);
  EXPECT_EQ(f.Xrgb(4, 8), 0u);
  EXPECT_EQ(f.Xrgb(12, 8), test::Xrgb32(0, 0, 1));
}

// Vertex colours take the place of the material's diffuse colour and are
// lit like it; a texture's own colours replace them.
TEST(MeshBuffer, VertexColoursStandInForTheDiffuseColourUntilATextureComes) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  test::LightWithWhiteAmbient(f.stage);
  CMeshBuffer mesh = TwoQuads();
  ASSERT_TRUE(mesh.AddVertexColors());
  for (int32_t i = 0; i < 6; ++i) mesh.SetColor(i, i % 3 == 2 ? FloatColor{1, 0, 0} : FloatColor{0, 0, 1});
  MaterialRecord green = test::FlatMaterial({0, 1, 0});
  green.smooth = 1;
  f.stage.SetMaterial(&green);
  mesh.Draw(&f.stage, true, -1);
  EXPECT_EQ(f.Xrgb(4, 8), test::Xrgb32(0, 0, 1));
  EXPECT_GT(f.Xrgb(14, 8) >> 16 & 0xFF, f.Xrgb(9, 8) >> 16 & 0xFF) << "the colours run across the right quad";
  EXPECT_EQ(f.Xrgb(4, 8) >> 8 & 0xFF, 2u) << "the material's green takes no part";

  // Blue vertices would leave a texture shaded by red alone black.
  std::vector<uint32_t> white(4, 0xFFFFFF);
  MaterialRecord textured = green;
  textured.texture = {reinterpret_cast<uint8_t*>(white.data()), 2, 2, 4, 8};
  f.stage.SetMaterial(&textured);
  f.target.Clear(true, true);
  mesh.Draw(&f.stage, true, -1);
  EXPECT_GT(f.Xrgb(4, 8) >> 8 & 0xFF, 0xF0u);
}

}  // namespace
}  // namespace vx
