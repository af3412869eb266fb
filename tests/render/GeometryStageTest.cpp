#include "engine/render/GeometryStage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "GeometryTestSupport.h"

namespace vx {
namespace {

using test::Light;
using test::StageFrame;

CVec3f LitColor(const VertexWork& v) {
  return {v.v[VertexWord::kRed], v.v[VertexWord::kGreen], v.v[VertexWord::kBlue]};
}
CVec3f SpecularColor(const VertexWork& v) {
  return {v.v[VertexWord::kSpecularRed], v.v[VertexWord::kSpecularGreen], v.v[VertexWord::kSpecularBlue]};
}

void ExpectColor(const CVec3f& actual, const CVec3f& expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

VertexWork Lit(const CGeometryStage& stage, CVec3f position, CVec3f normal, bool flipAllowed = false) {
  VertexWork v;
  stage.TransformAndLightVertex(position, normal, &v, true, flipAllowed);
  return v;
}

TEST(GeometryStageLights, SlotsAreTakenLowestFirstAndFreed) {
  StageFrame f(8, 8, 4);
  LightRecord light = Light(kAmbientLight, {0.1f, 0.1f, 0.1f});
  EXPECT_EQ(f.stage.AddLight(nullptr), -1);
  for (int32_t i = 0; i < kLightSlots; ++i) ASSERT_EQ(f.stage.AddLight(&light), i);
  EXPECT_EQ(f.stage.AddLight(&light), -1);

  f.stage.SetLight(17, nullptr);
  f.stage.SetLight(5, nullptr);
  EXPECT_TRUE(f.stage.Light(5)->free);
  EXPECT_EQ(f.stage.AddLight(&light), 5);
  EXPECT_EQ(f.stage.AddLight(&light), 17);
  EXPECT_EQ(f.stage.AddLight(&light), -1);

  f.stage.SetLight(-1, nullptr);
  f.stage.SetLight(kLightSlots, &light);
  EXPECT_EQ(f.stage.Light(kLightSlots), nullptr);
  EXPECT_FALSE(f.stage.Light(0)->free);
}

TEST(GeometryStageLights, OnlyLightsThatAreOnLightAndSwitchingOrFreeingTakesEffectAtOnce) {
  StageFrame f(8, 8, 4);
  f.stage.BeginFrame();
  const CVec3f up{0, 1, 0};
  LightRecord red = Light(kAmbientLight, {0.5f, 0, 0});
  LightRecord green = Light(kAmbientLight, {0, 0.25f, 0});
  LightRecord blue = Light(kAmbientLight, {0, 0, 0.125f});
  const int32_t first = f.stage.AddLight(&red);
  const int32_t second = f.stage.AddLight(&green);
  (void)f.stage.AddLight(&blue);
  ExpectColor(LitColor(Lit(f.stage, {}, up)), {0.5f, 0.25f, 0.125f});

  LightRecord off = green;
  off.on = 0;
  f.stage.SetLight(second, &off);
  ExpectColor(LitColor(Lit(f.stage, {}, up)), {0.5f, 0, 0.125f});
  f.stage.SetLight(first, nullptr);
  ExpectColor(LitColor(Lit(f.stage, {}, up)), {0, 0, 0.125f});
  // The freed slot is taken again and lights from there.
  EXPECT_EQ(f.stage.AddLight(&green), first);
  ExpectColor(LitColor(Lit(f.stage, {}, up)), {0, 0.25f, 0.125f});
}

TEST(GeometryStageLighting, DirectionalAndAmbientAgainstHandValues) {
  StageFrame f(8, 8, 4);
  f.stage.BeginFrame();
  LightRecord zero = test::DiffuseLight(kDirectionalLight, {1, 1, 1});  // lights as if from +y
  int32_t slot = f.stage.AddLight(&zero);
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 0}, {0, 1, 0})), {1, 1, 1});
  f.stage.SetLight(slot, nullptr);
  LightRecord sun = test::DiffuseLight(kDirectionalLight, {1.0f, 0.5f, 0.25f}, {0, 0, 2});
  (void)f.stage.AddLight(&sun);
  // A normal 60 degrees away from the light gets half of it.
  CVec3f tilted{0.0f, std::sin(1.0471976f), std::cos(1.0471976f)};
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 0}, tilted)), {0.5f, 0.25f, 0.125f});
  // Facing away: nothing.
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 0}, {0, 0, -1})), {0, 0, 0});

  LightRecord ambient = Light(kAmbientLight, {0.75f, 0.75f, 0.75f});
  (void)f.stage.AddLight(&ambient);
  // Sums are clamped to 1.
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 0}, {0, 0, 1})), {1.0f, 1.0f, 1.0f});
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 0}, tilted)), {1.0f, 1.0f, 0.875f});
}

