#include "engine/world/Browser.h"

#include <algorithm>

#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/nodes/GroupNode.h"
#include "platform/Clock.h"

namespace vx {
namespace {

constexpr std::string_view kRootName = "Vexlin_Scene_Root";

// The text up to and including the last of the separators, never counting a
// separator at the very start; empty when there is none.
std::string UpToLastSeparator(std::string_view text, std::string_view separators) {
  const size_t cut = text.find_last_of(separators);
  if (cut == std::string_view::npos || cut == 0) return {};
  return std::string(text.substr(0, std::min(cut + 1, kMaxPathLength)));
}

template <size_t N>
void CopyCut(std::array<char, N>& slot, std::string_view text) {
  slot.fill('\0');
  text.copy(slot.data(), std::min(text.size(), N - 1));
}

// Splits "node.event" at its first '.'.
bool SplitRouteText(const char* text, std::string_view& node, std::string_view& event) {
  std::string_view whole(text);
  const size_t dot = whole.find('.');
  if (dot == std::string_view::npos) return false;
  node = whole.substr(0, dot);
  event = whole.substr(dot + 1);
  return true;
}

}  // namespace

PendingRoute PendingRoute::Make(std::string_view source, std::string_view target) {
  PendingRoute route;
  CopyCut(route.source, source);
  CopyCut(route.target, target);
  return route;
}

CBrowser::CBrowser() : root_(MakeNode<CGroupNode>()) {
  root_->SetDefName(kRootName);
  root_->SetWorld(this);
}

CBrowser::~CBrowser() {
  // The root goes before the declarations its PROTO instances were made from.
  root_.SetNode(nullptr);
  // A declaration kept alive elsewhere must not reach back into this world.
  for (CNodeRef& proto : protos_) proto->SetWorld(nullptr);
  protos_.clear();
}

void CBrowser::SetWorldUrl(std::string_view url) {
  worldUrl_ = UpToLastSeparator(url, url.starts_with("http://") ? "/\\" : "\\");
}

void CBrowser::SetWorldDirectory(std::string_view path) { worldDirectory_ = UpToLastSeparator(path, "/\\"); }

CGroupNode* CBrowser::GetRoot() const { return static_cast<CGroupNode*>(root_.GetNode()); }

void CBrowser::AddPendingRoute(const PendingRoute& route) { pendingRoutes_.push_back(route); }

void CBrowser::ResolvePendingRoutes() {
  for (const PendingRoute& route : pendingRoutes_) {
    std::string_view sourceName, sourceEvent, targetName, targetEvent;
    if (!SplitRouteText(route.source.data(), sourceName, sourceEvent) ||
        !SplitRouteText(route.target.data(), targetName, targetEvent)) {
      continue;
    }
    CNode* source = FindNode(sourceName);
    CNodeRef target(FindNode(targetName));
    if (source && target) (void)source->AddRoute(sourceEvent, targetEvent, target);
  }
}

CNode* CBrowser::FindNode(std::string_view defName) {
  CNode* cached = lookupCache_.Get();
  if (cached && cached->GetDefName() == defName) return cached;
  if (!root_) return nullptr;
  CNode* found = root_->FindByDefName(defName);
  if (found) lookupCache_ = CNodeWeakRef(found);
  return found;
}

CProtoDeclaration* CBrowser::CreateProto(std::string_view name, bool isExtern) {
  if (protos_.size() >= kMaxProtoDeclarations) return nullptr;
  CNodeRef declaration = MakeNode<CProtoDeclaration>(isExtern);
  auto* proto = static_cast<CProtoDeclaration*>(declaration.GetNode());
  proto->SetName(name);
  proto->SetWorld(this);
  protos_.push_back(std::move(declaration));
  return proto;
}

bool CBrowser::AddProto(CProtoDeclaration* declaration) {
  if (!declaration || protos_.size() >= kMaxProtoDeclarations) return false;
  protos_.emplace_back(declaration);
  return true;
}

CProtoDeclaration* CBrowser::FindProto(std::string_view name) const {
  for (const CNodeRef& ref : protos_) {
    auto* proto = static_cast<CProtoDeclaration*>(ref.GetNode());
    if (proto->GetName() == name) return proto;
  }
  return enclosing_ ? enclosing_->FindProto(name) : nullptr;
}

CProtoDeclaration* CBrowser::GetProto(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= protos_.size()) return nullptr;
  return static_cast<CProtoDeclaration*>(protos_[static_cast<size_t>(index)].GetNode());
}

CNode* CBrowser::TopOf(const std::vector<CNodeRef>& stack) { return stack.empty() ? nullptr : stack.back().Resolve(); }

void CBrowser::BindSimple(std::vector<CNodeRef>& stack, CNode* node, bool on) {
  if (!on) {
    if (!stack.empty() && stack.back().Resolve() == node) stack.pop_back();
    return;
  }
  if (stack.size() == kBindStackDepth) stack.erase(stack.begin());
  stack.emplace_back(node);
}

CNode* CBrowser::GetViewpoint() const {
  // Entries whose node has gone are skipped.
  for (auto it = viewpoints_.rbegin(); it != viewpoints_.rend(); ++it) {
    if (CNode* node = it->Get()) return node;
  }
  return nullptr;
}

void CBrowser::SendBinding(CNode* node, bool bound, double time) {
  if (!node) return;
  const int16_t isBound = bound ? 1 : 0;
  node->SendEvent("isBound", &isBound);
  node->SendEvent("bindTime", &time);
}

void CBrowser::BindViewpoint(CNode* node, bool on) {
  const double time = GetWorldTime();
  std::erase_if(viewpoints_, [](const CNodeWeakRef& ref) { return !ref.Get(); });
  auto found = std::find_if(viewpoints_.begin(), viewpoints_.end(), [node](const CNodeWeakRef& ref) { return ref.Get() == node; });
  const CNodeWeakRef previousTop(GetViewpoint());
  if (on) {
    if (found != viewpoints_.end()) {
      viewpoints_.erase(found);
    } else if (viewpoints_.size() == kBindStackDepth) {
      viewpoints_.erase(viewpoints_.begin());
    }
    viewpoints_.emplace_back(node);
    SendBinding(previousTop.Get(), false, time);
    SendBinding(node, true, time);
    return;
  }
  if (found == viewpoints_.end()) return;
  const bool wasTop = found + 1 == viewpoints_.end();
  viewpoints_.erase(found);
  if (!wasTop) return;
  SendBinding(node, false, time);
  SendBinding(GetViewpoint(), true, time);
}

void CBrowser::ResetClock() { clockStartMs_ = static_cast<int64_t>(NowMs()); }

double CBrowser::GetWorldTime() const { return (static_cast<int64_t>(NowMs()) - clockStartMs_) * 0.001; }

}  // namespace vx
