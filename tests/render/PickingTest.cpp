#include <gtest/gtest.h>

#include <cmath>

#include "GeometryTestSupport.h"
#include "engine/render/GeometryStage.h"

namespace vx {
namespace {

using test::StageFrame;

// A polygon of world positions only (what the box test reads).
PolygonRecord WorldPolygon(std::initializer_list<CVec3f> points) {
  PolygonRecord poly;
  for (const CVec3f& p : points) {
    VertexWork& v = poly.vertex[poly.count++];
    v.v[VertexWord::kWorldX] = p.x;
    v.v[VertexWord::kWorldY] = p.y;
    v.v[VertexWord::kWorldZ] = p.z;
  }
  return poly;
}

bool BoxHits(CGeometryStage& stage, const PolygonRecord& poly) {
  (void)stage.BeginFrame();
  stage.PickTestPolygon(poly);
  return stage.GetBoxTestResult().hit;
}

TEST(BoxTest, FindsTouchingAndCrossingPolygons) {
  StageFrame f(8, 8, 4);
  f.stage.SetPickSegment({-1, -1, -1}, {1, 1, 1});
  // A vertex exactly on a face.
  EXPECT_TRUE(BoxHits(f.stage, WorldPolygon({{1, 0, 0}, {5, 0, 0}, {5, 5, 0}})));
  // Far away on one side.
  EXPECT_FALSE(BoxHits(f.stage, WorldPolygon({{2, 0, 0}, {5, 0, 0}, {5, 5, 0}})));
  // An edge passing through the box with both ends outside.
  EXPECT_TRUE(BoxHits(f.stage, WorldPolygon({{-5, 0.5f, 0}, {5, 0.5f, 0}, {0, 9, 0}})));
  // A large triangle through the box's middle, every vertex and edge outside.
  EXPECT_TRUE(BoxHits(f.stage, WorldPolygon({{-20, -20, 0.5f}, {20, -20, 0.5f}, {0, 20, 0.5f}})));
  EXPECT_NEAR(f.stage.GetBoxTestResult().hitNormal.Length(), 1.0f, 1e-6f);
  EXPECT_NEAR(std::fabs(f.stage.GetBoxTestResult().hitNormal.z), 1.0f, 1e-6f);
  // Beside the box: an edge whose line, not the edge itself, crosses the
  // face x = 1 inside the face.
  EXPECT_FALSE(BoxHits(f.stage, WorldPolygon({{2, 0.4f, 0}, {4, -0.6f, 0}, {-3, 4, 0}})));
}

TEST(BoxTest, TestOnlyPassDrawsNothingAndStopsAtTheFirstHit) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  test::LightWithWhiteAmbient(f.stage);
  f.stage.SetPickSegment({-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f});
  PolygonRecord quad = test::LitQuad(f.stage, -1, -1, 1, 1, 0);
  {
    CBoxTestScope test(f.stage, BoxTestMode::kTestOnly);
    f.stage.DrawPolygon(&quad);
    EXPECT_TRUE(test.Hit());
  }
  EXPECT_TRUE(f.Untouched());
  EXPECT_EQ(f.stage.GetBoxTestMode(), BoxTestMode::kOff) << "the scope's mode ends with it";
  EXPECT_TRUE(f.stage.GetBoxTestResult().hit) << "its hit stays";
  f.stage.SetBoxTestMode(BoxTestMode::kTestAndDraw);
  quad = test::LitQuad(f.stage, -1, -1, 1, 1, 0);
  f.stage.DrawPolygon(&quad);
  EXPECT_TRUE(f.Untouched());  // a hit is recorded: later polygons are skipped
  (void)f.stage.BeginFrame();
  EXPECT_FALSE(f.stage.GetBoxTestResult().hit);
}

struct PickScene {
  PickScene() : f(640, 480, 4) {
    f.target.SetCulling({.mode = kCullNone});
    f.stage.eye = {0, 0, 0};
    f.stage.lookAt = {0, 0, -1};
    f.stage.BeginFrame();
    projection.SetPerspective(0.8f, 0.05f, 20000.0f, 640.0f / 480.0f);
    f.stage.SetProjectionMatrix(&projection);
    test::LightWithWhiteAmbient(f.stage);
  }
  // Screen pixel of an object-space point under the current matrices.
  void PickAt(const CVec3f& p) {
    CVec2f s = f.stage.ProjectPoint(p);
    f.stage.RequestScreenPick(static_cast<int32_t>(s.x), static_cast<int32_t>(s.y));
  }
  void DrawQuad(float z) {
    PolygonRecord quad = test::LitQuad(f.stage, -1, -1, 1, 1, z);
    f.stage.DrawPolygon(&quad);
  }
  StageFrame f;
  CMatrix4 projection;
};

TEST(ScreenPick, HitOnATransformedObjectInItsOwnCoordinates) {
  PickScene scene;
  // The unit quad turned about y and moved away from the eye.
  CMatrix4 model;
  model.SetAxisRotation(1, 0.5f);
  CMatrix4 place;
  place.SetTranslation(0.3f, -0.2f, -6.0f);
  model.PreMultiply(place);
  scene.f.stage.SetModelViewMatrix(&model);
  scene.PickAt({0.5f, 0.25f, 0.0f});
  scene.DrawQuad(0.0f);

  CVec3f point, normal;
  CVec2f st{-9, -9};
  ASSERT_TRUE(scene.f.stage.GetPickHit(&point, &normal, &st));
  EXPECT_FALSE(scene.f.stage.GetScreenPick().armed);
  EXPECT_NEAR(point.x, 0.5f, 0.03f);
  EXPECT_NEAR(point.y, 0.25f, 0.03f);
  EXPECT_NEAR(point.z, 0.0f, 0.03f);
  // Texture coordinates run 0..1 across the quad in both directions.
  EXPECT_NEAR(st.x, 0.75f, 0.02f);
  EXPECT_NEAR(st.y, 0.625f, 0.02f);
  // The world normal of the turned quad: (sin 0.5, 0, cos 0.5) up to sign.
  EXPECT_NEAR(std::fabs(normal.x), std::sin(0.5f), 1e-3f);
  EXPECT_NEAR(std::fabs(normal.z), std::cos(0.5f), 1e-3f);
}

TEST(ScreenPick, NearestPolygonWinsWhicheverIsDrawnFirst) {
  for (bool nearFirst : {false, true}) {
    PickScene scene;
    scene.PickAt({0.1f, 0.1f, -5.0f});
    MaterialRecord nearMaterial = test::FlatMaterial({1, 0, 0});
    MaterialRecord farMaterial = test::FlatMaterial({0, 1, 0});
    auto draw = [&](bool nearOne) {
      scene.f.stage.SetMaterial(nearOne ? &nearMaterial : &farMaterial);
      PolygonRecord quad = test::LitQuad(scene.f.stage, -1, -1, 1, 1, nearOne ? -5.0f : -7.0f);
      // Distinct texture coordinates tell the two apart.
      for (int i = 0; i < quad.count; ++i) quad.vertex[i].v[VertexWord::kS] = nearOne ? 0.25f : 0.75f;
      scene.f.stage.DrawPolygon(&quad);
    };
    draw(nearFirst);
    draw(!nearFirst);
    CVec3f point, normal;
    CVec2f st;
    ASSERT_TRUE(scene.f.stage.GetPickHit(&point, &normal, &st));
    EXPECT_NEAR(st.x, 0.25f, 1e-4f) << nearFirst;
    EXPECT_NEAR(point.z, -5.0f, 0.01f);
  }
}

TEST(ScreenPick, BackgroundAndEqualDepthDoNotHit) {
  PickScene scene;
  scene.PickAt({3.0f, 0.0f, -5.0f});
  scene.DrawQuad(-5.0f);
  CVec3f point, normal;
  CVec2f st;
  EXPECT_FALSE(scene.f.stage.GetPickHit(&point, &normal, &st));

  scene.f.target.Clear(true, true);
  scene.PickAt({0.0f, 0.0f, -5.0f});
  scene.DrawQuad(-5.0f);
  ASSERT_TRUE(scene.f.stage.GetPickHit(&point, &normal, &st));
  scene.f.stage.RequestScreenPick(scene.f.stage.GetScreenPick().x, scene.f.stage.GetScreenPick().y);
  scene.DrawQuad(-5.0f);  // same depth: the pixel keeps its first polygon
  EXPECT_FALSE(scene.f.stage.GetPickHit(&point, &normal, &st));
}

TEST(ScreenPick, HitsOnRowsThatReducedQualityLeavesUnfilled) {
  struct Quality {
    bool skip, replicate, four;
    uint32_t mask;
  };
  for (Quality q : {Quality{true, false, false, 1}, Quality{true, true, true, 3}}) {
    for (int32_t row = 200; row < 204; ++row) {
      PickScene scene;
      scene.f.target.SetRowQuality({q.skip, q.replicate, q.four, q.mask});
      scene.f.stage.RequestScreenPick(300, row);
      scene.DrawQuad(-5.0f);
      CVec3f point, normal;
      CVec2f st;
      EXPECT_TRUE(scene.f.stage.GetPickHit(&point, &normal, &st)) << "row " << row << " mask " << q.mask;
    }
  }
}

}  // namespace
}  // namespace vx
