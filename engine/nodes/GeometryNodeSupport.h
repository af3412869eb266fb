// Helpers shared by the geometry nodes: reading the value lists of their
// property nodes (coordinates, colours, normals, texture coordinates), cutting
// polygons into the triangles a mesh holds, and the drawing step that sets
// the culling before a mesh is drawn.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/render/MeshBuffer.h"
#include "engine/render/Palette.h"
#include "engine/render/PolygonTriangulator.h"
#include "engine/scene/Node.h"
#include "engine/scene/SceneLimits.h"

namespace vx {

// Whether a geometry node may build its mesh: one of that many vertices and
// triangles, estimated at that many bytes, within MeshLimits. A refusal is
// told once in the world's error text, not at every traversal that asks
// about the same mesh again.
class CMeshAllowance {
 public:
  [[nodiscard]] bool Allows(CNode& node, int64_t vertices, int64_t triangles, int64_t bytes);

 private:
  int64_t refusedVertices_ = -1;
  int64_t refusedTriangles_ = -1;
};

// The list value of the named field of the node held by ref (through a PROTO
// instance to its body node), or null when there is no node, no such field,
// or the field has another type.
template <typename T>
const MF<T>* PropertyList(const CNodeRef& ref, std::string_view name) {
  CNode* node = ref.Resolve();
  if (!node || node->GetFieldType(name) != FieldTypeOf<MF<T>>::value) return nullptr;
  return static_cast<const MF<T>*>(node->GetFieldByName(name));
}

// The number of entries of a list that may be absent.
template <typename T>
int32_t ListCount(const MF<T>* list) {
  return list ? list->count : 0;
}

// What a geometry node last built from one of its property nodes: which
// node (through a PROTO instance, its body node) and how many values had
// been stored into it. A property node may be held by several geometry
// nodes, so each holder compares for itself rather than being told.
class CPropertyStamp {
 public:
  // True when the held node is another one, or its values changed, since
  // the last call.
  bool Renew(const CNodeRef& ref) {
    const CNode* node = ref.Resolve();
    const uint32_t changes = node ? node->GetChangeCount() : 0;
    const bool changed = node != node_ || changes != changes_;
    node_ = node;
    changes_ = changes;
    return changed;
  }

 private:
  const CNode* node_ = nullptr;
  uint32_t changes_ = 0;
};

// A colour of the file with each channel held to 0..1.
inline FloatColor ClampedColor(const SFColor& c) {
  auto clamp = [](float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; };
  return {clamp(c.r), clamp(c.g), clamp(c.b)};
}

// The geometry stage to draw with: the view's, on the frame pass only.
CGeometryStage* FrameStage(RenderPass pass, CViewContext* view);

// Sets the culling of the stage's render target and draws every polygon of
// the mesh.
void DrawMeshCulled(CMeshBuffer& mesh, CGeometryStage& stage, uint32_t cullWinding, uint32_t cullMode);

// A triangle of material 0.
MeshPolygon Triangle(int32_t a, int32_t b, int32_t c);

// Appends a fan from the first of the mesh vertices listed: the cut of a
// convex polygon, in its own turning sense.
void AddFan(std::vector<MeshPolygon>& polygons, std::span<const int32_t> indices);

// Cuts a planar 3-D polygon into triangles: the points are projected onto
// the coordinate plane of their two largest bounding-box extents and handed
// to the polygon triangulator. reversed tells whether the triangulator's
// vertex numbers count the points in reverse (a clockwise projection).
[[nodiscard]] TriangulateStatus TriangulatePolygon3D(std::span<const CVec3f> points,
                                                     std::vector<TriangleIndices>& triangles, bool& reversed);

// Which way the triangles of a cut polygon turn.
enum class TriangleWinding : uint8_t {
  kAsListed,       // the way the outline turns in the order listed
  kAgainstListed,  // the other way
  // Counter-clockwise, or clockwise, on the coordinate plane the outline was
  // projected onto, whichever way it was listed.
  kProjected,
  kProjectedFlipped,
};

// Appends the triangles of the planar polygon made of the vertices listed
// (material 0); positions[i] is where indices[i] lies. A last vertex equal in
// position to the first is left out. A polygon of zero area adds nothing;
// one of more points than the triangulator takes, or one whose outline
// crosses itself, is cut as a fan from its first vertex.
void AddTriangulatedPolygon(std::vector<MeshPolygon>& polygons, std::span<const CVec3f> positions,
                            std::span<const int32_t> indices, TriangleWinding winding);

}  // namespace vx
