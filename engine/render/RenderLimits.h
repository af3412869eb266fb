// Limits and fixed values of the renderer, in one place.
#pragma once

#include <cstdint>

namespace vx {

// Display palette and colour maps.
inline constexpr int32_t kPaletteSize = 256;
inline constexpr int32_t kInverseMap555Size = 32 * 32 * 32;
inline constexpr int32_t kMaxInverseMapBits = 8;  // per channel

// Lights of the geometry stage.
inline constexpr int32_t kLightSlots = 64;
// The standard's lighting clamps a vertex's light sum only at the end; the
// sums it keeps until then stop here, and so does the light by which a
// tinted texel is multiplied (beyond it every texel but black saturates).
inline constexpr float kMaxLightSum = 8.0f;
// Relative difference below which a model matrix counts as turning and
// scaling evenly (its columns' lengths equal, their products zero).
inline constexpr float kEvenScaleTolerance = 1e-5f;

// Depth: z/w, larger is nearer. Rows are cleared lazily to this value.
inline constexpr float kFarDepth = -1000000.0f;

// Colour scale of the span edges per pixel size: c x scale + offset.
inline constexpr float kColorScale16 = 241.0f;
inline constexpr float kColorScale32 = 251.0f;
inline constexpr float kColorOffset = 2.0f;

// A polygon enters the clipper with at most 8 vertices; each of the five
// planes can add one to a convex polygon (13). The record has room to spare,
// and the clipper never writes past it whatever the input's shape.
inline constexpr int32_t kMaxInputVertices = 8;
inline constexpr int32_t kClipPlaneCount = 5;
inline constexpr int32_t kMaxPolygonVertices = 16;
static_assert(kMaxPolygonVertices >= kMaxInputVertices + kClipPlaneCount);

// A mesh's polygons are triangles and quadrilaterals.
inline constexpr int32_t kMaxMeshPolygonVertices = 4;
static_assert(kMaxMeshPolygonVertices <= kMaxInputVertices);

inline constexpr int32_t kInitialTextureRows = 512;
// The widest and highest texture the fillers address: a position within two
// periods of a repeating axis (2 x side x 65536) must fit 32 bits. Larger
// textures are not drawn (their polygons fill untextured); pictures are no
// larger anyway.
inline constexpr int32_t kMaxTextureSide = 16384;

// Textured runs of up to this many pixels find all their exact texel places
// at once, in a table on the stack, before they draw; longer runs (only on
// targets wider than this) find them as they go.
inline constexpr int32_t kMaxTexturedRunAtOnce = 4096;

// A polygon whose screen coordinates all lie within this distance of the
// origin is scanned with plain conversions to integers: the values its edges
// take at the rows they cross lie between their ends, give or take rounding,
// far inside the int32 range.
inline constexpr float kTameCoordinate = 4194304.0f;  // 2^22

// Smooth 16-bit spans add a random offset of 0..6 (16.16) to each channel.
inline constexpr int32_t kDitherLevels = 7;

// Polygon triangulator: its tables are sized from the number of points, with
// these many query nodes and trapezoids for every segment. Zigzag polygons
// of a hundred points need over four trapezoids a segment; twice the largest
// need measured over many thousand random simple polygons is kept. The limit
// on points keeps hostile input from asking for huge tables.
inline constexpr int32_t kTriangulatorNodesPerSegment = 16;
inline constexpr int32_t kTriangulatorTrapezoidsPerSegment = 8;
inline constexpr int32_t kMaxTriangulatorPoints = 65536;

}  // namespace vx
