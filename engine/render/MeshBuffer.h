// The container through which geometry nodes hand polygons to the renderer.
//
// A node sizes it (vertices first, then polygons), fills positions, normals,
// texture coordinates and polygons, optionally lets it derive face-averaged
// normals or planar texture coordinates, and draws it once per frame with the
// view's geometry stage: every vertex is transformed and lit once, then the
// polygons copy the finished records. A mesh may carry a colour per vertex,
// which then stands in for the material's diffuse colour. Nodes own their
// mesh buffers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/render/GeometryStage.h"
#include "engine/render/RenderTypes.h"
#include "engine/math/Vec.h"

namespace vx {

class CMeshBuffer {
 public:
  // Discards positions, texture coordinates, normals, colours and work
  // records and makes room for n vertices (whose values the owner writes).
  // On failure, or for n <= 0, the mesh has no vertices.
  void SetVertexCount(int32_t n);
  // Makes room for a colour per vertex (white until set); false when it
  // could not be allocated, and then the mesh has no colours.
  [[nodiscard]] bool AddVertexColors();
  // Needs vertices: without them the polygon count stays 0.
  void SetPolygonCount(int32_t n);

  int32_t VertexCount() const { return static_cast<int32_t>(positions_.size()); }
  int32_t PolygonCount() const { return static_cast<int32_t>(polygons_.size()); }
  bool SuppliedNormals() const { return suppliedNormals_; }
  // False: the normals the owner wrote were derived from faces that show
  // from both sides, so the stage may turn them toward the viewer.
  void SetSuppliedNormals(bool supplied) { suppliedNormals_ = supplied; }
  bool HasVertexColors() const { return !colors_.empty(); }

  // Indices out of range are ignored.
  void SetVertex(int32_t i, const CVec3f& xyz);
  CVec3f GetVertex(int32_t i) const;
  void SetTexCoord(int32_t i, const CVec2f& st);
  CVec2f GetTexCoord(int32_t i) const;
  void SetNormal(int32_t i, const CVec3f& xyz);
  CVec3f GetNormal(int32_t i) const;
  // Ignored without vertex colours.
  void SetColor(int32_t i, const FloatColor& rgb);
  FloatColor GetColor(int32_t i) const;
  void SetPolygon(int32_t i, const MeshPolygon& polygon);
  const MeshPolygon* GetPolygon(int32_t i) const;

  // Face normals, and vertex normals as the sum of the faces around them
  // (turned to agree with the first); the normals are then the mesh's own.
  void ComputeNormals();
  // s across the x extent, t down the y extent (0 at the top).
  void ComputePlanarTexCoords();

  // Lights every vertex (transform: the positions are in object space, not
  // already in world space) and draws every polygon; the polygon numbered
  // highlightIndex is drawn marked (-1: none). A polygon whose vertex count
  // is not 3 or 4, or whose vertex or material index is out of range, is
  // skipped. Vertex colours colour the vertices unless the stage's material
  // is textured (the texture's colours replace them) or the mesh has
  // materials of its own.
  void Draw(CGeometryStage* stage, bool transform, int32_t highlightIndex);

  // Material records selected by the polygons' material indices; filled by
  // the owner. While it is empty the stage keeps the Appearance's material.
  std::vector<MaterialRecord> materials;

 private:
  bool IsDrawable(const MeshPolygon& polygon) const;
  static bool IsDrawable(const MeshPolygon& polygon, int32_t vertexCount, int32_t materialCount);
  bool VertexColorsApply(const CGeometryStage& stage) const;
  void DrawPolygons(CGeometryStage* stage, int32_t highlightIndex);

  bool suppliedNormals_ = true;
  std::vector<CVec3f> positions_;
  std::vector<CVec2f> texCoords_;
  std::vector<CVec3f> normals_;
  std::vector<FloatColor> colors_;  // empty: no vertex colours
  std::vector<MeshPolygon> polygons_;
  std::vector<VertexWork> work_;
};

}  // namespace vx
