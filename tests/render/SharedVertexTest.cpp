// Meshes colour and project each vertex once for all the polygons that share
// it, and polygons of tame coordinates drawn at full quality take the direct
// way down their rows. Both must draw, bit for bit, what the general way
// draws: polygons lit, coloured and filled one at a time, and rows filled
// with saturating conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "GeometryTestSupport.h"
#include "engine/render/MeshBuffer.h"
#include "platform/Random.h"

namespace vx {
namespace {

using test::StageFrame;

float Uniform(Random15& random, float low, float high) {
  return low + (high - low) * static_cast<float>(random.Next()) / static_cast<float>(kRandomMax);
}

// What a frame holds after drawing: every pixel byte and every depth.
struct Snapshot {
  std::vector<uint8_t> pixels;
  std::vector<float> depth;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const StageFrame& f) {
  Snapshot snapshot{f.pixels, {}};
  for (int y = 0; y < f.desc.height; ++y)
    for (int x = 0; x < f.desc.width; ++x) snapshot.depth.push_back(f.target.GetDepth(x, y));
  return snapshot;
}

// A mesh of random triangles and quads, some of them reaching past the near
// plane or the top and bottom of the view, which they are clipped against,
// or far past the frame's sides, which they are not, as data that both
// ways draw from.
struct MeshData {
  std::vector<CVec3f> positions, normals;
  std::vector<CVec2f> texCoords;
  std::vector<FloatColor> colors;  // empty: none
  std::vector<MeshPolygon> polygons;

  MeshData(Random15& random, bool withColors) {
    constexpr int kVertices = 48, kPolygons = 72;
    for (int i = 0; i < kVertices; ++i) {
      const float reach = i % 11 == 0 ? 2.0e6f : 3.0f;  // far beyond the sides: not tame
      positions.push_back({Uniform(random, -reach, reach), Uniform(random, -1.8f, 1.8f), Uniform(random, -4, 4.95f)});
      normals.push_back(CVec3f{Uniform(random, -1, 1), Uniform(random, -1, 1), Uniform(random, -1, 1)}.Normalize());
      texCoords.push_back({Uniform(random, -2, 3), Uniform(random, -2, 3)});
      if (withColors) colors.push_back({Uniform(random, 0, 1), Uniform(random, 0, 1), Uniform(random, 0, 1)});
    }
    for (int k = 0; k < kPolygons; ++k) {
      MeshPolygon polygon;
      polygon.vertexCount = random.Next() % 3 == 0 ? 4 : 3;
      for (int j = 0; j < polygon.vertexCount; ++j) polygon.vertices[j] = random.Next() % kVertices;
      polygons.push_back(polygon);
    }
  }

  CMeshBuffer Mesh(bool derivedNormals) const {
    CMeshBuffer mesh;
    mesh.SetVertexCount(static_cast<int32_t>(positions.size()));
    if (!colors.empty()) {
      EXPECT_TRUE(mesh.AddVertexColors());
    }
    for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
      mesh.SetVertex(i, positions[i]);
      mesh.SetNormal(i, normals[i]);
      mesh.SetTexCoord(i, texCoords[i]);
      if (!colors.empty()) mesh.SetColor(i, colors[i]);
    }
    mesh.SetPolygonCount(static_cast<int32_t>(polygons.size()));
    for (int32_t k = 0; k < mesh.PolygonCount(); ++k) mesh.SetPolygon(k, polygons[k]);
    if (derivedNormals) mesh.ComputeNormals();
    return mesh;
  }

