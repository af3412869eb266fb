#include "engine/nodes/LineSetNodes.h"

#include <algorithm>

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/GeometryNodeSupport.h"
#include "engine/world/WorldConvention.h"

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

// Where a VRML 2.0 Color node gives no colour, unlit lines and points take
// the material's emissive colour, or white without a material.
FloatColor UncoloredVrml(const MaterialRecord& material) { return material.unlit ? kWhite : material.emissive; }

}  // namespace

CIndexedLineSetNode::CIndexedLineSetNode() { RegisterFields(kIndexedLineSetTable); }

// VRML 2.0 worlds take the colours through colorIndex when it has entries,
// else by coordinate index (per vertex) or by polyline number; this system's
// own ignore colorIndex per polyline and repeat the last colour.
int32_t CIndexedLineSetNode::ColorOf(int32_t k, int32_t polyline, int32_t colorCount) const {
  const int32_t from = coordIndex[k];
  const bool ownIndices = colorIndex.count > 0;
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard) {
    const int32_t slot = colorPerVertex ? k : polyline;
    if (!ownIndices) return colorPerVertex ? from : polyline;
    return slot < colorIndex.count ? colorIndex[slot] : -1;
  }
  if (colorPerVertex && ownIndices) return k < colorIndex.count ? colorIndex[k] : -1;
  if (colorPerVertex) return from;
  return std::min(polyline, colorCount - 1);
}

std::vector<ColoredSegment> CIndexedLineSetNode::Segments(const FloatColor& uncolored) const {
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
    const int32_t chosen = c >= 1 ? ColorOf(k, polyline, c) : -1;
    segments.push_back({ToVec((*points)[from]), ToVec((*points)[to]),
                        InRange(chosen, c) ? ToColor((*colors)[chosen]) : uncolored});
  }
  return segments;
}

void CIndexedLineSetNode::Traverse(RenderPass pass, CViewContext* view) {
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

void CIndexedLineSetNode::Draw(CGeometryStage& stage) const {
  const MaterialRecord& material = stage.Material();
  const bool standard = ConventionOf(GetWorld()) == WorldConvention::kStandard;
  for (const ColoredSegment& segment : Segments(standard ? UncoloredVrml(material) : material.diffuse)) {
    stage.DrawLine(segment.from, segment.to, segment.color);
  }
}

CPointSetNode::CPointSetNode() { RegisterFields(kPointSetTable); }

// VRML 2.0 worlds colour every point that has a colour; this system's own
// only when there is exactly one colour per point.
std::vector<ColoredPoint> CPointSetNode::Points(const FloatColor& uncolored) const {
  std::vector<ColoredPoint> result;
  const MFVec3f* points = PropertyList<SFVec3f>(coord, "point");
  if (!points) return result;
  const MFColor* colors = PropertyList<SFColor>(color, "color");
  const int32_t c = ListCount(colors);
  const bool standard = ConventionOf(GetWorld()) == WorldConvention::kStandard;
  const int32_t colored = standard ? c : (c == points->count ? c : 0);
  for (int32_t i = 0; i < points->count; ++i) {
    result.push_back({ToVec((*points)[i]), i < colored ? ToColor((*colors)[i]) : uncolored});
  }
  return result;
}

void CPointSetNode::Traverse(RenderPass pass, CViewContext* view) {
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

void CPointSetNode::Draw(CGeometryStage& stage) const {
  const bool standard = ConventionOf(GetWorld()) == WorldConvention::kStandard;
  const FloatColor uncolored = standard ? UncoloredVrml(stage.Material()) : kWhite;
  for (const ColoredPoint& point : Points(uncolored)) stage.DrawPoint(point.position, point.color);
}

void RegisterIndexedLineSetNode(NodeClassTable& table) { table.Add<CIndexedLineSetNode>("IndexedLineSet"); }
void RegisterPointSetNode(NodeClassTable& table) { table.Add<CPointSetNode>("PointSet"); }

}  // namespace vx
