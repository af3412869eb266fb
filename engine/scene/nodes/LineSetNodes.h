// IndexedLineSet and PointSet: unlit coloured segments and points, read
// afresh from their coordinate and colour nodes on every frame and handed
// one by one to the geometry stage. Neither keeps a mesh.
#pragma once

#include <vector>

#include "engine/render/Palette.h"
#include "engine/scene/Node.h"
#include "engine/scene/Vec.h"

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
  // no colour, in the material colour. Indices outside the points or the
  // colours are never read through.
  std::vector<ColoredSegment> Segments(const FloatColor& materialColor) const;
  void Draw(CGeometryStage& stage) const;

  CNodeRef color;
  CNodeRef coord;
  MFInt32 colorIndex{};
  int16_t colorPerVertex = 0;
  MFInt32 coordIndex{};

 protected:
  ~CIndexedLineSetNode() override = default;
};

// The index eventIns of a PointSet are accepted and have no fields behind
// them.
class CPointSetNode : public CNode {
 public:
  CPointSetNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometry; }
  NodeTypeId GetTypeId() const override { return NodeTypePointSet; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // Point i in colour i when there is one colour per point, else white.
  std::vector<ColoredPoint> Points() const;
  void Draw(CGeometryStage& stage) const;

  CNodeRef color;
  CNodeRef coord;

 protected:
  ~CPointSetNode() override = default;
};

void RegisterIndexedLineSetNode(NodeClassTable& table);
void RegisterPointSetNode(NodeClassTable& table);

}  // namespace vx
