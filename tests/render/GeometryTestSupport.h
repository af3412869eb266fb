// A geometry stage over a render target with its own frame buffer, and
// builders of lights, materials and lit polygons.
#pragma once

#include "RenderTestSupport.h"
#include "engine/render/GeometryStage.h"

namespace vx::test {

// A frame with a geometry stage over its render target.
struct StageFrame : Frame {
  StageFrame(int w, int h, int bytesPerPixel) : Frame(w, h, bytesPerPixel), stage(&target) {}
  uint32_t Xrgb(int x, int y) const { return At<uint32_t>(x, y); }
  bool Untouched() const {
    for (uint8_t b : pixels) {
      if (b != 0) return false;
    }
    return true;
  }
  CGeometryStage stage;
};

// One channel of a flat-filled 32-bit pixel for a colour c in 0..1.
inline uint32_t Channel32(float c) { return static_cast<uint32_t>(c * 251.0f + 2.0f); }

inline uint32_t Xrgb32(float r, float g, float b) {
  return Channel32(r) << 16 | Channel32(g) << 8 | Channel32(b);
}

inline LightRecord Light(uint32_t type, CVec3f color, CVec3f direction = {}) {
  LightRecord light;
  light.on = 1;
  light.type = type;
  light.specular = 1;
  light.color = color;
  light.direction = direction;
  light.attenuation = {1.0f, 0.0f, 0.0f};
  light.radius = 100.0f;
  return light;
}

// A light that makes no highlights, for tests of the diffuse sums.
inline LightRecord DiffuseLight(uint32_t type, CVec3f color, CVec3f direction = {}) {
  LightRecord light = Light(type, color, direction);
  light.specular = 0;
  return light;
}

// Unlit white everywhere: an ambient light of full strength.
inline void LightWithWhiteAmbient(CGeometryStage& stage) {
  LightRecord ambient = Light(kAmbientLight, {1.0f, 1.0f, 1.0f});
  (void)stage.AddLight(&ambient);
}

inline MaterialRecord FlatMaterial(FloatColor diffuse) {
  MaterialRecord m;
  m.diffuse = diffuse;
  m.smooth = 0;
  m.specular = 0;
  return m;
}

// A vertex lit by the stage at a world position with normal +z.
inline VertexWork LitVertex(const CGeometryStage& stage, CVec3f p, float s = 0.0f, float t = 0.0f) {
  VertexWork v;
  v.v[VertexWord::kS] = s;
  v.v[VertexWord::kT] = t;
  stage.TransformAndLightVertex(p, {0.0f, 0.0f, 1.0f}, &v, true, false);
  return v;
}

// The quad (x0, y0)-(x1, y1) at height z, counter-clockwise seen from +z,
// with s, t running 0..1 across it.
inline PolygonRecord LitQuad(const CGeometryStage& stage, float x0, float y0, float x1, float y1, float z) {
  PolygonRecord poly;
  poly.count = 4;
  poly.vertex[0] = LitVertex(stage, {x0, y0, z}, 0.0f, 0.0f);
  poly.vertex[1] = LitVertex(stage, {x1, y0, z}, 1.0f, 0.0f);
  poly.vertex[2] = LitVertex(stage, {x1, y1, z}, 1.0f, 1.0f);
  poly.vertex[3] = LitVertex(stage, {x0, y1, z}, 0.0f, 1.0f);
  return poly;
}

}  // namespace vx::test
