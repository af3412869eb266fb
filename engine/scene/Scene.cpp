#include "engine/scene/Scene.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "engine/scene/GroupNode.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneLimits.h"

namespace vx {
namespace {

constexpr std::string_view kRootName = "Vexlin_Scene_Root";

// The text up to and including its last '/' or '\'; empty when there is
// none. A separator at the very start counts only as the root of an
// absolute local path ("/a.wrl" lies in "/").
std::string UpToLastSeparator(std::string_view text) {
  const size_t cut = text.find_last_of("/\\");
  if (cut == std::string_view::npos || (cut == 0 && text[0] != '/')) return {};
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

// A ROUTE may name an exposedField by its bare name: as a source it stands
// for the field's "_changed" event, as a target for its "set_" event.
std::string SourceEventName(const CNode& node, std::string_view name) {
  const bool bareField = node.GetEventOutType(name) == FieldTypeNone && IsValidFieldType(node.GetFieldType(name));
  return bareField ? std::string(name) + "_changed" : std::string(name);
}

std::string TargetEventName(const CNode& node, std::string_view name) {
  const bool bareField = node.GetEventInType(name) == FieldTypeNone && IsValidFieldType(node.GetFieldType(name));
  return bareField ? "set_" + std::string(name) : std::string(name);
}

}  // namespace

PendingRoute PendingRoute::Make(std::string_view source, std::string_view target) {
  PendingRoute route;
  CopyCut(route.source, source);
  CopyCut(route.target, target);
  return route;
}

CScene::CScene(LiveLink<CBrowser> world) : world_(std::move(world)) { MakeRoot(); }

CScene::~CScene() { Drop(); }

void CScene::MakeRoot() {
  root_ = MakeNode<CGroupNode>();
  root_->SetDefName(kRootName);
  root_->SetScene(this);
}

void CScene::Drop() {
  lookupCache_ = CNodeWeakRef();
  pendingRoutes_.clear();
  // The root goes before the declarations its PROTO instances were made from.
  // Nodes that reach this scene through its root (bindable nodes note the
  // world of their view so) must not find it once it is let go.
  if (root_) {
    ReleaseDeclaredNodeValues(*root_.GetNode());
    root_->SetScene(nullptr);
  }
  root_.SetNode(nullptr);
  // A declaration kept alive elsewhere must not reach back into this scene.
  for (CNodeRef& proto : protos_) proto->SetScene(nullptr);
  protos_.clear();
}

void CScene::Reset() {
  Drop();
  MakeRoot();
  pendingRoutes_.reserve(kInitialPendingRoutes);
  worldUrl_.clear();
  eventError_.clear();
  keptMessages_.clear();
  messageCount_ = 0;
}

void CScene::NoteEventError(std::string text) {
  if (messageCount_ < std::numeric_limits<uint32_t>::max()) ++messageCount_;
  if (keptMessages_.size() < kMaxKeptSceneMessages) keptMessages_.push_back(text);
  eventError_ = std::move(text);
}

// Local paths here are separated by '/', so unlike a Windows path a local
// world's base URL is cut at '/' too, as an "http://" URL's is.
void CScene::SetWorldUrl(std::string_view url) { worldUrl_ = UpToLastSeparator(url); }

void CScene::SetWorldDirectory(std::string_view path) { worldDirectory_ = UpToLastSeparator(path); }

CGroupNode* CScene::GetRoot() const { return static_cast<CGroupNode*>(root_.GetNode()); }

void CScene::AddPendingRoute(const PendingRoute& route) { pendingRoutes_.push_back(route); }

std::string CScene::ResolvePendingRoutes() {
  std::string problem;
  for (const PendingRoute& route : pendingRoutes_) {
    const std::string why = WireRoute(route);
    if (problem.empty() && !why.empty()) {
      problem = "ROUTE " + std::string(route.source.data()) + " TO " + std::string(route.target.data()) + ": " + why;
    }
  }
  return problem;
}

std::string CScene::WireRoute(const PendingRoute& route) {
  std::string_view sourceName, sourceEvent, targetName, targetEvent;
  if (!SplitRouteText(route.source.data(), sourceName, sourceEvent) ||
      !SplitRouteText(route.target.data(), targetName, targetEvent)) {
    return "each side must be a node name, '.' and an event name.";
  }
  CNode* source = FindNode(sourceName);
  if (!source) return "no node is named '" + std::string(sourceName) + "'.";
  CNodeRef target(FindNode(targetName));
  if (!target) return "no node is named '" + std::string(targetName) + "'.";
  if (!source->AddRoute(SourceEventName(*source, sourceEvent), TargetEventName(*target.GetNode(), targetEvent), target)) {
    return "the events do not exist, or their types differ.";
  }
  return {};
}

CNode* CScene::FindNode(std::string_view defName) {
  CNode* cached = lookupCache_.Get();
  if (cached && cached->GetDefName() == defName) return cached;
  if (!root_) return nullptr;
  CNode* found = root_->FindByDefName(defName);
  if (found) lookupCache_ = CNodeWeakRef(found);
  return found;
}

CProtoDeclaration* CScene::CreateProto(std::string_view name, bool isExtern) {
  if (protos_.size() >= kMaxProtoDeclarations) return nullptr;
  CNodeRef declaration = MakeNode<CProtoDeclaration>(isExtern);
  auto* proto = static_cast<CProtoDeclaration*>(declaration.GetNode());
  proto->SetName(name);
  proto->SetScene(this);
  protos_.push_back(std::move(declaration));
  return proto;
}

bool CScene::AddProto(CProtoDeclaration* declaration) {
  if (!declaration || protos_.size() >= kMaxProtoDeclarations) return false;
  protos_.emplace_back(declaration);
  return true;
}

bool CScene::HoldsProto(const CProtoDeclaration* declaration) const {
  return std::any_of(protos_.begin(), protos_.end(),
                     [declaration](const CNodeRef& ref) { return ref.GetNode() == declaration; });
}

// A name declared again stands for the later declaration from there on, as
// the file reads: instances read before it keep the earlier one.
CProtoDeclaration* CScene::FindProto(std::string_view name) const {
  for (auto it = protos_.rbegin(); it != protos_.rend(); ++it) {
    auto* proto = static_cast<CProtoDeclaration*>(it->GetNode());
    if (proto->GetName() == name) return proto;
  }
  return enclosing_ ? enclosing_->FindProto(name) : nullptr;
}

CProtoDeclaration* CScene::GetProto(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= protos_.size()) return nullptr;
  return static_cast<CProtoDeclaration*>(protos_[static_cast<size_t>(index)].GetNode());
}

}  // namespace vx