TEST(GeometryStageLighting, HighlightIsTheHalfwayCosineToTheSixteenth) {
  StageFrame f(8, 8, 4);
  f.stage.BeginFrame();  // view vector (0, 0, 1)
  LightRecord sun = Light(kDirectionalLight, {1.0f, 1.0f, 1.0f}, {0, 0, 1});
  (void)f.stage.AddLight(&sun);
  float angle = 0.5235988f;  // 30 degrees
  VertexWork v = Lit(f.stage, {0, 0, 0}, {0, std::sin(angle), std::cos(angle)});
  float h = std::cos(angle);
  ExpectColor(SpecularColor(v), CVec3f{1, 1, 1} * std::pow(h, 16.0f));
  ExpectColor(LitColor(v), CVec3f{1, 1, 1} * h);

  // No highlight without the material's flag, nor on an 8-bit target.
  MaterialRecord dull;
  dull.specular = 0;
  f.stage.SetMaterial(&dull);
  ExpectColor(SpecularColor(Lit(f.stage, {0, 0, 0}, {0, 0, 1})), {0, 0, 0});
  StageFrame indexed(8, 8, 1);
  (void)indexed.stage.AddLight(&sun);
  EXPECT_EQ(indexed.stage.Material().specular, 0);
  ExpectColor(SpecularColor(Lit(indexed.stage, {0, 0, 0}, {0, 0, 1})), {0, 0, 0});
}

TEST(GeometryStageLighting, PointLightAttenuatesAndEndsAtItsRadius) {
  StageFrame f(8, 8, 4);
  LightRecord bulb = test::DiffuseLight(kPointLight, {1, 1, 1}, {0, 0, 5});
  bulb.radius = 5.0f;
  bulb.attenuation = {1.0f, 0.2f, 0.0f};
  int32_t slot = f.stage.AddLight(&bulb);
  // Exactly at the radius it still lights: 1 / (1 + 0.2 x 5).
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 0}, {0, 0, 1})), {0.5f, 0.5f, 0.5f});
  ExpectColor(LitColor(Lit(f.stage, {0, 0, -0.001f}, {0, 0, 1})), {0, 0, 0});
  // The approximate distance max + (mid + min) / 4 divides the direction.
  bulb.attenuation = {1.0f, 0.0f, 0.0f};
  bulb.radius = 100.0f;
  f.stage.SetLight(slot, &bulb);
  float d = 5.0f + 0.25f * 4.0f;
  ExpectColor(LitColor(Lit(f.stage, {4, 0, 0}, {0, 0, 1})), CVec3f{1, 1, 1} * (5.0f / d));
  // A vertex at the light itself gets nothing (and no NaN).
  ExpectColor(LitColor(Lit(f.stage, {0, 0, 5}, {0, 0, 1})), {0, 0, 0});
}

TEST(GeometryStageLighting, SpotConeFullHalfAndNothing) {
  StageFrame f(8, 8, 4);
  LightRecord spot = test::DiffuseLight(kSpotLight, {1, 1, 1}, {0, 0, 5});
  spot.innerAngle = 0.4f;
  spot.outerAngle = 1.2f;
  float cosInner = std::cos(0.2f), cosOuter = std::cos(0.6f);
  auto litAt = [&](float c) {
    float s = std::sqrt(1.0f - c * c);
    LightRecord aimed = spot;
    aimed.spotDirection = {s, 0.0f, -c};
    f.stage.SetLight(0, &aimed);
    return LitColor(Lit(f.stage, {0, 0, 0}, {0, 0, 1})).x;
  };
  (void)f.stage.AddLight(&spot);
  EXPECT_NEAR(litAt(cosInner), 1.0f, 1e-4f);
  EXPECT_NEAR(litAt(0.5f * (cosInner + cosOuter)), 0.5f, 1e-3f);
  EXPECT_EQ(litAt(cosOuter - 0.01f), 0.0f);
}

