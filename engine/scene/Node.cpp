#include "engine/scene/Node.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/hostlink/FrameDemand.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneLimits.h"
#include "platform/Numbers.h"
#include "platform/Path.h"

namespace vx {
namespace {

constexpr std::string_view kSetPrefix = "set_";
constexpr std::string_view kChangedSuffix = "_changed";

uint64_t Bit(int index) { return uint64_t{1} << index; }

// Keeps a node alive for the length of a call that may drop the last outside
// reference to it (an event handler that removes its own node). A node that
// nobody holds yet is left alone: taking and dropping a reference would
// delete it.
CNodeRef KeepAlive(CNode* node) { return node && node->GetRefCount() > 0 ? CNodeRef(node) : CNodeRef(); }

std::string_view WithoutSetPrefix(std::string_view name) {
  if (name.starts_with(kSetPrefix)) name.remove_prefix(kSetPrefix.size());
  return name.substr(0, std::min(name.size(), kMaxStringLength));
}

void ApplyDefault(FieldType type, void* value, const FieldDefault& def) {
  const auto& f = def.floats;
  switch (type) {
    case FieldTypeSFBool: *static_cast<int16_t*>(value) = f[0] != 0.0f ? 1 : 0; break;
    case FieldTypeSFFloat: *static_cast<float*>(value) = f[0]; break;
    case FieldTypeSFInt32: *static_cast<int32_t*>(value) = def.integer; break;
    case FieldTypeSFTime: *static_cast<double*>(value) = def.time; break;
    case FieldTypeSFVec2f: std::memcpy(value, f.data(), 2 * sizeof(float)); break;
    case FieldTypeSFColor:
    case FieldTypeSFVec3f: std::memcpy(value, f.data(), 3 * sizeof(float)); break;
    case FieldTypeSFRotation: std::memcpy(value, f.data(), 4 * sizeof(float)); break;
    case FieldTypeSFString:
      if (def.text) SetStringValue(*static_cast<SFString*>(value), def.text);
      break;
    default:
      if (IsMultiValued(type) && def.count > 0 && type != FieldTypeMFNode) {
        auto& mf = *static_cast<MFValue*>(value);
        FreeFieldValue(type, value);
        mf.elements = AllocFieldArray(type, def.count);
        mf.count = def.count;
        if (type == FieldTypeMFString) {
          assert(def.elementSize == sizeof(const char*) && "MFString defaults are arrays of const char*");
          auto* texts = static_cast<const char* const*>(def.list);
          for (int32_t i = 0; i < def.count; ++i) SetStringValue(static_cast<SFString*>(mf.elements)[i], texts[i]);
        } else {
          assert(def.elementSize == FieldElementSize(type) && "default list elements match the field type");
          std::memcpy(mf.elements, def.list, static_cast<size_t>(def.count) * def.elementSize);
        }
      }
      break;
  }
}

}  // namespace

// ---- References ----

CNodeWeakRef::CNodeWeakRef(CNode* node) {
  if (!node) return;
  if (!node->anchor_) node->anchor_ = new WeakAnchor{node, 0};
  anchor_ = node->anchor_;
  ++anchor_->weakCount;
}

CNodeWeakRef::CNodeWeakRef(const CNodeWeakRef& other) : anchor_(other.anchor_) {
  if (anchor_) ++anchor_->weakCount;
}

CNodeWeakRef& CNodeWeakRef::operator=(const CNodeWeakRef& other) {
  if (this != &other) {
    Reset();
    anchor_ = other.anchor_;
    if (anchor_) ++anchor_->weakCount;
  }
  return *this;
}

CNodeWeakRef::~CNodeWeakRef() { Reset(); }

void CNodeWeakRef::Reset() {
  if (anchor_ && --anchor_->weakCount == 0 && !anchor_->node) delete anchor_;
  anchor_ = nullptr;
}

// ---- Lifetime ----

void CNode::Release() {
  assert(refCount_ > 0 && "Release without a matching AddRef");
  if (--refCount_ > 0) return;
  if (anchor_) {
    anchor_->node = nullptr;
    if (anchor_->weakCount == 0) delete anchor_;
    anchor_ = nullptr;
  }
  // Values are freed while the node is still whole, so that the table's
  // address functions and run-time value blocks are valid.
  refCount_ = 1;  // children that reach back while they go must not delete us twice
  FreeFieldValues();
  delete this;
}

CNode::~CNode() = default;

void CNode::SetScene(CScene* scene) { scene_ = scene ? scene->Link() : LiveLink<CScene>(); }

CBrowser* CNode::GetWorld() const {
  const CScene* scene = GetScene();
  return scene ? scene->GetWorld() : nullptr;
}

void CNode::RegisterFields(const FieldTable& table) {
  table_ = &table;
  for (size_t i = 0; i < table.fields.size(); ++i) {
    const FieldSpec& spec = table.fields[i];
    if (!spec.address) continue;
    ApplyDefault(spec.type, spec.address(*this), spec.defaultValue);
  }
}

void CNode::FreeFieldValues() {
  if (!table_) return;
  for (size_t i = 0; i < table_->fields.size(); ++i) {
    if (void* value = GetFieldAddress(static_cast<int>(i))) FreeFieldValue(table_->fields[i].type, value);
  }
}

bool CNode::TakeFramePass(uint64_t frame) {
  if (frame == 0 || framePassDue_ != frame) return false;
  framePassDue_ = 0;
  return true;
}

void CNode::SetDefName(std::string_view name) { defName_.assign(name.substr(0, kMaxDefNameLength)); }

// ---- Default virtual operations ----

void CNode::Traverse(RenderPass, CViewContext*) {}

void CNode::OnPointerClick(CViewContext*) {}
void CNode::OnPointerOver() {}
void CNode::OnPointerDrag(int32_t, float, float) {}
void CNode::OnPointerPress() {}
void CNode::OnPointerRelease() {}
int CNode::InterceptEvent(std::string_view, const void*) { return 0; }

void* CNode::GetFieldAddress(int index) {
  if (!table_ || index < 0 || static_cast<size_t>(index) >= table_->fields.size()) return nullptr;
  const FieldSpec& spec = table_->fields[static_cast<size_t>(index)];
  return spec.address ? spec.address(*this) : nullptr;
}

int CNode::OnEventIn(bool isField, int, const void*) {
  if (isField) dirty_ = 1;
  return 0;
}

void CNode::GetSize(int32_t*, int32_t*) {}
bool CNode::AddFieldByTypeName(FieldKind, std::string_view, const char*) { return false; }
bool CNode::AddFieldByTypeCode(FieldKind, std::string_view, FieldType) { return false; }

int CNode::ResolveUrl(std::string_view url, std::string& out) const {
  out.clear();
  if (url.empty()) return 2;
  if (url.starts_with("secret") || url.starts_with("http://")) {
    out.assign(url);
  } else if (url.starts_with("file:///")) {
    out = path::LocalPathFromUrl(url);
  } else if (url.starts_with('/')) {
    // An absolute local path, as the writer gives resolved URLs back.
    out.assign(url);
  } else {
    const CScene* scene = GetScene();
    const std::string base = scene ? scene->GetWorldUrl() : std::string();
    const std::string directory = scene ? scene->GetWorldDirectory() : std::string();
    out = base + std::string(url);
    if (!directory.empty()) {
      std::string local = path::ToNativeSeparators(directory + std::string(url));
      if (std::FILE* probe = std::fopen(local.c_str(), "r")) {
        std::fclose(probe);
        out = std::move(local);
      }
    }
  }
  // A cut URL would name another file or address: refuse it instead.
  if (out.size() > kMaxPathLength) {
    out.clear();
    return 2;
  }
  return 0;
}

// ---- Lookups ----

int CNode::FindField(std::string_view name) const { return table_ ? FindInSection(table_->fields, name) : -1; }
int CNode::FindEventIn(std::string_view name) const { return table_ ? FindInSection(table_->eventIns, name) : -1; }
int CNode::FindEventOut(std::string_view name) const { return table_ ? FindInSection(table_->eventOuts, name) : -1; }

FieldType CNode::GetFieldType(std::string_view name) const {
  int index = FindField(name);
  return index < 0 ? FieldTypeNone : table_->fields[static_cast<size_t>(index)].type;
}

FieldType CNode::GetEventInType(std::string_view name) const {
  if (FieldType type = GetFieldType(WithoutSetPrefix(name))) return type;
  int index = FindEventIn(name);
  return index < 0 ? FieldTypeNone : table_->eventIns[static_cast<size_t>(index)].type;
}

FieldType CNode::GetEventOutType(std::string_view name) const {
  if (name.size() > kChangedSuffix.size()) {
    if (FieldType type = GetFieldType(name.substr(0, name.size() - kChangedSuffix.size()))) return type;
  }
  int index = FindEventOut(name);
  return index < 0 ? FieldTypeNone : table_->eventOuts[static_cast<size_t>(index)].type;
}

void* CNode::GetFieldByName(std::string_view name) {
  int index = FindField(name);
  return index < 0 ? nullptr : GetFieldAddress(index);
}

bool CNode::IsFieldSet(int index) const { return index >= 0 && index < 64 && (setFlags_ & Bit(index)) != 0; }

bool CNode::IsHierarchyMember(FieldKind kind, int index) const {
  if (!table_ || index < 0 || kind == FieldKind::EventOut) return false;
  const std::span<const FieldSpec> section = kind == FieldKind::Field ? table_->fields : table_->eventIns;
  if (static_cast<size_t>(index) >= section.size()) return false;
  const FieldType type = section[static_cast<size_t>(index)].type;
  return type == FieldTypeSFNode || type == FieldTypeMFNode;
}

bool CNode::IsHierarchyEventIn(std::string_view name) const {
  if (const int field = FindField(WithoutSetPrefix(name)); field >= 0) return IsHierarchyMember(FieldKind::Field, field);
  return IsHierarchyMember(FieldKind::EventIn, FindEventIn(name));
}

// ---- Values and events ----

void CNode::StoreField(int index, const void* value) {
  void* address = GetFieldAddress(index);
  if (!address) return;
  CopyFieldValue(table_->fields[static_cast<size_t>(index)].type, address, value);
  NoteFieldStored(index, value);
}

// Large lists read from files are moved, not copied twice over.
void CNode::StoreTakenField(int index, void* value) {
  void* address = GetFieldAddress(index);
  if (!address) return;
  const FieldType type = table_->fields[static_cast<size_t>(index)].type;
  if (IsMultiValued(type)) {
    std::swap(*static_cast<MFValue*>(address), *static_cast<MFValue*>(value));
  } else {
    CopyFieldValue(type, address, value);
  }
  NoteFieldStored(index, address);
}

void CNode::NoteFieldStored(int index, const void* value) {
  setFlags_ |= Bit(index);
  ++changeCount_;
  NoteWorldChange();
  // "<name>_changed" reaches nothing but ROUTE targets; a node without any,
  // as every node is while its file is read, has no one to tell.
  if (eventOutRoutes_.empty() && fieldRoutes_.empty()) return;
  char changed[kMaxStringLength + 16];
  std::snprintf(changed, sizeof changed, "%s_changed", table_->fields[static_cast<size_t>(index)].name);
  SendEvent(changed, value);
}

// A refused value is the value's fault, not the caller's: the node's own
// code passes on what it was given (a grouping node's added children, a
// value an IS passes into a PROTO body).
void CNode::SetField(std::string_view name, const void* value) {
  assert(FindField(name) >= 0 && "the node's own code sets only fields the node has");
  (void)TrySetField(name, value);
}

template <typename Store>
bool CNode::StoreNamedField(std::string_view name, const void* value, Store store, CycleSuspects suspects) {
  const int index = FindField(name);
  if (index < 0) return false;
  if (!GetFieldAddress(index) || (fieldsInDelivery_ & Bit(index))) return true;
  if (RefusesValue(FieldKind::Field, index, value, suspects)) return false;
  CNodeRef self = KeepAlive(this);
  fieldsInDelivery_ |= Bit(index);
  store(index);
  fieldsInDelivery_ &= ~Bit(index);
  return true;
}

bool CNode::TrySetField(std::string_view name, const void* value) {
  return StoreNamedField(name, value, [&](int index) { StoreField(index, value); });
}

bool CNode::TryTakeField(std::string_view name, void* value) {
  return StoreNamedField(name, value, [&](int index) { StoreTakenField(index, value); });
}

bool CNode::TryTakeField(std::string_view name, void* value, const CycleSuspects& suspects) {
  return StoreNamedField(
      name, value, [&](int index) { StoreTakenField(index, value); }, suspects);
}

int CNode::ReceiveEvent(std::string_view name, const void* value) {
  NoteWorldChange();
  if (int consumed = InterceptEvent(name, value)) return consumed;
  CNodeRef self = KeepAlive(this);
  const int field = FindField(WithoutSetPrefix(name));
  if (field >= 0) {
    if (fieldsInDelivery_ & Bit(field)) return 0;
    if (RefusesValue(FieldKind::Field, field, value)) return kEventRefused;
    fieldsInDelivery_ |= Bit(field);
    StoreField(field, value);
    int result = OnEventIn(true, field, value);
    fieldsInDelivery_ &= ~Bit(field);
    return result;
  }
  const int eventIn = FindEventIn(name);
  if (eventIn < 0) return -1;
  if (eventInsInDelivery_ & Bit(eventIn)) return 0;
  if (RefusesValue(FieldKind::EventIn, eventIn, value)) return kEventRefused;
  eventInsInDelivery_ |= Bit(eventIn);
  int result = OnEventIn(false, eventIn, value);
  eventInsInDelivery_ &= ~Bit(eventIn);
  return result;
}

std::vector<RouteTarget>& CNode::RouteList(FieldKind kind, int index) {
  auto& lists = kind == FieldKind::EventOut ? eventOutRoutes_ : fieldRoutes_;
  if (lists.size() <= static_cast<size_t>(index)) lists.resize(static_cast<size_t>(index) + 1);
  return lists[static_cast<size_t>(index)];
}

std::span<const RouteTarget> CNode::GetRoutes(FieldKind kind, int index) const {
  const auto& lists = kind == FieldKind::EventOut ? eventOutRoutes_ : fieldRoutes_;
  if (kind == FieldKind::EventIn || index < 0 || static_cast<size_t>(index) >= lists.size()) return {};
  return lists[static_cast<size_t>(index)];
}

void CNode::Deliver(FieldKind kind, int index, const void* value) {
  CNodeRef self = KeepAlive(this);
  // The list is read afresh for every target: a handler may add ROUTEs to it.
  for (size_t i = 0; i < GetRoutes(kind, index).size(); ++i) {
    const RouteTarget& route = GetRoutes(kind, index)[i];
    const auto eventIn = route.eventIn;
    CNodeRef hold = KeepAlive(route.node.Get());
    if (CNode* target = route.node.Get()) target->ReceiveEvent(eventIn.data(), value);
  }
}

void CNode::SendEvent(std::string_view name, const void* value) {
  [[maybe_unused]] const bool known = TrySendEvent(name, value);
  assert(known && "the node's own code sends only eventOuts the node has");
}

bool CNode::TrySendEvent(std::string_view name, const void* value) {
  if (const int eventOut = FindEventOut(name); eventOut >= 0) {
    Deliver(FieldKind::EventOut, eventOut, value);
    return true;
  }
  if (name.size() <= kChangedSuffix.size()) return false;
  const int field = FindField(name.substr(0, name.size() - kChangedSuffix.size()));
  if (field < 0) return false;
  Deliver(FieldKind::Field, field, value);
  return true;
}

bool CNode::AddRouteTarget(std::string_view eventOut, std::string_view eventIn, CNode* target) {
  if (!target || eventIn.size() > kMaxRouteNameLength) return false;
  if (GetEventOutType(eventOut) != target->GetEventInType(eventIn)) return false;
  std::vector<RouteTarget>* list = nullptr;
  if (int index = FindEventOut(eventOut); index >= 0) {
    list = &RouteList(FieldKind::EventOut, index);
  } else if (eventOut.size() > kChangedSuffix.size()) {
    int field = FindField(eventOut.substr(0, eventOut.size() - kChangedSuffix.size()));
    if (field < 0) return false;
    list = &RouteList(FieldKind::Field, field);
  } else {
    return false;
  }
  RouteTarget route;
  eventIn.copy(route.eventIn.data(), eventIn.size());
  route.node = CNodeWeakRef(target);
  list->push_back(route);
  return true;
}

bool CNode::AddRoute(std::string_view eventOut, std::string_view eventIn, const CNodeRef& target) {
  // A PROTO instance that answers the eventIn itself takes the event: its
  // interface forwards it into the body.
  CNode* node = target.GetNode();
  if (node && node->GetEventInType(eventIn) == FieldTypeNone) node = target.Resolve();
  return AddRouteTarget(eventOut, eventIn, node);
}

bool CNode::AddRouteToNode(std::string_view eventOut, std::string_view eventIn, CNode* target) {
  return AddRouteTarget(eventOut, eventIn, target);
}

// ---- Searches over the node's subtree ----

namespace {

// The references of one node-valued member's value.
std::span<const CNodeRef> NodeValues(FieldType type, const void* value) {
  if (type == FieldTypeSFNode) return {static_cast<const CNodeRef*>(value), 1};
  if (type == FieldTypeMFNode) return static_cast<const MFNode*>(value)->Span();
  return {};
}

// Calls visit(reference) for the SFNode value and every MFNode element of the
// node's fields that take(index) accepts, in field order, while visit returns
// null; returns what stopped it.
template <typename Take, typename Visit>
CNode* VisitNodeValues(CNode& node, Take take, Visit visit) {
  const FieldTable* table = node.GetFieldTable();
  if (!table) return nullptr;
  for (size_t i = 0; i < table->fields.size(); ++i) {
    const int index = static_cast<int>(i);
    void* value = node.GetFieldAddress(index);
    if (!value || !take(index)) continue;
    for (const CNodeRef& ref : NodeValues(table->fields[i].type, value)) {
      if (CNode* stop = visit(ref)) return stop;
    }
  }
  return nullptr;
}

constexpr auto kEveryField = [](int) { return true; };

// Every node that root reaches, through every node value or through the
// hierarchy only, root first; each node once, however many ways lead to it
// (a Script may name a node above itself; USE shares nodes).
std::vector<CNode*> ReachedNodes(CNode& root, bool hierarchyOnly) {
  std::vector<CNode*> reached{&root};
  std::unordered_set<const CNode*> seen{&root};
  auto reach = [&](CNode* node) {
    if (node && seen.insert(node).second) reached.push_back(node);
  };
  for (size_t next = 0; next < reached.size(); ++next) {
    CNode& node = *reached[next];
    VisitNodeValues(
        node, [&](int index) { return !hierarchyOnly || node.IsHierarchyMember(FieldKind::Field, index); },
        [&](const CNodeRef& ref) -> CNode* {
          reach(ref.GetNode());
          return nullptr;
        });
    reach(node.GetInnerRoot());
  }
  return reached;
}

// The depth-first search of FindByDefName; a Script may name a node above
// itself, so a node is searched once.
CNode* FindDefBelow(CNode& node, std::string_view name, std::unordered_set<const CNode*>& searched) {
  if (!searched.insert(&node).second) return nullptr;
  if (node.GetDefName() == name) return &node;
  return VisitNodeValues(node, kEveryField, [&](const CNodeRef& ref) {
    // A PROTO instance is found by its own name even while it has no body.
    return ref.GetNode() ? FindDefBelow(*ref.GetNode(), name, searched) : nullptr;
  });
}

// The hierarchy's members below a node, and a PROTO instance's body.
template <typename Visit>
void VisitHierarchyBelow(CNode& node, Visit visit) {
  VisitNodeValues(
      node, [&](int index) { return node.IsHierarchyMember(FieldKind::Field, index); },
      [&](const CNodeRef& ref) -> CNode* {
        if (ref.GetNode()) visit(*ref.GetNode());
        return nullptr;
      });
  if (CNode* inner = node.GetInnerRoot()) visit(*inner);
}

// Measures of a hierarchy that stays within kMaxNodeNesting levels: a node
// reached deeper answers kTooDeep, so that neither walk goes deeper itself.
// Each node is measured once, however many paths lead to it.
class LevelMeasure {
 public:
  static constexpr int kTooDeep = kMaxNodeNesting + 1;

