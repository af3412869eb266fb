#include "engine/nodes/LODNode.h"

#include <algorithm>

#include "engine/scene/NodeFactory.h"
#include "engine/nodes/SwitchNode.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

constexpr FieldSpec kLODFields[] = {
    Field<&CLODNode::level>("level"),
    Field<&CLODNode::center>("center", DefaultFloats(0, 0, 0)),
    Field<&CLODNode::range>("range"),
};
constexpr FieldTable kLODTable{Section(kLODFields), {}, {}};

}  // namespace

CLODNode::CLODNode() { RegisterFields(kLODTable); }

void CLODNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass == RenderPass::Deactivate) {
    for (const CNodeRef& entry : level.Span()) {
      if (entry) entry->Traverse(RenderPass::Deactivate, view);
    }
    return;
  }
  if (!view || range.count <= 0 || level.count <= 0) return;
  CVec3f centre{center.x, center.y, center.z};
  view->TransformPoint(centre);
  const float distance = (view->GetPosition() - centre).Length();
  TraverseLevel(ChooseLevel(distance, view->GetFieldOfView()), pass, view);
}

int32_t CLODNode::ChooseLevel(float distance, float fieldOfView) const {
  if (range.count <= 0 || level.count <= 0) return -1;
  const float scaled = distance * fieldOfView / kInitialFieldOfView;
  int32_t index = 0;
  while (index < range.count && scaled > range[index]) ++index;
  return std::min(index, level.count - 1);
}

void CLODNode::TraverseLevel(int32_t index, RenderPass pass, CViewContext* view) {
  if (index != currentLevel_) {
    currentLevel_ = index;
    if (CNode* arriving = NodeAt(level, index)) arriving->Traverse(RenderPass::Activate, view);
  }
  if (CNode* current = NodeAt(level, currentLevel_)) current->Traverse(pass, view);
}

void RegisterLODNode(NodeClassTable& table) { table.Add<CLODNode>("LOD"); }

}  // namespace vx