TEST(GeometryStageLighting, NormalsAreTransformedAndFlippedOnlyWhereAllowed) {
  StageFrame f(8, 8, 4);
  f.stage.BeginFrame();
  LightRecord sun = test::DiffuseLight(kDirectionalLight, {1, 1, 1}, {0, 0, 1});
  (void)f.stage.AddLight(&sun);
  // A model scaled by 3 and turned half round about y: the normal -z becomes
  // +z and keeps unit length.
  CMatrix4 model;
  model.SetScale(3, 3, 3);
  CMatrix4 turn;
  turn.SetAxisRotation(1, 3.14159265f);
  model.PreMultiply(turn);
  f.stage.SetModelViewMatrix(&model);
  VertexWork v = Lit(f.stage, {1, 0, 0}, {0, 0, -1});
  EXPECT_NEAR(v.v[VertexWord::kWorldX], -3.0f, 1e-5f);
  EXPECT_NEAR(v.v[VertexWord::kRed], 1.0f, 1e-5f);
  f.stage.SetModelViewMatrix(nullptr);

  // Facing away from the viewer: lit only when the stage may turn it round,
  // at every pixel size.
  EXPECT_EQ(Lit(f.stage, {0, 0, 0}, {0, 0, -1}, false).v[VertexWord::kRed], 0.0f);
  EXPECT_EQ(Lit(f.stage, {0, 0, 0}, {0, 0, -1}, true).v[VertexWord::kRed], 1.0f);
  StageFrame indexed(8, 8, 1);
  indexed.stage.BeginFrame();
  (void)indexed.stage.AddLight(&sun);
  EXPECT_EQ(Lit(indexed.stage, {0, 0, 0}, {0, 0, -1}, true).v[VertexWord::kRed], 1.0f);
}

// A textured material moving texture coordinates by the rule.
MaterialRecord TransformingMaterial(TextureTransformRule rule, CVec2f center, float rotation, CVec2f scale,
                                    CVec2f translation) {
  static uint32_t texels[4] = {};
  MaterialRecord m;
  m.texture = {reinterpret_cast<uint8_t*>(texels), 2, 2, 4, 8};
  m.textureTransform = rule;
  m.center = center;
  m.rotation = rotation;
  m.scale = scale;
  m.translation = translation;
  return m;
}

// Stored texture coordinates (t down the image) after the material's
// transform.
CVec2f Transformed(const MaterialRecord& m, CVec2f stored) {
  StageFrame f(8, 8, 4);
  f.stage.SetMaterial(&m);
  VertexWork v;
  v.v[VertexWord::kS] = stored.x;
  v.v[VertexWord::kT] = stored.y;
  f.stage.TransformAndLightVertex({1, 2, 3}, {0, 0, 1}, &v, true, false);
  return {v.v[VertexWord::kS], v.v[VertexWord::kT]};
}

TEST(GeometryStageLighting, TextureTransformAboutTheCentre) {
  const MaterialRecord m =
      TransformingMaterial(TextureTransformRule::kAboutCentre, {0.5f, 0.5f}, 1.5707964f, {2.0f, 1.0f}, {0.25f, 0.0f});
  // (0.5, 0) scaled to (1, 0), turned to (0, 1), moved back by -0.25 and the centre.
  const CVec2f st = Transformed(m, {1.0f, 0.5f});
  EXPECT_NEAR(st.x, 0.25f, 1e-6f);
  EXPECT_NEAR(st.y, 1.5f, 1e-6f);
}

// VRML 2.0's rule works on image coordinates (t up the image), which meshes
// store flipped; checked against Tc' = S R (Tc + translation + centre) -
// centre worked out step by step.
TEST(GeometryStageLighting, TextureTransformByTheVrmlRule) {
  const MaterialRecord m =
      TransformingMaterial(TextureTransformRule::kVrml, {0.25f, 0.5f}, 0.7f, {2.0f, 3.0f}, {0.1f, -0.2f});
  for (const auto& [s, t] : {std::pair{0.0f, 0.0f}, {1.0f, 0.0f}, {0.3f, 0.8f}, {-2.0f, 5.0f}}) {
    const double x = s + m.translation.x + m.center.x;
    const double y = t + m.translation.y + m.center.y;
    const double turnedX = std::cos(m.rotation) * x - std::sin(m.rotation) * y;
    const double turnedY = std::sin(m.rotation) * x + std::cos(m.rotation) * y;
    const CVec2f st = Transformed(m, {s, 1.0f - t});
    EXPECT_NEAR(st.x, m.scale.x * turnedX - m.center.x, 1e-5) << s << ", " << t;
    EXPECT_NEAR(1.0f - st.y, m.scale.y * turnedY - m.center.y, 1e-5) << s << ", " << t;
  }
}

