#include "engine/render/MeshBuffer.h"

#include <algorithm>
#include <new>

namespace vx {
namespace {

constexpr float kMinimumSpan = 0.0001f;
constexpr float kExtentStart = 1000000.0f;

}  // namespace

void CMeshBuffer::SetVertexCount(int32_t n) {
  positions_.clear();
  texCoords_.clear();
  normals_.clear();
  colors_.clear();
  work_.clear();
  if (n <= 0) return;
  try {
    size_t count = static_cast<size_t>(n);
    positions_.resize(count);
    texCoords_.resize(count);
    normals_.resize(count);
    work_.resize(count);
  } catch (const std::bad_alloc&) {
    positions_ = {};
    texCoords_ = {};
    normals_ = {};
    work_ = {};
  }
}

bool CMeshBuffer::AddVertexColors() {
  try {
    colors_.assign(positions_.size(), FloatColor{1.0f, 1.0f, 1.0f});
  } catch (const std::bad_alloc&) {
    colors_ = {};
    return false;
  }
  return true;
}

void CMeshBuffer::SetPolygonCount(int32_t n) {
  polygons_.clear();
  if (VertexCount() == 0 || n <= 0) return;
  try {
    polygons_.resize(static_cast<size_t>(n));
  } catch (const std::bad_alloc&) {
    polygons_ = {};
  }
}

void CMeshBuffer::SetVertex(int32_t i, const CVec3f& xyz) {
  if (i >= 0 && i < VertexCount()) positions_[i] = xyz;
}

CVec3f CMeshBuffer::GetVertex(int32_t i) const {
  return i >= 0 && i < VertexCount() ? positions_[i] : CVec3f{};
}

void CMeshBuffer::SetTexCoord(int32_t i, const CVec2f& st) {
  if (i >= 0 && i < VertexCount()) texCoords_[i] = st;
}

CVec2f CMeshBuffer::GetTexCoord(int32_t i) const {
  return i >= 0 && i < VertexCount() ? texCoords_[i] : CVec2f{};
}

void CMeshBuffer::SetNormal(int32_t i, const CVec3f& xyz) {
  if (i >= 0 && i < VertexCount()) normals_[i] = xyz;
}

CVec3f CMeshBuffer::GetNormal(int32_t i) const {
  return i >= 0 && i < VertexCount() ? normals_[i] : CVec3f{};
}

void CMeshBuffer::SetColor(int32_t i, const FloatColor& rgb) {
  if (i >= 0 && i < static_cast<int32_t>(colors_.size())) colors_[i] = rgb;
}

FloatColor CMeshBuffer::GetColor(int32_t i) const {
  return i >= 0 && i < static_cast<int32_t>(colors_.size()) ? colors_[i] : FloatColor{1.0f, 1.0f, 1.0f};
}

void CMeshBuffer::SetPolygon(int32_t i, const MeshPolygon& polygon) {
  if (i >= 0 && i < PolygonCount()) polygons_[i] = polygon;
}

const MeshPolygon* CMeshBuffer::GetPolygon(int32_t i) const {
  return i >= 0 && i < PolygonCount() ? &polygons_[i] : nullptr;
}

bool CMeshBuffer::IsDrawable(const MeshPolygon& polygon) const {
  return IsDrawable(polygon, VertexCount(), static_cast<int32_t>(materials.size()));
}

bool CMeshBuffer::IsDrawable(const MeshPolygon& polygon, int32_t vertexCount, int32_t materialCount) {
  if (!HasVerticesAmong(polygon, vertexCount)) return false;
  return materialCount == 0 || (polygon.materialIndex >= 0 && polygon.materialIndex < materialCount);
}

void CMeshBuffer::ComputeNormals() {
  if (VertexCount() == 0 || PolygonCount() == 0) return;
  suppliedNormals_ = false;
  std::fill(normals_.begin(), normals_.end(), CVec3f{});
  for (MeshPolygon& polygon : polygons_) {
    if (!IsDrawable(polygon)) continue;
    const CVec3f& a = positions_[polygon.vertices[0]];
    const CVec3f& b = positions_[polygon.vertices[1]];
    const CVec3f& c = positions_[polygon.vertices[2]];
    CVec3f face = (a - b).Cross(c - b);
    if (face.Dot(face) > 0.0f) face.Normalize();
    polygon.faceNormal = face;
    // A face seen from the other side (reversed winding) reinforces the
    // normal instead of cancelling it.
    for (int32_t j = 0; j < polygon.vertexCount; ++j) {
      CVec3f& normal = normals_[polygon.vertices[j]];
      if (normal.Dot(face) >= 0.0f) {
        normal += face;
      } else {
        normal -= face;
      }
    }
  }
  for (CVec3f& normal : normals_) {
    if (normal.Dot(normal) > 0.0f) normal.Normalize();
  }
}

void CMeshBuffer::ComputePlanarTexCoords() {
  if (VertexCount() == 0 || PolygonCount() == 0) return;
  float minX = kExtentStart, maxX = -kExtentStart, minY = kExtentStart, maxY = -kExtentStart;
  for (const CVec3f& p : positions_) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  float spanX = maxX - minX;
  if (spanX < kMinimumSpan) spanX = 1.0f;
  float spanY = minY - maxY;
  if (spanY > -kMinimumSpan) spanY = -1.0f;
  for (int32_t i = 0; i < VertexCount(); ++i) {
    texCoords_[i] = {(positions_[i].x - minX) / spanX, (positions_[i].y - maxY) / spanY};
  }
}

bool CMeshBuffer::VertexColorsApply(const CGeometryStage& stage) const {
  return !colors_.empty() && materials.empty() && stage.Material().texture.base == nullptr;
}

void CMeshBuffer::Draw(CGeometryStage* stage, bool transform, int32_t highlightIndex) {
  stage->TransformAndLightVertices(positions_.data(), normals_.data(), texCoords_.data(), work_.data(), VertexCount(),
                                   transform, !suppliedNormals_);
  if (!VertexColorsApply(*stage)) {
    DrawPolygons(stage, highlightIndex);
    return;
  }
  for (int32_t i = 0; i < VertexCount(); ++i) {
    float* w = work_[i].v;
    w[VertexWord::kRed] *= colors_[i].r;
    w[VertexWord::kGreen] *= colors_[i].g;
    w[VertexWord::kBlue] *= colors_[i].b;
  }
  CVertexColorScope colored(*stage);
  DrawPolygons(stage, highlightIndex);
}

void CMeshBuffer::DrawPolygons(CGeometryStage* stage, int32_t highlightIndex) {
  CRenderTarget* target = stage->RenderTarget();
  // Vertices are coloured once for the material they were lit with.
  const bool shared = materials.empty() && stage->ShareVertices(work_.data(), VertexCount());
  // Counted once: the stage and the target cannot change the mesh.
  const int32_t polygonCount = PolygonCount(), vertexCount = VertexCount();
  const int32_t materialCount = static_cast<int32_t>(materials.size());
  int32_t appliedMaterial = -1;
  PolygonRecord record;
  int32_t k = 0;
  while (k < polygonCount) {
    // The shared vertices serve every polygon up to the highlighted one or
    // one that needs clipping.
    if (shared && k != highlightIndex) {
      const int32_t stop = k < highlightIndex ? highlightIndex : polygonCount;
      k = target->FillSharedPolygons(polygons_.data(), k, stop);
      if (k == stop) continue;
    }
    const int32_t index = k++;
    const MeshPolygon& polygon = polygons_[index];
    if (!IsDrawable(polygon, vertexCount, materialCount)) continue;
    // The material changes only where the index does.
    if (materialCount > 0 && polygon.materialIndex != appliedMaterial) {
      stage->SetMaterial(&materials[polygon.materialIndex]);
      appliedMaterial = polygon.materialIndex;
    }
    record.count = polygon.vertexCount;
    for (int32_t j = 0; j < polygon.vertexCount; ++j) record.vertex[j] = work_[polygon.vertices[j]];
    if (index == highlightIndex) {
      target->BeginMarkedPolygon();
      stage->DrawPolygon(&record);
      target->EndMarkedPolygon();
    } else {
      stage->DrawPolygon(&record);
    }
  }
}

}  // namespace vx
