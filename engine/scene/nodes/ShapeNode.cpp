#include "engine/scene/nodes/ShapeNode.h"

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/AppearanceNodes.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kShapeFields[] = {
    Field<&CShapeNode::appearance>("appearance"),
    Field<&CShapeNode::geometry>("geometry"),
};
constexpr FieldTable kShapeTable{Section(kShapeFields), {}, {}};

}  // namespace

CShapeNode::CShapeNode() { RegisterFields(kShapeTable); }

void CShapeNode::ApplyAppearance(RenderPass pass, CViewContext* view, CGeometryStage& stage) {
  CNode* node = appearance.Resolve();
  if (node && node->GetTypeId() == NodeTypeAppearance) {
    static_cast<CAppearanceNode*>(node)->Apply(pass, view, stage);
  } else {
    stage.SetMaterial(nullptr);
  }
}

void CShapeNode::Traverse(RenderPass pass, CViewContext* view) {
  if (view) ApplyAppearance(pass, view, *view->GetStage());
  if (geometry) geometry->Traverse(pass, view);
}

void RegisterShapeNode(NodeClassTable& table) { table.Add<CShapeNode>("Shape"); }

}  // namespace vx
