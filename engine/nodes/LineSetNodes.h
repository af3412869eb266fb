// IndexedLineSet and PointSet: unlit coloured segments and points, read
// afresh from their coordinate and colour nodes on every frame and handed
// one by one to the geometry stage. Neither keeps a mesh.
#pragma once

#include <vector>

#include "engine/render/Palette.h"
#include "engine/scene/Node.h"
#include "engine/math/Vec.h"

namespace vx {

class CGeometryStage;
class NodeClassTable;

struct ColoredSegment {
  CVec3f from;
  CVec3f to;
  FloatColor color;
};

struct ColoredPoint {
  CVec3f position;
  FloatColor color;
};

class CIndexedLineSetNode : public CNode {
 public:
  CIndexedLineSetNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypeIndexedLineSet; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // The segments to draw, coloured from the colour node or, where it gives
  // no colour, in `uncolored`. Indices outside the points or the colours are
  // never read through.
  std::vector<ColoredSegment> Segments(const FloatColor& uncolored) const;
  // Uncoloured segments take the material's emissive colour (white without
  // a material) in VRML 2.0 worlds, its diffuse colour in this system's.
  void Draw(CGeometryStage& stage) const;

  CNodeRef color;
  CNodeRef coord;
  MFInt32 colorIndex{};
  int16_t colorPerVertex = 0;
  MFInt32 coordIndex{};

 protected:
  ~CIndexedLineSetNode() override = default;

 private:
  // The colour index of the segment starting at coordIndex[k], on polyline
  // `polyline`, among colorCount >= 1 colours; possibly out of range.
  int32_t ColorOf(int32_t k, int32_t polyline, int32_t colorCount) const;
};

// The index eventIns of a PointSet are accepted and have no fields behind
// them.
class CPointSetNode : public CNode {
 public:
  CPointSetNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypePointSet; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // Point i in colour i where the colour node colours it, else in
  // `uncolored`.
  std::vector<ColoredPoint> Points(const FloatColor& uncolored) const;
  // Uncoloured points are white in this system's worlds; in VRML 2.0 worlds
  // they take the material's emissive colour (white without a material).
  void Draw(CGeometryStage& stage) const;

  CNodeRef color;
  CNodeRef coord;

 protected:
  ~CPointSetNode() override = default;
};

void RegisterIndexedLineSetNode(NodeClassTable& table);
void RegisterPointSetNode(NodeClassTable& table);

}  // namespace vx
