#include "engine/nodes/BindableNodeSupport.h"

#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

CNodeWeakRef RootOf(const CBrowser* world) { return CNodeWeakRef(world ? world->GetRootRef().Get() : nullptr); }

}  // namespace

CBrowser* CBindingPlace::WorldOf(const CNodeWeakRef& root) {
  const CNode* node = root.Get();
  return node ? node->GetWorld() : nullptr;
}

CBrowser* CBindingPlace::WorldToBind(const CNode& node) {
  CBrowser* world = WorldOf(viewRoot_);
  if (!world) world = node.GetWorld();
  boundRoot_ = RootOf(world);
  return world;
}

CBrowser* CBindingPlace::NoteView(const CViewContext* view, const CNode& node, bool bound) {
  CBrowser* world = view ? view->GetWorld() : nullptr;
  if (!world) return nullptr;
  viewRoot_ = RootOf(world);
  if (!bound || WorldOf(boundRoot_) == world || world->GetBoundNode(node.GetTypeId())) return nullptr;
  boundRoot_ = viewRoot_;
  return world;
}

void CQuietBindableNode::Traverse(RenderPass, CViewContext* view) {
  if (CBrowser* world = place_.NoteView(view, *this, bound_ != 0)) (world->*bind_)(this, true);
}

int CQuietBindableNode::OnEventIn(bool isField, int index, const void* value) {
  constexpr int kSetBind = IndexIn(kQuietBindEventIns, "set_bind");
  if (isField) return CNode::OnEventIn(isField, index, value);
  const int16_t on = *static_cast<const int16_t*>(value) != 0 ? 1 : 0;
  if (index != kSetBind || on == bound_) return 0;
  bound_ = on;
  if (CBrowser* world = place_.WorldToBind(*this)) (world->*bind_)(this, on != 0);
  SendEvent("isBound", &on);
  return 0;
}

}  // namespace vx