  // The mesh the general way: every polygon lit, coloured and filled by
  // itself from copies of its vertices, as a mesh's vertices are lit once.
  void DrawOneByOne(CGeometryStage& stage, const CMeshBuffer& mesh, int32_t highlight) const {
    std::vector<VertexWork> lit(positions.size());
    for (int32_t i = 0; i < mesh.VertexCount(); ++i) {
      const CVec2f st = mesh.GetTexCoord(i);
      lit[i].v[VertexWord::kS] = st.x;
      lit[i].v[VertexWord::kT] = st.y;
      stage.TransformAndLightVertex(mesh.GetVertex(i), mesh.GetNormal(i), &lit[i], true, !mesh.SuppliedNormals());
    }
    const bool colored = !colors.empty() && stage.Material().texture.base == nullptr;
    for (size_t i = 0; colored && i < lit.size(); ++i) {
      lit[i].v[VertexWord::kRed] *= colors[i].r;
      lit[i].v[VertexWord::kGreen] *= colors[i].g;
      lit[i].v[VertexWord::kBlue] *= colors[i].b;
    }
    std::optional<CVertexColorScope> scope;
    if (colored) scope.emplace(stage);
    for (int32_t k = 0; k < mesh.PolygonCount(); ++k) {
      const MeshPolygon& polygon = polygons[static_cast<size_t>(k)];
      PolygonRecord record;
      record.count = polygon.vertexCount;
      for (int32_t j = 0; j < polygon.vertexCount; ++j) record.vertex[j] = lit[polygon.vertices[j]];
      if (k == highlight) stage.RenderTarget()->BeginMarkedPolygon();
      stage.DrawPolygon(&record);
      if (k == highlight) (void)stage.RenderTarget()->EndMarkedPolygon();
    }
  }
};

enum class Look { kSmooth, kFlat, kShiny, kTextured, kSmoothTextured, kUnlitTextured, kKeyedTextured };

struct Scene {
  int bytesPerPixel;
  Look look;
  bool fog;
  bool colors;
  CullState culling;
  RowQuality quality;
};

// A perspective camera 5 units out, whose near plane cuts the mesh, over a
// model that is stretched (so that its normals are turned) but not turned
// (so that the far sides stay far sides).
void SetCamera(CGeometryStage& stage, int width, int height) {
  stage.eye = {0.3f, 0.2f, 5.0f};
  stage.lookAt = {0.0f, 0.0f, 0.0f};
  CMatrix4 camera;
  camera.SetPerspective(1.1f, 0.1f, 50.0f, static_cast<float>(width) / static_cast<float>(height));
  CMatrix4 view;
  view.SetTranslation(0.0f, 0.0f, -5.0f);
  camera.PreMultiply(view);
  stage.SetProjectionMatrix(&camera);
  CMatrix4 model;
  model.SetScale(1.1f, 0.8f, 1.0f);
  stage.SetModelViewMatrix(&model);
}

MaterialRecord MaterialFor(Look look, std::vector<uint8_t>& texels, int bytesPerPixel) {
  MaterialRecord material;
  material.diffuse = {0.8f, 0.5f, 0.3f};
  material.emissive = {0.05f, 0.0f, 0.1f};
  material.smooth = look == Look::kFlat || look == Look::kTextured ? 0 : 1;
  material.specular = look == Look::kShiny ? 1 : 0;
  if (look >= Look::kTextured) {
    texels.resize(size_t{16} * 16 * bytesPerPixel);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(i * 37 % 251);
    material.texture = {texels.data(), 16, 16, bytesPerPixel, 16 * bytesPerPixel};
    material.unlitTexture = look == Look::kUnlitTextured;
    material.chromaKey = look == Look::kKeyedTextured;
    material.repeatT = 0;
  }
  return material;
}

// Both ways into the same target (whose dither tables are random), from a
// clear frame each.
void ExpectBothWaysAlike(const Scene& scene, uint32_t seed, int32_t highlight = -1) {
  SCOPED_TRACE("pixel size " + std::to_string(scene.bytesPerPixel) + ", look " +
               std::to_string(static_cast<int>(scene.look)) + ", seed " + std::to_string(seed));
  StageFrame f(61, 47, scene.bytesPerPixel);
  f.target.SetCulling(scene.culling);
  f.target.SetRowQuality(scene.quality);
  LightRecord ambient = test::Light(kAmbientLight, {0.15f, 0.1f, 0.1f});
  (void)f.stage.AddLight(&ambient);
  LightRecord sun = test::Light(kDirectionalLight, {0.8f, 0.7f, 0.5f}, {0.3f, 0.4f, 0.8f});
  LightRecord lamp = test::Light(kPointLight, {0.4f, 0.3f, 0.6f}, {1.0f, 1.0f, 2.0f});
  (void)f.stage.AddLight(&sun);
  (void)f.stage.AddLight(&lamp);
  if (scene.fog) f.stage.SetFog({0.2f, 0.3f, 0.9f, 1.0f}, 6.0f, 0);
  SetCamera(f.stage, f.desc.width, f.desc.height);
  Random15 random(seed);
  const MeshData data(random, scene.colors);
  std::vector<uint8_t> texels;
  const MaterialRecord material = MaterialFor(scene.look, texels, scene.bytesPerPixel);

  Snapshot shared, oneByOne;
  for (bool derivedNormals : {false, true}) {
    CMeshBuffer mesh = data.Mesh(derivedNormals);
    f.target.Clear(true, true);
    f.stage.BeginFrame();
    f.stage.SetMaterial(&material);
    mesh.Draw(&f.stage, true, highlight);
    shared = Take(f);
    f.target.Clear(true, true);
    f.stage.BeginFrame();
    f.stage.SetMaterial(&material);
    data.DrawOneByOne(f.stage, mesh, highlight);
    oneByOne = Take(f);
    EXPECT_TRUE(shared == oneByOne) << (derivedNormals ? "derived normals" : "supplied normals");
  }
}

TEST(SharedVertices, AMeshDrawsWhatItsPolygonsDrawnOneByOneDraw) {
  const CullState cullings[] = {{kCullNone, 1}, {kCullByWinding, 0}, {kCullByWinding, 1}};
  const RowQuality qualities[] = {
      {}, {.replicateRows = true}, {.replicateRows = true, .replicateFour = true, .rowMask = 3}};
  uint32_t seed = 1;
  for (int bytesPerPixel : {1, 2, 4}) {
    for (Look look : {Look::kSmooth, Look::kFlat, Look::kShiny, Look::kTextured, Look::kSmoothTextured,
                      Look::kUnlitTextured, Look::kKeyedTextured}) {
      for (int variant = 0; variant < 6; ++variant) {
        const Scene scene{
            bytesPerPixel, look, variant % 2 == 1, variant % 3 == 2, cullings[variant % 3], qualities[variant / 2 % 3]};
        ExpectBothWaysAlike(scene, seed++);
      }
    }
  }
}

// A highlighted polygon is marked and its mesh filled one polygon at a time
// under the marking cull; elsewhere only the highlighted one is.
TEST(SharedVertices, HighlightedPolygonsAreFilledOneByOne) {
  ExpectBothWaysAlike({4, Look::kSmooth, false, false, {kCullMark, 1}, {}}, 101, 5);
  ExpectBothWaysAlike({4, Look::kSmooth, false, false, {kCullByWinding, 1}, {}}, 102, 5);
}

// A vertex at w = 0 on the axis lies within every fill plane but has no
// screen position: its polygons draw nothing, the others all they draw.
TEST(SharedVertices, AVertexWithoutAScreenPositionTakesOnlyItsPolygons) {
  auto draw = [](bool withUnplaced) {
    StageFrame f(16, 16, 4);
    f.target.SetCulling({.mode = kCullNone});
    test::LightWithWhiteAmbient(f.stage);
    CMatrix4 depthIsW;  // w = z: the plane z = 0 is the eye's
    depthIsW[10] = 0.5f;
    depthIsW[11] = 1.0f;
    depthIsW[15] = 0.0f;
    f.stage.SetProjectionMatrix(&depthIsW);
    CMeshBuffer mesh;
    mesh.SetVertexCount(6);
    const CVec3f points[] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}, {0, 0, 0}, {0.5f, -2, 2}};
    for (int32_t i = 0; i < 6; ++i) {
      mesh.SetVertex(i, points[i]);
      mesh.SetNormal(i, {0, 0, 1});
    }
    std::vector<MeshPolygon> polygons(2);
    polygons[0].vertexCount = 4;
    polygons[0].vertices = {0, 1, 2, 3};
    polygons[1].vertexCount = 3;
    polygons[1].vertices = {0, 5, 4, 0};
    mesh.SetPolygonCount(withUnplaced ? 2 : 1);
    for (int32_t k = 0; k < mesh.PolygonCount(); ++k) mesh.SetPolygon(k, polygons[static_cast<size_t>(k)]);
    MaterialRecord white = test::FlatMaterial({1, 1, 1});
    f.stage.SetMaterial(&white);
    mesh.Draw(&f.stage, true, -1);
    EXPECT_EQ(f.Xrgb(8, 8), test::Xrgb32(1, 1, 1));
    return Take(f);
  };
  EXPECT_TRUE(draw(true) == draw(false));
}

