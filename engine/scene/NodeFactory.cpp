#include "engine/scene/NodeFactory.h"

#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/nodes/AnchorNode.h"
#include "engine/scene/nodes/AppearanceNodes.h"
#include "engine/scene/nodes/BillboardNode.h"
#include "engine/scene/nodes/CollisionNode.h"
#include "engine/scene/nodes/ElevationGridNode.h"
#include "engine/scene/nodes/ExtrusionNode.h"
#include "engine/scene/nodes/FogNode.h"
#include "engine/scene/nodes/GeometricPropertyNodes.h"
#include "engine/scene/nodes/GroupNode.h"
#include "engine/scene/nodes/IndexedFaceSetNode.h"
#include "engine/scene/nodes/InlineNode.h"
#include "engine/scene/nodes/InterpolatorNodes.h"
#include "engine/scene/nodes/LODNode.h"
#include "engine/scene/nodes/LightNodes.h"
#include "engine/scene/nodes/LineSetNodes.h"
#include "engine/scene/nodes/NavigationInfoNode.h"
#include "engine/scene/nodes/PointingSensorNodes.h"
#include "engine/scene/nodes/PrimitiveNodes.h"
#include "engine/scene/nodes/ShapeNode.h"
#include "engine/scene/nodes/SwitchNode.h"
#include "engine/scene/nodes/TimeSensorNode.h"
#include "engine/scene/nodes/TransformNode.h"
#include "engine/scene/nodes/ViewerSensorNodes.h"
#include "engine/scene/nodes/ViewpointNode.h"
#include "engine/world/Browser.h"
#include "engine/world/ScriptNode.h"

namespace vx {
namespace {

// Every node class's registration, in the factory's lookup order. Node
// classes added later take their place here.
constexpr NodeRegistration kRegistrations[] = {
    RegisterScriptNode,
    RegisterGroupNode,
    RegisterTransformNode,
    RegisterShapeNode,
    RegisterSphereNode,
    RegisterAppearanceNodes,
    RegisterIndexedFaceSetNode,
    RegisterGeometricPropertyNodes,
    RegisterSwitchNode,
    RegisterLODNode,
    RegisterBillboardNode,
    RegisterCollisionNode,
    RegisterTimeSensorNode,
    RegisterInterpolatorNodes,
    RegisterBoxNode,
    RegisterConeNode,
    RegisterCylinderNode,
    RegisterElevationGridNode,
    RegisterExtrusionNode,
    RegisterIndexedLineSetNode,
    RegisterPointSetNode,
    RegisterPointingSensorNodes,
    RegisterViewerSensorNodes,
    RegisterAnchorNode,
    RegisterInlineNode,
    RegisterLightNodes,
    RegisterWorldInfoNode,
    RegisterNavigationInfoNode,
    RegisterViewpointNode,
    RegisterFogNode,
};

CProtoDeclaration* FindDeclaration(std::string_view typeName, const NodeCreation& creation) {
  const CBrowser* scope = creation.declarations ? creation.declarations : creation.world;
  return scope ? scope->FindProto(typeName) : nullptr;
}

}  // namespace

void NodeClassTable::Add(std::string_view typeName, NodeCreateFn create) { classes_.push_back({typeName, create}); }

const NodeClassInfo* NodeClassTable::Find(std::string_view typeName) const {
  for (const NodeClassInfo& info : classes_) {
    if (info.typeName == typeName) return &info;
  }
  return nullptr;
}

NodeClassTable MakeNodeClassTable(std::span<const NodeRegistration> extra) {
  NodeClassTable table;
  for (NodeRegistration registration : kRegistrations) registration(table);
  for (NodeRegistration registration : extra) registration(table);
  return table;
}

const NodeClassTable& StandardNodeClasses() {
  static const NodeClassTable table = MakeNodeClassTable({});
  return table;
}

CNodeRef NodeFactory(std::string_view typeName, const NodeCreation& creation, const NodeClassTable& classes) {
  CNodeRef node;
  if (const NodeClassInfo* info = classes.Find(typeName)) {
    node = info->create(creation);
  } else if (CProtoDeclaration* declaration = FindDeclaration(typeName, creation)) {
    node = MakeNode<CProtoInstanceNode>(*declaration, &classes);
  }
  if (!node) return node;
  node->SetWorld(creation.world);
  // A PROTO instance is activated at once, which lets it read its body.
  if (node->GetTypeId() == NodeTypeProtoInstance) node->Traverse(RenderPass::Activate, nullptr);
  return node;
}

}  // namespace vx
