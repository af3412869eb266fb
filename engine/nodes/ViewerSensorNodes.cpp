#include "engine/nodes/ViewerSensorNodes.h"

#include <cmath>

#include "engine/render/MeshBuffer.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/GeometryNodeSupport.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kBoxSensorFields[] = {
    Field<&CBoxSensorNode::center>("center", DefaultFloats(0, 0, 0)),
    Field<&CBoxSensorNode::size>("size", DefaultFloats(0, 0, 0)),
    Field<&CBoxSensorNode::enabled>("enabled", DefaultBool(true)),
};
constexpr FieldSpec kProximitySensorEventOuts[] = {
    Event("isActive", FieldTypeSFBool),
    Event("position_changed", FieldTypeSFVec3f),
    Event("orientation_changed", FieldTypeSFRotation),
    Event("enterTime", FieldTypeSFTime),
    Event("exitTime", FieldTypeSFTime),
};
constexpr FieldTable kProximitySensorTable{Section(kBoxSensorFields), {}, Section(kProximitySensorEventOuts)};

constexpr FieldSpec kVisibilitySensorEventOuts[] = {
    Event("isActive", FieldTypeSFBool),
    Event("enterTime", FieldTypeSFTime),
    Event("exitTime", FieldTypeSFTime),
};
constexpr FieldTable kVisibilitySensorTable{Section(kBoxSensorFields), {}, Section(kVisibilitySensorEventOuts)};

// Box corners as signs of x, y and z, and its faces by corner.
constexpr int kBoxCorners[8][3] = {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1},   {1, 1, -1},
                                   {-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1}};
constexpr int kBoxFaces[6][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};

}  // namespace

void CBoxSensorNode::ChangeActivity(bool active) {
  active_ = active;
  const int16_t flag = active ? 1 : 0;
  const double now = GetWorld() ? GetWorld()->GetWorldTime() : 0.0;
  SendEvent("isActive", &flag);
  SendEvent(active ? "enterTime" : "exitTime", &now);
}

// ---- ProximitySensor ----

CProximitySensorNode::CProximitySensorNode() { RegisterFields(kProximitySensorTable); }

// The box reaches the whole of `size` on each side of the transformed centre.
// A viewer enters only strictly inside it, and stays inside up to and on its
// faces.
void CProximitySensorNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass != RenderPass::Frame || !view || !enabled) return;
  CVec3f c{center.x, center.y, center.z};
  view->TransformPoint(c);
  const CVec3f d = view->GetPosition() - c;
  const SFVec3f position{d.x, d.y, d.z};
  const CVec3f a{std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)};
  if (active_) {
    if (a.x <= size.x && a.y <= size.y && a.z <= size.z) {
      SendEvent("position_changed", &position);
    } else {
      ChangeActivity(false);
    }
  } else if (a.x < size.x && a.y < size.y && a.z < size.z) {
    ChangeActivity(true);
    SendEvent("position_changed", &position);
  }
}

// ---- VisibilitySensor ----

CVisibilitySensorNode::CVisibilitySensorNode() { RegisterFields(kVisibilitySensorTable); }

CVisibilitySensorNode::~CVisibilitySensorNode() = default;

void CVisibilitySensorNode::MakeBox() {
  box_ = std::make_unique<CMeshBuffer>();
  box_->SetVertexCount(8);
  for (int i = 0; i < 8; ++i) {
    const int* sign = kBoxCorners[i];
    box_->SetVertex(i, {center.x + static_cast<float>(sign[0]) * size.x * 0.5f,
                        center.y + static_cast<float>(sign[1]) * size.y * 0.5f,
                        center.z + static_cast<float>(sign[2]) * size.z * 0.5f});
  }
  box_->SetPolygonCount(6);
  for (int i = 0; i < 6; ++i) {
    MeshPolygon face;
    face.vertexCount = 4;
    for (int j = 0; j < 4; ++j) face.vertices[static_cast<size_t>(j)] = kBoxFaces[i][j];
    box_->SetPolygon(i, face);
  }
  box_->ComputeNormals();
}

// The box is made on the first traversal with a view (a sensor added to a
// running world gets no activation pass). Visible means that some face of
// the box keeps a part inside the view volume; geometry in front of it does
// not hide it.
void CVisibilitySensorNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view || !view->GetStage()) return;
  if (!box_) MakeBox();
  if (pass != RenderPass::Frame || !enabled) return;
  bool visible = false;
  {
    CVisibilityTestScope test(*view->GetStage());
    DrawMeshCulled(*box_, *view->GetStage(), 1, kCullNone);
    visible = test.Visible();
  }
  if (visible != active_) ChangeActivity(visible);
}

void RegisterViewerSensorNodes(NodeClassTable& table) {
  table.Add<CProximitySensorNode>("ProximitySensor");
  table.Add<CVisibilitySensorNode>("VisibilitySensor");
}

}  // namespace vx