// Rows filled at reduced quality take the general way; those of them that
// are drawn at all hold what full quality draws there the direct way.
TEST(DirectRows, DrawnRowsMatchTheGeneralWayAtReducedQuality) {
  for (int bytesPerPixel : {1, 2, 4}) {
    for (uint32_t mode :
         {SpanMode::kFill, SpanMode::kFill | SpanMode::kSmooth, SpanMode::kFill | SpanMode::kDepthOnly}) {
      SCOPED_TRACE("pixel size " + std::to_string(bytesPerPixel) + ", mode " + std::to_string(mode));
      // One target for both, so that the same dither offsets serve both.
      StageFrame f(53, 41, bytesPerPixel);
      f.target.SetCulling({.mode = kCullNone});
      auto draw = [&f, bytesPerPixel, mode](const RowQuality& quality) {
        f.target.SetRowQuality(quality);
        f.target.Clear(true, true);
        Random15 random(static_cast<uint32_t>(bytesPerPixel * 10) + mode);
        for (int i = 0; i < 300; ++i) {
          PolygonRecord poly;
          poly.count = 3 + random.Next() % 3;
          const float reach = i % 7 == 0 ? 1.0e7f : 1.6f;  // far beyond the sides: not tame
          for (int k = 0; k < poly.count; ++k) {
            float* v = poly.vertex[k].v;
            v[VertexWord::kX] = Uniform(random, -reach, reach);
            v[VertexWord::kY] = Uniform(random, -1.6f, 1.6f);
            v[VertexWord::kZ] = Uniform(random, -1.0f, 1.0f);
            v[VertexWord::kW] = Uniform(random, 0.5f, 2.0f);
            for (int c = 0; c < 3; ++c) v[VertexWord::kRed + c] = Uniform(random, 0, 1);
          }
          f.target.FillPolygon(&poly, mode);
        }
        return Take(f);
      };
      const Snapshot direct = draw({});
      const Snapshot general = draw({.skipRows = true});
      const size_t rowBytes = static_cast<size_t>(f.desc.rowBytes), width = static_cast<size_t>(f.desc.width);
      // Reduced quality leaves the last row alone.
      for (size_t y = 0; y + 1 < static_cast<size_t>(f.desc.height); y += 2) {
        EXPECT_TRUE(
            std::equal(&direct.pixels[y * rowBytes], &direct.pixels[(y + 1) * rowBytes], &general.pixels[y * rowBytes]))
            << "pixels of row " << y;
        EXPECT_TRUE(std::equal(&direct.depth[y * width], &direct.depth[(y + 1) * width], &general.depth[y * width]))
            << "depths of row " << y;
      }
    }
  }
}

}  // namespace
}  // namespace vx
