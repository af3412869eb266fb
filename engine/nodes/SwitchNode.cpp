#include "engine/nodes/SwitchNode.h"

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr FieldSpec kSwitchFields[] = {
    Field<&CSwitchNode::whichChoice>("whichChoice", DefaultInt(-1)),
    Field<&CSwitchNode::choice>("choice"),
};
constexpr FieldTable kSwitchTable{Section(kSwitchFields), {}, {}};

}  // namespace

CNode* NodeAt(const MFNode& list, int32_t index) {
  return index >= 0 && index < list.count ? list[index].GetNode() : nullptr;
}

CSwitchNode::CSwitchNode() { RegisterFields(kSwitchTable); }

void CSwitchNode::Traverse(RenderPass pass, CViewContext* view) {
  if (whichChoice != previousChoice_) {
    if (CNode* leaving = NodeAt(choice, previousChoice_)) leaving->Traverse(RenderPass::Deactivate, view);
    if (CNode* arriving = NodeAt(choice, whichChoice)) arriving->Traverse(RenderPass::Activate, view);
    previousChoice_ = whichChoice;
  }
  if (CNode* current = NodeAt(choice, whichChoice)) current->Traverse(pass, view);
}

void RegisterSwitchNode(NodeClassTable& table) { table.Add<CSwitchNode>("Switch"); }

}  // namespace vx
