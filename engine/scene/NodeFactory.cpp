#include "engine/scene/NodeFactory.h"

#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/Scene.h"

namespace vx {
namespace {

CProtoDeclaration* FindDeclaration(std::string_view typeName, const NodeCreation& creation) {
  const CScene* scope = creation.declarations ? creation.declarations : creation.scene;
  return scope ? scope->FindProto(typeName) : nullptr;
}

}  // namespace

void NodeClassTable::Add(std::string_view typeName, NodeCreateFn create) { classes_.push_back({typeName, create}); }

void NodeClassTable::Register(std::span<const NodeRegistration> registrations) {
  for (NodeRegistration registration : registrations) registration(*this);
}

const NodeClassInfo* NodeClassTable::Find(std::string_view typeName) const {
  for (const NodeClassInfo& info : classes_) {
    if (info.typeName == typeName) return &info;
  }
  return nullptr;
}

CNodeRef NodeFactory(std::string_view typeName, const NodeCreation& creation, const NodeClassTable& classes) {
  CNodeRef node;
  if (const NodeClassInfo* info = classes.Find(typeName)) {
    node = info->create(creation);
  } else if (CProtoDeclaration* declaration = FindDeclaration(typeName, creation)) {
    node = MakeNode<CProtoInstanceNode>(*declaration, &classes);
  }
  if (!node) return node;
  node->SetScene(creation.scene);
  // A PROTO instance is activated at once, which lets it read its body.
  if (node->GetTypeId() == NodeTypeProtoInstance) node->Traverse(RenderPass::Activate, nullptr);
  return node;
}

}  // namespace vx
