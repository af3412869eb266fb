#include "engine/scene/nodes/BindableNodeSupport.h"

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

void ChangeBinding(CNode& node, int16_t& bound, const void* value, CBindingPlace& place, BindOperation bind) {
  const int16_t on = *static_cast<const int16_t*>(value) != 0 ? 1 : 0;
  if (on == bound) return;
  bound = on;
  if (CBrowser* world = place.WorldToBind(node)) (world->*bind)(&node, on != 0);
  node.SendEvent("isBound", &on);
}

void FollowViewWorld(CNode& node, bool bound, const CViewContext* view, CBindingPlace& place, BindOperation bind) {
  if (CBrowser* world = place.NoteView(view, node, bound)) (world->*bind)(&node, true);
}

}  // namespace vx
