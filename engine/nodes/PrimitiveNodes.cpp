#include "engine/nodes/PrimitiveNodes.h"

#include <cmath>
#include <initializer_list>

#include "engine/render/RenderTarget.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/GeometryNodeSupport.h"

namespace vx {
namespace {

constexpr int32_t kRingSegments = 10;
constexpr int32_t kRingPoints = kRingSegments + 1;
// 2 pi / 10 and pi / 6 as single-precision constants: the seams must land
// exactly where the stored tables put them.
constexpr float kRingStep = 0.62831855f;
constexpr float kSphereStep = 0.5235987901687622f;
constexpr int32_t kSphereRings = 7;
constexpr int32_t kSphereRingPoints = 13;
constexpr int32_t kSphereBands = 6;
constexpr int32_t kSphereSegments = 12;

constexpr int32_t kConeVertices = 34;
constexpr int32_t kConeBottomCentre = 33;
constexpr int32_t kCylinderVertices = 46;
constexpr int32_t kCylinderTopCentre = 44;
constexpr int32_t kCylinderBottomCentre = 45;

constexpr FieldSpec kBoxFields[] = {
    Field<&CBoxNode::size>("size", DefaultFloats(2, 2, 2)),
};
constexpr FieldTable kBoxTable{Section(kBoxFields), {}, {}};

constexpr FieldSpec kConeFields[] = {
    Field<&CConeNode::bottomRadius>("bottomRadius", DefaultFloats(1)),
    Field<&CConeNode::height>("height", DefaultFloats(2)),
    Field<&CConeNode::side>("side", DefaultBool(true)),
    Field<&CConeNode::bottom>("bottom", DefaultBool(true)),
};
constexpr FieldTable kConeTable{Section(kConeFields), {}, {}};
constexpr int kConeSide = IndexIn(kConeFields, "side");
constexpr int kConeBottom = IndexIn(kConeFields, "bottom");

constexpr FieldSpec kCylinderFields[] = {
    Field<&CCylinderNode::bottom>("bottom", DefaultBool(true)),
    Field<&CCylinderNode::height>("height", DefaultFloats(2)),
    Field<&CCylinderNode::radius>("radius", DefaultFloats(1)),
    Field<&CCylinderNode::side>("side", DefaultBool(true)),
    Field<&CCylinderNode::top>("top", DefaultBool(true)),
};
constexpr FieldTable kCylinderTable{Section(kCylinderFields), {}, {}};
constexpr int kCylinderBottom = IndexIn(kCylinderFields, "bottom");
constexpr int kCylinderSide = IndexIn(kCylinderFields, "side");
constexpr int kCylinderTop = IndexIn(kCylinderFields, "top");

constexpr FieldSpec kSphereFields[] = {
    Field<&CSphereNode::radius>("radius", DefaultFloats(1)),
};
constexpr FieldTable kSphereTable{Section(kSphereFields), {}, {}};

MeshPolygon MakePolygon(std::initializer_list<int32_t> vertices) {
  MeshPolygon polygon;
  polygon.vertexCount = static_cast<int32_t>(vertices.size());
  int32_t slot = 0;
  for (int32_t v : vertices) polygon.vertices[static_cast<size_t>(slot++)] = v;
  return polygon;
}

void SetVertexData(CMeshBuffer& mesh, int32_t i, const CVec3f& position, const CVec2f& texCoord,
                   const CVec3f& normal) {
  mesh.SetVertex(i, position);
  mesh.SetTexCoord(i, texCoord);
  mesh.SetNormal(i, normal);
}

CVec3f UnitOrZero(const CVec3f& v) {
  const float length = v.Length();
  return length == 0.0f ? CVec3f{} : v * (1.0f / length);
}

// The ring point k of a cone or cylinder: sine and cosine of its angle.
struct RingAngle {
  float sine;
  float cosine;
};

RingAngle RingPoint(int32_t k, float step) {
  const float a = static_cast<float>(k) * step;
  return {std::sin(a), std::cos(a)};
}

CVec3f RingPosition(const RingAngle& ring, float r, float y) { return {r * ring.sine, y, -r * ring.cosine}; }

float SegmentS(int32_t k) { return 1.0f - static_cast<float>(k) / kRingSegments; }

// The disc of a cap: rim vertices first .. first + 10 and texture coordinates
// mapped from the ring so that the disc shows the image once.
void SetDiscRim(CMeshBuffer& mesh, int32_t first, float r, float y, float sSign, const CVec3f& normal) {
  for (int32_t k = 0; k < kRingPoints; ++k) {
    const RingAngle ring = RingPoint(k, kRingStep);
    SetVertexData(mesh, first + k, RingPosition(ring, r, y),
                  {(1.0f + sSign * ring.sine) / 2.0f, (1.0f - ring.cosine) / 2.0f}, normal);
  }
}

}  // namespace

// ---- common ----

void CPrimitiveNode::Draw(CGeometryStage& stage) {
  if (mesh_) DrawMeshCulled(*mesh_, stage, 1, kCullByWinding);
}

bool CPrimitiveNode::EnsureMesh() {
  if (mesh_) return false;
  mesh_ = std::make_unique<CMeshBuffer>();
  BuildPolygons(*mesh_);
  SetDirty(true);
  return true;
}

void CPrimitiveNode::RefreshVertices() {
  if (!mesh_ || !IsDirty()) return;
  ComputeVertices(*mesh_);
  SetDirty(false);
}

// ---- Box ----

CBoxNode::CBoxNode() { RegisterFields(kBoxTable); }

void CBoxNode::Traverse(RenderPass pass, CViewContext* view) {
  EnsureMesh();
  RefreshVertices();
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

void CBoxNode::Draw(CGeometryStage& stage) {
  MaterialRecord material = stage.Material();
  const uint8_t smooth = material.smooth;
  material.smooth = 0;
  stage.SetMaterial(&material);
  CPrimitiveNode::Draw(stage);
  material.smooth = smooth;
  stage.SetMaterial(&material);
}

void CBoxNode::BuildPolygons(CMeshBuffer& mesh) {
  mesh.SetVertexCount(24);
  mesh.SetPolygonCount(6);
  for (int32_t k = 0; k < 6; ++k) mesh.SetPolygon(k, MakePolygon({4 * k, 4 * k + 1, 4 * k + 2, 4 * k + 3}));
}

void CBoxNode::ComputeVertices(CMeshBuffer& mesh) {
  struct Corner {
    float x, y, z, s, t;
  };
  // Signs of the half sizes and the texture coordinates, four per face in the
  // order +z, -z, +x, -x, +y, -y.
  static constexpr Corner kCorners[24] = {
      {-1, 1, 1, 0, 0},   {1, 1, 1, 1, 0},    {1, -1, 1, 1, 1},   {-1, -1, 1, 0, 1},
      {-1, -1, -1, 1, 1}, {1, -1, -1, 0, 1},  {1, 1, -1, 0, 0},   {-1, 1, -1, 1, 0},
      {1, 1, 1, 0, 0},    {1, 1, -1, 1, 0},   {1, -1, -1, 1, 1},  {1, -1, 1, 0, 1},
      {-1, -1, 1, 1, 1},  {-1, -1, -1, 0, 1}, {-1, 1, -1, 0, 0},  {-1, 1, 1, 1, 0},
      {-1, 1, -1, 0, 0},  {1, 1, -1, 1, 0},   {1, 1, 1, 1, 1},    {-1, 1, 1, 0, 1},
      {-1, -1, 1, 1, 1},  {1, -1, 1, 0, 1},   {1, -1, -1, 0, 0},  {-1, -1, -1, 1, 0},
  };
  const float hx = size.x / 2.0f;
  const float hy = size.y / 2.0f;
  const float hz = size.z / 2.0f;
  for (int32_t i = 0; i < 24; ++i) {
    const Corner& c = kCorners[i];
    mesh.SetVertex(i, {c.x * hx, c.y * hy, c.z * hz});
    mesh.SetTexCoord(i, {c.s, c.t});
  }
  mesh.ComputeNormals();
}

// ---- Cone ----

CConeNode::CConeNode() { RegisterFields(kConeTable); }

void CConeNode::Traverse(RenderPass pass, CViewContext* view) {
  EnsureMesh();
  RefreshVertices();
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

int CConeNode::OnEventIn(bool isField, int index, const void* value) {
  const int result = CNode::OnEventIn(isField, index, value);
  if (isField && (index == kConeSide || index == kConeBottom)) FreeMesh();
  return result;
}

void CConeNode::BuildPolygons(CMeshBuffer& mesh) {
  mesh.SetVertexCount(kConeVertices);
  mesh.SetPolygonCount(kRingSegments * ((side ? 1 : 0) + (bottom ? 1 : 0)));
  int32_t p = 0;
  for (int32_t i = 0; i < kRingSegments; ++i) {
    if (side) mesh.SetPolygon(p++, MakePolygon({i, i + 11, i + 12, i + 1}));
    if (bottom) mesh.SetPolygon(p++, MakePolygon({kConeBottomCentre, i + 23, i + 22}));
  }
}

void CConeNode::ComputeVertices(CMeshBuffer& mesh) {
  const float h = height / 2.0f;
  const float r = bottomRadius;
  const CVec3f down{0.0f, -1.0f, 0.0f};
  for (int32_t k = 0; k < kRingPoints; ++k) {
    const RingAngle ring = RingPoint(k, kRingStep);
    // The side normal leans 45 degrees from the axis whatever the proportions.
    const CVec3f sideNormal = UnitOrZero({r * ring.sine, r, -r * ring.cosine});
    SetVertexData(mesh, k, {0.0f, h, 0.0f}, {SegmentS(k), 0.0f}, sideNormal);
    SetVertexData(mesh, 11 + k, RingPosition(ring, r, -h), {SegmentS(k), 1.0f}, sideNormal);
  }
  SetDiscRim(mesh, 22, r, -h, -1.0f, down);
  SetVertexData(mesh, kConeBottomCentre, {0.0f, -h, 0.0f}, {0.5f, 0.5f}, down);
}

// ---- Cylinder ----

CCylinderNode::CCylinderNode() { RegisterFields(kCylinderTable); }

void CCylinderNode::Traverse(RenderPass pass, CViewContext* view) {
  EnsureMesh();
  RefreshVertices();
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

int CCylinderNode::OnEventIn(bool isField, int index, const void* value) {
  const int result = CNode::OnEventIn(isField, index, value);
  if (isField && (index == kCylinderBottom || index == kCylinderSide || index == kCylinderTop)) FreeMesh();
  return result;
}

void CCylinderNode::BuildPolygons(CMeshBuffer& mesh) {
  mesh.SetVertexCount(kCylinderVertices);
  mesh.SetPolygonCount(kRingSegments * ((side ? 1 : 0) + (bottom ? 1 : 0) + (top ? 1 : 0)));
  int32_t p = 0;
  for (int32_t i = 0; i < kRingSegments; ++i) {
    if (side) mesh.SetPolygon(p++, MakePolygon({i, i + 11, i + 12, i + 1}));
    if (bottom) mesh.SetPolygon(p++, MakePolygon({kCylinderBottomCentre, i + 23, i + 22}));
    if (top) mesh.SetPolygon(p++, MakePolygon({i + 33, i + 34, kCylinderTopCentre}));
  }
}

void CCylinderNode::ComputeVertices(CMeshBuffer& mesh) {
  const float h = height / 2.0f;
  const float r = radius;
  const CVec3f up{0.0f, 1.0f, 0.0f};
  const CVec3f down{0.0f, -1.0f, 0.0f};
  for (int32_t k = 0; k < kRingPoints; ++k) {
    const RingAngle ring = RingPoint(k, kRingStep);
    const CVec3f sideNormal{ring.sine, 0.0f, -ring.cosine};
    SetVertexData(mesh, k, RingPosition(ring, r, h), {SegmentS(k), 0.0f}, sideNormal);
    SetVertexData(mesh, 11 + k, RingPosition(ring, r, -h), {SegmentS(k), 1.0f}, sideNormal);
  }
  SetDiscRim(mesh, 22, r, -h, -1.0f, down);
  SetDiscRim(mesh, 33, r, h, 1.0f, up);
  SetVertexData(mesh, kCylinderTopCentre, {0.0f, h, 0.0f}, {0.5f, 0.5f}, up);
  SetVertexData(mesh, kCylinderBottomCentre, {0.0f, -h, 0.0f}, {0.5f, 0.5f}, down);
}

// ---- Sphere ----

CSphereNode::CSphereNode() { RegisterFields(kSphereTable); }

void CSphereNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass != RenderPass::Frame) return;
  EnsureMesh();
  RefreshVertices();
  if (CGeometryStage* stage = FrameStage(pass, view)) Draw(*stage);
}

void CSphereNode::BuildPolygons(CMeshBuffer& mesh) {
  mesh.SetVertexCount(kSphereRings * kSphereRingPoints);
  mesh.SetPolygonCount(kSphereBands * kSphereSegments);
  int32_t p = 0;
  for (int32_t b = 0; b < kSphereBands; ++b) {
    for (int32_t j = 0; j < kSphereSegments; ++j) {
      const int32_t k = kSphereRingPoints * b + j;
      // The bottom ring is a single point, so the last band starts its
      // quadrilaterals where the first three vertices are distinct.
      const bool lastBand = b == kSphereBands - 1;
      mesh.SetPolygon(p++, lastBand ? MakePolygon({k + 14, k + 1, k, k + 13}) : MakePolygon({k, k + 13, k + 14, k + 1}));
    }
  }
}

void CSphereNode::ComputeVertices(CMeshBuffer& mesh) {
  for (int32_t i = 0; i < kSphereRings; ++i) {
    const float a = static_cast<float>(i) * kSphereStep;
    const float ringRadius = radius * std::sin(a);
    const float y = radius * std::cos(a);
    for (int32_t j = 0; j < kSphereRingPoints; ++j) {
      const RingAngle ring = RingPoint(j, kSphereStep);
      const CVec3f position = RingPosition(ring, ringRadius, y);
      SetVertexData(mesh, kSphereRingPoints * i + j, position,
                    {1.0f - static_cast<float>(j) / kSphereSegments, static_cast<float>(i) / kSphereBands},
                    UnitOrZero(position));
    }
  }
}

void RegisterSphereNode(NodeClassTable& table) { table.Add<CSphereNode>("Sphere"); }
void RegisterBoxNode(NodeClassTable& table) { table.Add<CBoxNode>("Box"); }
void RegisterConeNode(NodeClassTable& table) { table.Add<CConeNode>("Cone"); }
void RegisterCylinderNode(NodeClassTable& table) { table.Add<CCylinderNode>("Cylinder"); }

}  // namespace vx
