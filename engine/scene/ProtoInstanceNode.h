// A node made from a PROTO or EXTERNPROTO declaration of the world: it
// carries a copy of the declaration's interface, with the declaration's
// default values. Reading its body into a scene of its own, and forwarding
// events through the IS connections, come with the instance's body.
#pragma once

#include "engine/scene/ProtoDeclaration.h"

namespace vx {

class CProtoInstanceNode : public CRuntimeFieldNode {
 public:
  explicit CProtoInstanceNode(CProtoDeclaration& declaration);

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeProtoInstance; }
  // An instance is written under the name of its declaration.
  std::string_view GetTypeName() const override { return GetDeclaration()->GetName(); }
  // The single top-level node of the body; null while there is no body.
  CNode* ResolveInstance() override { return nullptr; }

  CProtoDeclaration* GetDeclaration() const { return static_cast<CProtoDeclaration*>(declaration_.GetNode()); }

  // Three placeholder fields precede the interface, which starts at field 3.
  SFVec3f dummy0{};
  SFVec3f dummy1{};
  SFVec3f dummy2{};

 protected:
  ~CProtoInstanceNode() override = default;

 private:
  CNodeRef declaration_;
};

}  // namespace vx
