#include "engine/world/nodes/ScriptNode.h"

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr FieldSpec kScriptFields[] = {
    Field<&CScriptNode::url>("url"),
    Field<&CScriptNode::mustEvaluate>("mustEvaluate", DefaultBool(false)),
    Field<&CScriptNode::directOutput>("directOutput", DefaultBool(false)),
};

}  // namespace

CScriptNode::CScriptNode() : CRuntimeFieldNode(Section(kScriptFields)) { RegisterFixedFields(); }

void RegisterScriptNode(NodeClassTable& table) { table.Add<CScriptNode>("Script"); }

}  // namespace vx