TEST(GeometryStageMaterial, TextureSetsRedAndModesAndIsDroppedEachFrame) {
  StageFrame f(8, 8, 4);
  std::vector<uint32_t> texels(16, 0x00FF00);
  MaterialRecord m;
  m.diffuse = {0.2f, 0.3f, 0.4f};
  m.texture = {reinterpret_cast<uint8_t*>(texels.data()), 4, 4, 4, 16};
  m.unlitTexture = 1;
  m.chromaKey = 1;
  m.chromaKeyColor = {1, 0, 0};
  f.stage.SetMaterial(&m);
  const MaterialRecord& applied = f.stage.Material();
  EXPECT_EQ(applied.diffuse.r, 1.0f);
  EXPECT_EQ(applied.diffuse.g, 0.3f);
  EXPECT_EQ(applied.specular, 0);
  EXPECT_EQ(applied.specularColor.b, 1.0f);
  EXPECT_EQ(applied.spanMode, SpanMode::kTextured | SpanMode::kUnlitTexture | SpanMode::kChromaKey);
  EXPECT_EQ(applied.chromaKeyXrgb, 0xFF0000u);
  EXPECT_EQ(applied.chromaKey555, 0x7C00u);

  // The owner frees the pixels between frames: the next frame no longer
  // points at them, and drawing reads nothing freed (ASan watches).
  texels = {};
  f.stage.BeginFrame();
  EXPECT_EQ(f.stage.Material().texture.base, nullptr);
  test::LightWithWhiteAmbient(f.stage);
  PolygonRecord quad = test::LitQuad(f.stage, -1, -1, 1, 1, 0);
  f.target.SetCulling({.mode = kCullNone});
  f.stage.DrawPolygon(&quad);
  EXPECT_NE(f.Xrgb(4, 4), 0u);
}

TEST(GeometryStageDrawing, FlatColourIsTheAverageOfEveryVertex) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  MaterialRecord white = test::FlatMaterial({1, 1, 1});
  f.stage.SetMaterial(&white);
  // A pentagon: four black vertices and one white one.
  PolygonRecord pentagon;
  const CVec3f corners[] = {{-1, -1, 0}, {1, -1, 0}, {1, 0.5f, 0}, {0, 1, 0}, {-1, 0.5f, 0}};
  for (const CVec3f& c : corners) {
    VertexWork& v = pentagon.vertex[pentagon.count++];
    f.stage.TransformAndLightVertex(c, {0, 0, 1}, &v, true, false);
  }
  pentagon.vertex[3].v[VertexWord::kRed] = 1.0f;
  f.stage.DrawPolygon(&pentagon);
  EXPECT_NEAR(static_cast<int>(f.Xrgb(8, 8) >> 16), static_cast<int>(test::Channel32(0.2f)), 1);
}

// Emissive light adds to what the lights give, before the colour is held to
// 0..1.
TEST(GeometryStageDrawing, EmissiveColourAddsToTheLitColour) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  LightRecord half = test::Light(kAmbientLight, {0.5f, 0.5f, 0.5f});
  (void)f.stage.AddLight(&half);
  MaterialRecord glowing = test::FlatMaterial({0.4f, 0.2f, 0.0f});
  glowing.emissive = {0.1f, 0.9f, 0.3f};
  f.stage.SetMaterial(&glowing);
  PolygonRecord quad = test::LitQuad(f.stage, -1, -1, 1, 1, 0);
  f.stage.DrawPolygon(&quad);
  EXPECT_EQ(f.Xrgb(8, 8), test::Xrgb32(0.3f, 1.0f, 0.3f));
}

// Projection that blows the unit square near the origin up to the frame, so
// that fog distances can be set by the eye alone.
CMatrix4 Magnifier(float factor) {
  CMatrix4 m;
  m.SetScale(factor, factor, 0.001f);
  return m;
}

