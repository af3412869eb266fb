// Limits of the renderer, in one place.
#pragma once

#include <cstdint>

namespace vx {

// Polygon triangulator: its tables are sized from the number of points, with
// these many query nodes and trapezoids for every segment. Zigzag polygons
// of a hundred points need over four trapezoids a segment; twice the largest
// need measured over many thousand random simple polygons is kept. The limit
// on points keeps hostile input from asking for huge tables.
inline constexpr int32_t kTriangulatorNodesPerSegment = 16;
inline constexpr int32_t kTriangulatorTrapezoidsPerSegment = 8;
inline constexpr int32_t kMaxTriangulatorPoints = 65536;

}  // namespace vx
