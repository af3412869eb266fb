// Geometry as VRML 2.0 files describe it: polygons over points whose corners
// each carry their own texture coordinate, normal and colour, because the
// file gives them through index lists of their own, per face, or per point.
// A point becomes as many mesh vertices as it has distinct values at its
// corners, and stays one where they all agree, so a mesh that needs no split
// keeps vertex i at point i.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/render/MeshBuffer.h"
#include "engine/render/Palette.h"
#include "engine/math/Vec.h"

namespace vx {

// What one polygon corner carries into the mesh.
struct CornerValues {
  CVec2f texCoord;  // as meshes keep it: t = 0 at the top of the image
  CVec3f normal;
  FloatColor color{1.0f, 1.0f, 1.0f};
};

class CFaceCornerMesh {
 public:
  // polygons: triangles and quadrilaterals over the points, their indices
  // already checked. faces: for every polygon the face it was cut from,
  // numbered from 0; the polygons of one face share the face's normal.
  CFaceCornerMesh(std::span<const CVec3f> points, std::vector<MeshPolygon> polygons, std::vector<int32_t> faces);

  int32_t PolygonCount() const { return static_cast<int32_t>(polygons_.size()); }
  const MeshPolygon& Polygon(int32_t k) const { return polygons_[static_cast<size_t>(k)]; }
  int32_t FaceOf(int32_t k) const { return faces_[static_cast<size_t>(k)]; }
  CornerValues& Corner(int32_t k, int32_t j) { return corners_[CornerSlot(k, j)]; }
  const CornerValues& Corner(int32_t k, int32_t j) const { return corners_[CornerSlot(k, j)]; }

  // Normals from the faces, pointing to the side from which a face's
  // corners turn counter-clockwise (the other side when ccw is false).
  // Flat: every corner takes its face's normal.
  void DeriveFaceNormals(bool ccw);
  // Creased: a corner averages, by area, the faces around its position
  // (whichever points stand there) that meet its own face at less than
  // creaseAngle radians; edges of a wider angle stay sharp. Where hundreds
  // of faces meet, the corners there stay flat.
  void DeriveCreasedNormals(float creaseAngle, bool ccw);

  // The corners' colours reach the mesh as vertex colours.
  void KeepColors() { keepColors_ = true; }

  // Replaces the mesh's vertices and polygons: one vertex per point first
  // (unused points included), then one for every further distinct set of
  // corner values of a point. False when the mesh could not be allocated;
  // it then has no vertices.
  [[nodiscard]] bool Fill(CMeshBuffer& mesh) const;

 private:
  size_t CornerSlot(int32_t k, int32_t j) const {
    return static_cast<size_t>(k) * kMaxMeshPolygonVertices + static_cast<size_t>(j);
  }
  // Per face: the sum of its polygons' normals scaled by twice their area.
  std::vector<CVec3f> FaceAreaNormals(bool ccw) const;
  // Per point: a number shared by every point at exactly the same position.
  std::vector<int32_t> PositionGroups(int32_t* groupCount) const;

  std::span<const CVec3f> points_;
  std::vector<MeshPolygon> polygons_;
  std::vector<int32_t> faces_;
  int32_t faceCount_ = 0;
  std::vector<CornerValues> corners_;
  bool keepColors_ = false;
};

}  // namespace vx