TEST(GeometryStageDrawing, FogMixesLinearlyAndCoversPolygonsBeyondItsRange) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  test::LightWithWhiteAmbient(f.stage);
  CMatrix4 magnify = Magnifier(100.0f);
  f.stage.SetProjectionMatrix(&magnify);
  MaterialRecord m = test::FlatMaterial({0.8f, 0.4f, 0.2f});
  f.stage.SetMaterial(&m);
  f.stage.SetFog({0.0f, 0.0f, 1.0f, 1.0f}, 10.0f, 0);

  // Every vertex about 5 away: half its colour, half the fog's.
  f.stage.eye = {0, 0, 5};
  PolygonRecord quad = test::LitQuad(f.stage, -0.01f, -0.01f, 0.01f, 0.01f, 0);
  f.stage.DrawPolygon(&quad);
  uint32_t pixel = f.Xrgb(8, 8);
  EXPECT_NEAR(static_cast<int>(pixel >> 16), static_cast<int>(test::Channel32(0.4f)), 1);
  EXPECT_NEAR(static_cast<int>(pixel >> 8 & 0xFF), static_cast<int>(test::Channel32(0.2f)), 1);
  EXPECT_NEAR(static_cast<int>(pixel & 0xFF), static_cast<int>(test::Channel32(0.6f)), 1);

  // Wholly beyond the range: flat in the fog colour, even when smooth.
  MaterialRecord smooth = m;
  smooth.smooth = 1;
  f.stage.SetMaterial(&smooth);
  f.target.Clear(true, true);
  f.stage.eye = {0, 0, 12};
  quad = test::LitQuad(f.stage, -0.01f, -0.01f, 0.01f, 0.01f, 0);
  f.stage.DrawPolygon(&quad);
  EXPECT_EQ(f.Xrgb(3, 12), test::Xrgb32(0, 0, 1));
}

TEST(GeometryStageDrawing, InvisibleMaterialWritesDepthOnly) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  MaterialRecord invisible = test::FlatMaterial({-1.0f, 0.5f, 0.5f});
  f.stage.SetMaterial(&invisible);
  PolygonRecord quad = test::LitQuad(f.stage, -1, -1, 1, 1, 0.5f);
  f.stage.DrawPolygon(&quad);
  EXPECT_TRUE(f.Untouched());
  EXPECT_FLOAT_EQ(f.target.GetDepth(8, 8), 0.5f);
}

TEST(GeometryStageDrawing, VisibilityTestNeverDraws) {
  StageFrame f(16, 16, 4);
  f.target.SetCulling({.mode = kCullNone});
  test::LightWithWhiteAmbient(f.stage);
  f.stage.SetFog({1, 1, 1, 1}, 0.5f, 0);  // every vertex fully fogged
  for (float red : {0.5f, -1.0f}) {
    MaterialRecord m = test::FlatMaterial({red, 0.5f, 0.5f});
    f.stage.SetMaterial(&m);
    CVisibilityTestScope test(f.stage);
    PolygonRecord outside = test::LitQuad(f.stage, 2, 2, 3, 3, 0);
    f.stage.DrawPolygon(&outside);
    EXPECT_FALSE(test.Visible());
    PolygonRecord inside = test::LitQuad(f.stage, -1, -1, 1, 1, 0);
    f.stage.DrawPolygon(&inside);
    EXPECT_TRUE(test.Visible());
  }
  EXPECT_TRUE(f.Untouched());
  EXPECT_EQ(f.target.GetDepth(8, 8), kFarDepth);
  PolygonRecord after = test::LitQuad(f.stage, -1, -1, 1, 1, 0);
  f.stage.DrawPolygon(&after);
  EXPECT_NE(f.target.GetDepth(8, 8), kFarDepth) << "drawing goes on once the test has ended";
}

TEST(GeometryStageDrawing, PointsAndLines) {
  StageFrame f(16, 16, 4);
  f.stage.BeginFrame();
  f.stage.DrawPoint({0, 0, 0}, {1, 1, 1});
  EXPECT_EQ(f.Xrgb(8, 8), 0xFFFFFFu);
  // Behind the eye (0, 0, 4) looking down -z: not drawn.
  f.stage.DrawPoint({0.5f, 0.5f, 5}, {1, 1, 1});
  EXPECT_EQ(f.Xrgb(12, 4), 0u);

  f.stage.DrawLine({-1, -0.9375f, 0}, {1, -0.9375f, 0}, {0, 1, 0});
  EXPECT_EQ(f.Xrgb(3, 15), 0x00FF00u);
  // Ends with w near zero are dropped.
  CMatrix4 flat;
  flat.m[15] = 0.0f;
  f.stage.SetProjectionMatrix(&flat);
  f.stage.DrawLine({-1, 0.5f, 0}, {1, 0.5f, 0}, {0, 1, 0});
  EXPECT_EQ(f.Xrgb(3, 4), 0u);
}

}  // namespace
}  // namespace vx