  // Levels from node down to its deepest leaf, its own included.
  int Height(CNode& node, int depth = 1) {
    if (depth > kMaxNodeNesting) return kTooDeep;
    if (const auto known = heights_.find(&node); known != heights_.end()) return known->second;
    int below = 0;
    VisitHierarchyBelow(node, [&](CNode& child) { below = std::max(below, Height(child, depth + 1)); });
    return heights_[&node] = std::min(below + 1, kTooDeep);
  }

  // Levels from node down to target along the longest path, node's own
  // included; 0 when target does not lie below node.
  int LevelsDownTo(CNode& node, const CNode& target, int depth = 1) {
    if (&node == &target) return 1;
    if (depth > kMaxNodeNesting) return 0;
    if (const auto known = paths_.find(&node); known != paths_.end()) return known->second;
    int below = 0;
    VisitHierarchyBelow(node, [&](CNode& child) { below = std::max(below, LevelsDownTo(child, target, depth + 1)); });
    return paths_[&node] = below > 0 ? std::min(below + 1, kTooDeep) : 0;
  }

 private:
  std::unordered_map<const CNode*, int> heights_;
  std::unordered_map<const CNode*, int> paths_;
};

// The levels of the longest path from the root of the node's scene down to
// the node, its own included; 1 for a node outside the hierarchy, which
// stands at its top.
int LevelsFromSceneRoot(CNode& node, LevelMeasure& measure) {
  CScene* scene = node.GetScene();
  CNode* root = scene ? scene->GetRootRef().GetNode() : nullptr;
  return std::max(root ? measure.LevelsDownTo(*root, node) : 0, 1);
}

}  // namespace

CNode* CNode::FindByDefName(std::string_view name) {
  std::unordered_set<const CNode*> searched;
  return FindDefBelow(*this, name, searched);
}

bool CNode::HoldsInHierarchy(const CNode* node) {
  const std::vector<CNode*> below = ReachedNodes(*this, true);
  return std::ranges::find(below, node) != below.end();
}

bool CNode::RefusesValue(FieldKind kind, int index, const void* value, CycleSuspects suspects) {
  if (!value || !IsHierarchyMember(kind, index)) return false;
  const auto& section = kind == FieldKind::Field ? table_->fields : table_->eventIns;
  const FieldSpec& member = section[static_cast<size_t>(index)];
  // Levels from the scene's root down to this node, measured once there is
  // a node to test.
  int levelsAbove = -1;
  LevelMeasure measure;
  for (const CNodeRef& held : NodeValues(member.type, value)) {
    if (!held.GetNode() || !suspects.Includes(*held.GetNode())) continue;
    const char* why = nullptr;
    if (held.GetNode()->HoldsInHierarchy(this)) {
      why = "it holds the node or a node above it";
    } else if (suspects.measuresDepth) {
      if (levelsAbove < 0) levelsAbove = LevelsFromSceneRoot(*this, measure);
      if (levelsAbove + measure.Height(*held.GetNode()) > kMaxNodeNesting) why = "the hierarchy would nest too deeply";
    }
    if (!why) continue;
    if (CScene* scene = GetScene()) {
      const std::string& name = GetDefName();
      scene->NoteEventError(FormatString("Value for '%s' of %s %s refused: %s.", member.name,
                                         std::string(GetTypeName()).c_str(),
                                         name.empty() ? "(unnamed)" : ("'" + name + "'").c_str(), why));
    }
    return true;
  }
  return false;
}

void CNode::ClearWrittenMarks() {
  // A PROTO instance is written itself, not the node that stands for it.
  for (CNode* node : ReachedNodes(*this, false)) node->writtenMark_ = false;
}

void ReleaseDeclaredNodeValues(CNode& root) {
  // The nodes are held while values are let go, which may free others. The
  // scenes of PROTO bodies run on the same world and go with it; a node of
  // another world (one a host put here) is that world's to let go.
  const CBrowser* world = root.GetWorld();
  const CScene* scene = root.GetScene();
  auto goesWithRoot = [&](const CNode& node) { return world ? node.GetWorld() == world : node.GetScene() == scene; };
  std::vector<CNodeRef> reached;
  for (CNode* node : ReachedNodes(root, false)) reached.push_back(KeepAlive(node));
  for (const CNodeRef& ref : reached) {
    if (!ref || !goesWithRoot(*ref.GetNode())) continue;
    CNode& node = *ref.GetNode();
    const FieldTable* table = node.GetFieldTable();
    for (size_t i = 0; table && i < table->fields.size(); ++i) {
      const FieldSpec& field = table->fields[i];
      if (field.address || (field.type != FieldTypeSFNode && field.type != FieldTypeMFNode)) continue;
      if (void* value = node.GetFieldAddress(static_cast<int>(i))) FreeFieldValue(field.type, value);
    }
  }
}

}  // namespace vx
