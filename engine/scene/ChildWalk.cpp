#include "engine/scene/ChildWalk.h"

#include <atomic>

namespace vx {
namespace {

std::atomic<ViewChildWalk> installedWalk{nullptr};

}  // namespace

void InstallViewChildWalk(ViewChildWalk walk) { installedWalk.store(walk, std::memory_order_relaxed); }

void TraverseChildrenInOrder(RenderPass pass, CViewContext* view, const MFNode& children) {
  for (size_t i = 0; i < children.Span().size(); ++i) {
    const CNodeRef child = children.Span()[i];
    if (child) child->Traverse(pass, view);
  }
}

int CNode::PickChildSensors(RenderPass pass, CViewContext* view, const MFNode& children) {
  const ViewChildWalk walk = installedWalk.load(std::memory_order_relaxed);
  if (view && walk) return walk(*this, pass, *view, children);
  TraverseChildrenInOrder(pass, view, children);
  return 0;
}

}  // namespace vx
