#include "engine/scene/NodeFactory.h"

#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/ReadSession.h"
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

MadeNode MakeNodeOfType(std::string_view typeName, const NodeCreation& creation, const NodeClassTable& classes) {
  MadeNode made;
  if (const NodeClassInfo* info = classes.Find(typeName)) {
    made.node = info->create(creation);
    if (made.node) made.node->SetScene(creation.scene);
  } else if (CProtoDeclaration* declaration = FindDeclaration(typeName, creation)) {
    CNodeRef node = MakeNode<CProtoInstanceNode>(*declaration, &classes);
    node->SetScene(creation.scene);
    // A node made outside a read is not part of a world's load: its body
    // binds nothing.
    CReadSession ownSession(CReadSession::Binding::kNone);
    CReadSession& session = creation.session ? *creation.session : ownSession;
    auto& instance = static_cast<CProtoInstanceNode&>(*node.GetNode());
    made.refused = instance.Instantiate(session, made.message) == CProtoInstanceNode::InstantiateResult::Refused;
    made.node = std::move(node);
  }
  return made;
}

CNodeRef NodeFactory(std::string_view typeName, const NodeCreation& creation, const NodeClassTable& classes) {
  return MakeNodeOfType(typeName, creation, classes).node;
}

}  // namespace vx
