#include "engine/scene/ChildWalk.h"

#include <atomic>
#include <cstdint>
#include <unordered_set>

#include "engine/scene/SceneLimits.h"

namespace vx {
namespace {

std::atomic<ViewChildWalk> installedWalk{nullptr};

}  // namespace

struct CPassBudget::State {
  int64_t visits = 0;
  bool cut = false;
  std::unordered_set<const CNode*> activated;
  std::unordered_set<const CNode*> deactivated;

  // Whether the child is to be walked now.
  bool Visit(const CNode& child, RenderPass pass) {
    if (visits >= kMaxNodeVisitsPerPass) {
      cut = true;
      return false;
    }
    ++visits;
    if (pass == RenderPass::Activate) return activated.insert(&child).second;
    if (pass == RenderPass::Deactivate) return deactivated.insert(&child).second;
    return true;
  }
};

namespace {

// The engine runs on one thread. Plain statics rather than thread_local: the
// engine is a module that hosts load and unload, and a module's dynamic TLS
// outlives its unloading in the leak checker's view of the process.
CPassBudget::State* openPass = nullptr;
int walkDepth = 0;

// One level of children lists for its lifetime.
class WalkLevel {
 public:
  WalkLevel() { ++walkDepth; }
  ~WalkLevel() { --walkDepth; }
  WalkLevel(const WalkLevel&) = delete;
  WalkLevel& operator=(const WalkLevel&) = delete;
  bool Fits() const { return walkDepth <= kMaxNodeNesting; }
};

}  // namespace

CPassBudget::CPassBudget() : state_(openPass), owns_(openPass == nullptr) {
  if (owns_) state_ = openPass = new State;
}

CPassBudget::~CPassBudget() {
  if (!owns_) return;
  openPass = nullptr;
  delete state_;
}

bool CPassBudget::WasCut() const { return state_->cut; }

int GetWalkDepth() { return walkDepth; }

void InstallViewChildWalk(ViewChildWalk walk) { installedWalk.store(walk, std::memory_order_relaxed); }

void TraverseChildrenInOrder(RenderPass pass, CViewContext* view, const MFNode& children) {
  const CPassBudget budget;
  const WalkLevel level;
  if (!level.Fits()) {
    openPass->cut = true;
    return;
  }
  for (size_t i = 0; i < children.Span().size(); ++i) {
    const CNodeRef child = children.Span()[i];
    if (!child) continue;
    if (!openPass->Visit(*child.GetNode(), pass)) {
      if (openPass->cut) return;
      continue;
    }
    child->Traverse(pass, view);
  }
}

int CNode::PickChildSensors(RenderPass pass, CViewContext* view, const MFNode& children) {
  const ViewChildWalk walk = installedWalk.load(std::memory_order_relaxed);
  if (view && walk) return walk(*this, pass, *view, children);
  TraverseChildrenInOrder(pass, view, children);
  return 0;
}

}  // namespace vx
