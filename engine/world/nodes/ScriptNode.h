// The Script node: a node whose fields, eventIns and eventOuts are declared in
// the scene file, and whose first url names a built-in behaviour ("vxn:"
// followed by its name) or a function the host registered.
#pragma once

#include "engine/scene/RuntimeFieldNode.h"

namespace vx {

class NodeClassTable;

class CScriptNode : public CRuntimeFieldNode {
 public:
  CScriptNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeScript; }

  MFString url{};
  int16_t mustEvaluate = 0;
  int16_t directOutput = 0;

 protected:
  ~CScriptNode() override = default;
};

void RegisterScriptNode(NodeClassTable& table);

}  // namespace vx
