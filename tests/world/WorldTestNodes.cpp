#include "WorldTestNodes.h"

#include <cstring>

#include "engine/scene/GroupNode.h"

namespace vx::test {
namespace {

constexpr FieldSpec kBindableFields[] = {
    Field<&CBindable::navigationType>("type"),
    Field<&CBindable::speed>("speed", DefaultFloats(1.0f)),
    Field<&CBindable::avatarSize>("avatarSize"),
    Field<&CBindable::headlight>("headlight", DefaultBool(true)),
    Field<&CBindable::disparity>("disparity"),
};
constexpr FieldSpec kBindableEventIns[] = {
    Event("recordBound", FieldTypeSFBool),
    Event("recordTime", FieldTypeSFTime),
};
constexpr FieldSpec kBindableEventOuts[] = {
    Event("isBound", FieldTypeSFBool),
    Event("bindTime", FieldTypeSFTime),
};
constexpr FieldTable kBindableTable{Section(kBindableFields), Section(kBindableEventIns),
                                    Section(kBindableEventOuts)};

}  // namespace

CBindable::CBindable(NodeTypeId type, std::vector<BindEvent>* log) : type_(type), log_(log) {
  RegisterFields(kBindableTable);
}

int CBindable::OnEventIn(bool isField, int index, const void* value) {
  if (isField || !log_) return CNode::OnEventIn(isField, index, value);
  BindEvent event{GetDefName()};
  if (index == 0) {
    event.isBound = *static_cast<const int16_t*>(value) != 0;
  } else {
    event.isTime = true;
    event.time = *static_cast<const double*>(value);
  }
  log_->push_back(event);
  return 0;
}

void CBindable::Traverse(RenderPass pass, CViewContext* view) {
  if (pass != RenderPass::Frame) return;
  ++frameCount;
  if (onFrame) onFrame(*this, view);
}

CNodeRef MakeBindable(NodeTypeId type, const char* name, std::vector<BindEvent>* log) {
  CNodeRef node = MakeNode<CBindable>(type, log);
  node->SetDefName(name);
  (void)node->AddRouteToNode("isBound", "recordBound", node.Get());
  (void)node->AddRouteToNode("bindTime", "recordTime", node.Get());
  return node;
}

CBindable& Bindable(const CNodeRef& ref) { return static_cast<CBindable&>(*ref.Get()); }

CSquareNode::CSquareNode(float x0, float y0, float x1, float y1, float z, FloatColor color) {
  mesh_.SetVertexCount(4);
  // Wound so that the mesh's face normal, (a - b) x (c - b), is +z.
  mesh_.SetVertex(0, {x0, y0, z});
  mesh_.SetVertex(1, {x0, y1, z});
  mesh_.SetVertex(2, {x1, y1, z});
  mesh_.SetVertex(3, {x1, y0, z});
  mesh_.SetPolygonCount(1);
  mesh_.SetPolygon(0, MeshPolygon{0, 4, {0, 1, 2, 3}, {}});
  mesh_.ComputeNormals();
  material_.diffuse = color;
  material_.smooth = 0;
  material_.specular = 0;
}

void CSquareNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass != RenderPass::Frame) return;
  view->PushMatrix();
  view->ApplyMatrix();
  view->GetRenderTarget()->SetCulling({.mode = kCullNone});
  view->GetStage()->SetMaterial(&material_);
  mesh_.Draw(view->GetStage(), true, -1);
  view->PopMatrix();
}

void CSensorNode::OnPointerClick(CViewContext* view) {
  ++clicks;
  if (onClick) onClick(*this, view);
}

CNodeRef MakeSensedSquare(const CNodeRef& sensor, float halfSize, float z) {
  CNodeRef group = MakeNode<CGroupNode>();
  CNodeRef square = MakeNode<CSquareNode>(-halfSize, -halfSize, halfSize, halfSize, z, FloatColor{0.0f, 1.0f, 0.0f});
  std::array<CNodeRef, 2> children{sensor, square};
  MFNode list{2, children.data()};
  group->ReceiveEvent("addChildren", &list);
  return group;
}

void AddToScene(CBrowser& world, const CNodeRef& node) {
  node->SetScene(&world.GetScene());
  MFNode list{1, const_cast<CNodeRef*>(&node)};
  world.GetRoot()->ReceiveEvent("addChildren", &list);
}

TestFrame::TestFrame(int width, int height, int bytesPerPixel, uint8_t fill)
    : pixels(static_cast<size_t>(width) * height * bytesPerPixel, fill) {
  map.bits = pixels.data();
  map.width = static_cast<uint16_t>(width);
  map.height = static_cast<uint16_t>(height);
  map.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
  map.rowBytes = width * bytesPerPixel;
}

uint32_t TestFrame::Xrgb(int x, int y) const {
  uint32_t pixel;
  std::memcpy(&pixel, map.Row(y) + static_cast<size_t>(x) * 4, sizeof pixel);
  return pixel;
}

}  // namespace vx::test
