// What the render target's fill reads besides the polygon: the view's row
// quality, the geometry's culling, and the per-polygon colour that
// CRenderTarget::FillPolygon works out and hands to every span filler.
#pragma once

#include <cstdint>

#include "engine/render/RenderTypes.h"

namespace vx {

// The view's quality setting. skipRows: only rows with (y & rowMask) == 0
// are filled. replicateRows: fillers copy each row into the next one
// (replicateFour: the next three). "HIGH" is (off, off, 1), "MEDIUM"
// replicates two rows with mask 1 and "LOW" four rows with mask 3.
struct RowQuality {
  bool skipRows = false;
  bool replicateRows = false;
  bool replicateFour = false;
  uint32_t rowMask = 1;

  bool Reduced() const { return skipRows || replicateRows; }
};

// Which polygons are dropped, set by geometry nodes before they draw.
// winding 0 culls polygons of negative signed screen area, 1 those of
// non-negative area; kCullMark draws both and reports the marked polygon.
struct CullState {
  uint32_t mode = kCullByWinding;
  uint32_t winding = 1;
};

// Handed to the span fillers with each row of one polygon.
struct DrawState {
  RowQuality rows;
  // Rows at or below it are not replicated into.
  int32_t rowLimit = 0;
  uint32_t flatXrgb = 0;
  uint16_t flat555 = 0;
  uint8_t flatIndex = 0;
  // The shade level of flat-lit textured spans: the flat colour's red.
  int32_t shadeLevel = 0;
};

}  // namespace vx
