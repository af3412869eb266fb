#include "engine/scene/NodeFactory.h"

#include "engine/scene/nodes/GroupNode.h"

namespace vx {
namespace {

// Every node class's registration, in the factory's lookup order. Node
// classes added later take their place here.
constexpr NodeRegistration kRegistrations[] = {
    RegisterGroupNode,
};

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
  if (const NodeClassInfo* info = classes.Find(typeName)) node = info->create(creation);
  if (node) node->SetWorld(creation.world);
  return node;
}

}  // namespace vx
