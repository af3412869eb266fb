#include "engine/scene/nodes/LineSetNodes.h"

#include <algorithm>

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/GeometryNodeSupport.h"

namespace vx {
namespace {

constexpr FieldSpec kIndexEventIns[] = {
    Event("set_colorIndex", FieldTypeMFInt32),
    Event("set_coordIndex", FieldTypeMFInt32),
};

constexpr FieldSpec kIndexedLineSetFields[] = {
    Field<&CIndexedLineSetNode::color>("color"),
    Field<&CIndexedLineSetNode::coord>("coord"),
    Field<&CIndexedLineSetNode::colorIndex>("colorIndex"),
    Field<&CIndexedLineSetNode::colorPerVertex>("colorPerVertex", DefaultBool(true)),
    Field<&CIndexedLineSetNode::coordIndex>("coordIndex"),
};
constexpr FieldTable kIndexedLineSetTable{Section(kIndexedLineSetFields), Section(kIndexEventIns), {}};

constexpr FieldSpec kPointSetFields[] = {
    Field<&CPointSetNode::color>("color"),
    Field<&CPointSetNode::coord>("coord"),
};
constexpr FieldTable kPointSetTable{Section(kPointSetFields), Section(kIndexEventIns), {}};

constexpr FloatColor kWhite{1.0f, 1.0f, 1.0f};

bool InRange(int32_t index, int32_t count) { return index >= 0 && index < count; }

CVec3f ToVec(const SFVec3f& v) { return {v.x, v.y, v.z}; }
FloatColor ToColor(const SFColor& c) { return {c.r, c.g, c.b}; }

}  // namespace

CIndexedLineSetNode::CIndexedLineSetNode() { RegisterFields(kIndexedLineSetTable); }

std::vector<ColoredSegment> CIndexedLineSetNode::Segments(const FloatColor& materialColor) const {
  std::vector<ColoredSegment> segments;
  const MFVec3f* points = PropertyList<SFVec3f>(coord, "point");
  if (!points) return segments;
  const MFColor* colors = PropertyList<SFColor>(color, "color");
  const int32_t n = points->count;
  const int32_t c = ListCount(colors);
  const MFInt32& list = coordIndex;
  int32_t polyline = 0;
  for (int32_t k = 0; k + 1 < list.count; ++k) {
    const int32_t from = list[k];
    const int32_t to = list[k + 1];
    if (from == -1) ++polyline;
    if (from == -1 || to == -1 || !InRange(from, n) || !InRange(to, n)) continue;
    // A segment takes the colour of its first vertex, or of its polyline.
    int32_t chosen = -1;
    if (c >= 1 && colorPerVertex && colorIndex.count > 0) {
      if (k < colorIndex.count && InRange(colorIndex[k], c)) chosen = colorIndex[k];
    } else if (c >= 1 && colorPerVertex) {
      if (from < c) chosen = from;
    } else if (c >= 1) {
      chosen = std::min(polyline, c - 1);
    }
    segments.push_back({ToVec((*points)[from]), ToVec((*points)[to]),
                        chosen >= 0 ? ToColor((*colors)[chosen]) : materialColor});
  }
  return segments;
}

void CIndexedLineSetNode::Traverse(RenderPass pass, CViewContext* view) {
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

void CIndexedLineSetNode::Draw(CGeometryStage& stage) const {
  for (const ColoredSegment& segment : Segments(stage.Material().diffuse)) {
    stage.DrawLine(segment.from, segment.to, segment.color);
  }
}

CPointSetNode::CPointSetNode() { RegisterFields(kPointSetTable); }

std::vector<ColoredPoint> CPointSetNode::Points() const {
  std::vector<ColoredPoint> result;
  const MFVec3f* points = PropertyList<SFVec3f>(coord, "point");
  if (!points) return result;
  const MFColor* colors = PropertyList<SFColor>(color, "color");
  const bool perPoint = ListCount(colors) == points->count;
  for (int32_t i = 0; i < points->count; ++i) {
    result.push_back({ToVec((*points)[i]), perPoint ? ToColor((*colors)[i]) : kWhite});
  }
  return result;
}

void CPointSetNode::Traverse(RenderPass pass, CViewContext* view) {
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

void CPointSetNode::Draw(CGeometryStage& stage) const {
  for (const ColoredPoint& point : Points()) stage.DrawPoint(point.position, point.color);
}

void RegisterIndexedLineSetNode(NodeClassTable& table) { table.Add<CIndexedLineSetNode>("IndexedLineSet"); }
void RegisterPointSetNode(NodeClassTable& table) { table.Add<CPointSetNode>("PointSet"); }

}  // namespace vx
