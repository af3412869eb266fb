// Records shared by the render target, its span fillers and the geometry
// stage.
#pragma once

#include <array>
#include <cstdint>

#include "engine/math/Vec.h"
#include "engine/render/RenderLimits.h"

namespace vx {

// A block of pixel rows (the frame buffer, or a bound texture). The pixels
// belong to the caller.
struct RenderBufferDesc {
  uint8_t* base = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytesPerPixel = 0;  // 1 palette index, 2 5:5:5, 4 xRGB
  int32_t rowBytes = 0;       // distance between row starts
};

// Words of one vertex as the geometry stage writes it and polygons carry it.
// After projection words 0-3 hold screen x, screen y, z/w and 1/w, and words
// 7-8 s and t times the texture size and 1/w.
namespace VertexWord {
inline constexpr int kX = 0, kY = 1, kZ = 2, kW = 3;
inline constexpr int kRed = 4, kGreen = 5, kBlue = 6;
inline constexpr int kS = 7, kT = 8;
inline constexpr int kSpecularRed = 9, kSpecularGreen = 10, kSpecularBlue = 11;
// Once a tinted textured vertex is coloured, its specular words hold the
// colour added to its shaded texels.
inline constexpr int kAddedRed = 9, kAddedGreen = 10, kAddedBlue = 11;
inline constexpr int kWorldX = 12, kWorldY = 13, kWorldZ = 14;
inline constexpr int kCount = 15;
}  // namespace VertexWord

struct VertexWork {
  float v[VertexWord::kCount] = {};
};

struct PolygonRecord {
  int32_t count = 0;
  VertexWork vertex[kMaxPolygonVertices];
};

// A polygon of a mesh, by the indices of its vertices.
struct MeshPolygon {
  int32_t materialIndex = 0;  // into the mesh's materials
  int32_t vertexCount = 0;    // 3 or 4
  std::array<int32_t, kMaxMeshPolygonVertices> vertices{};
  CVec3f faceNormal;  // written by ComputeNormals
};

// Whether a mesh polygon has 3 or 4 vertices, each among the first
// vertexCount.
inline bool HasVerticesAmong(const MeshPolygon& polygon, int32_t vertexCount) {
  if (polygon.vertexCount < 3 || polygon.vertexCount > kMaxMeshPolygonVertices) return false;
  for (int32_t j = 0; j < polygon.vertexCount; ++j) {
    if (polygon.vertices[j] < 0 || polygon.vertices[j] >= vertexCount) return false;
  }
  return true;
}

// A polygon's vertices once projected, wherever they lie: screen x and y,
// z/w and 1/w, the colour scaled for the pixel size, and s and t times the
// texture size and 1/w.
struct ScreenPolygon {
  int32_t count = 0;
  VertexWork* vertex[kMaxPolygonVertices];
};

// Where a vertex shared by several polygons lies after projection.
enum class SharedPlace : uint8_t {
  kOnScreen,       // within the fill planes, with a screen position
  kNeedsClipping,  // beyond a fill plane: its polygons are clipped one by one
  kNowhere,        // within the planes at w = 0: its polygons draw nothing
};

// A lit vertex of a mesh, coloured and projected once for all the polygons
// that share it.
struct SharedVertex {
  VertexWork screen;  // as a ScreenPolygon holds its vertices
  float color[3];     // the coloured vertex's red, green and blue, unscaled
  SharedPlace place;
  // A polygon all of whose vertices ask for it is filled flat, in the
  // average of their colours.
  bool flat;
};

// One edge of a span at the centre of the current row: the first twelve
// words of a projected vertex, with the colour scaled for the pixel size
// (tinted textures read the added colour; the others leave it).
struct SpanEdge {
  float x, y, z, q, r, g, b, uq, vq, addedR, addedG, addedB;
};
static_assert(sizeof(SpanEdge) == 12 * sizeof(float));

// Bits of the span mode handed to CRenderTarget::FillPolygon.
namespace SpanMode {
inline constexpr uint32_t kFill = 1;
inline constexpr uint32_t kSmooth = 2;
inline constexpr uint32_t kTextured = 4;
inline constexpr uint32_t kDepthOnly = 8;
inline constexpr uint32_t kUnlitTexture = 16;
inline constexpr uint32_t kChromaKey = 32;
// Texels shaded channel by channel by the vertex colours, then the added
// colour: the light's colour and the fog reach textures.
inline constexpr uint32_t kTinted = 64;
}  // namespace SpanMode

// Clip planes by their signed distance; a point is inside when d >= 0.
enum class ClipPlane : int32_t {
  kMaxY = 0,  // w - y
  kMinY = 1,  // w + y
  kMinX = 2,  // w + x
  kMaxX = 3,  // w - x
  kMaxZ = 4,  // w - z
  kMinZ = 5,  // w + z
};

enum CullMode : uint32_t { kCullNone = 0, kCullByWinding = 1, kCullMark = 2 };

}  // namespace vx
