// The base of every scene node, its counted and weak references, and the
// generic operations that work by field name: lookups, set with "_changed"
// notification, event delivery along ROUTEs, ROUTE creation and DEF search.
//
// Node classes (see FieldTable.h for how they declare their interface):
// - derive from CNode (or CRuntimeFieldNode when their fields are declared
//   while a file is read), call RegisterFields with their table in the
//   constructor, and override GetCategory and GetTypeId;
// - put behaviour into the virtual operations (Traverse, the pointer events,
//   InterceptEvent, OnEventIn, ...); the rest stays the base's;
// - are made only through MakeNode<T>() or the node factory, and live as long
//   as a CNodeRef holds them: destructors are protected, the last Release
//   frees the field values (through the table) and deletes the node;
// - end their source file in one registration function (see NodeFactory.h).
//
// Ownership: CNodeRef holds a node (SFNode and MFNode values, the reader's DEF
// table, the world's root). Whatever must not keep a node alive (ROUTE
// targets, bind stacks, pressed nodes, caches) holds a CNodeWeakRef, which
// reads null once the node is gone.
//
// Events are delivered synchronously and depth first. A delivery that comes
// back to a field or eventIn of a node while that field or eventIn is still
// being delivered (a ROUTE cycle) is dropped, so cycles end.
//
// The hierarchy stays acyclic: the node-valued fields and eventIns of the
// node classes (children, choice, level, geometry, ...) and a PROTO
// instance's members that IS passes on to them are the hierarchy's members,
// and every node refuses a value for one of them that holds the node itself
// or a node above it, however the value arrives (read from a file, set by a
// host or a controller, delivered along a ROUTE or through IS). The refusal is
// noted in the scene's event error text. Fields declared at run time (a
// Script's) are no part of the hierarchy and may name any node.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <vantessel/NodeTypes.h>

#include "engine/scene/FieldTable.h"
#include "engine/scene/FieldValue.h"
#include "engine/scene/LiveLink.h"
#include "engine/scene/NodeTypeNames.h"

namespace vx {

class CBrowser;
class CNode;
class CScene;
class CViewContext;
class CVec2f;
class CVec3f;

enum class RenderPass : int32_t { Frame = 0, Activate = 1, Deactivate = 2 };
enum class FieldKind : int32_t { Field = 0, EventIn = 1, EventOut = 2 };

// Counted reference to a node; exactly one pointer, so that SFNode values and
// MFNode elements keep the public layout.
class CNodeRef {
 public:
  CNodeRef() = default;
  explicit CNodeRef(CNode* node) { SetNode(node); }
  CNodeRef(const CNodeRef& other) { SetNode(other.node_); }
  CNodeRef(CNodeRef&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
  CNodeRef& operator=(const CNodeRef& other) {
    SetNode(other.node_);
    return *this;
  }
  CNodeRef& operator=(CNodeRef&& other) noexcept;
  ~CNodeRef() { SetNode(nullptr); }

  void SetNode(CNode* node);
  void Assign(const CNodeRef& other) { SetNode(other.node_); }
  CNode* GetNode() const { return node_; }
  CNode* Get() const { return node_; }
  CNode* operator->() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }
  // The node, or for a PROTO instance its primary body node (null when it has
  // none).
  CNode* Resolve() const;

 private:
  CNode* node_ = nullptr;
};

static_assert(sizeof(CNodeRef) == sizeof(void*), "an SFNode value is one pointer");

// Shared between a node and its weak references; outlives the node while weak
// references remain.
struct WeakAnchor {
  CNode* node = nullptr;
  int32_t weakCount = 0;
};

// A reference that does not keep its node alive and reads null once the node
// has been deleted.
class CNodeWeakRef {
 public:
  CNodeWeakRef() = default;
  explicit CNodeWeakRef(CNode* node);
  CNodeWeakRef(const CNodeWeakRef& other);
  CNodeWeakRef& operator=(const CNodeWeakRef& other);
  ~CNodeWeakRef();

  CNode* Get() const { return anchor_ ? anchor_->node : nullptr; }

 private:
  void Reset();
  WeakAnchor* anchor_ = nullptr;
};

// What picking stores into a node it hits, for the pointing-device sensors.
struct PickRecord {
  SFVec2f hitTexCoord{};
  SFVec3f hitPoint{};
  SFVec3f hitNormal{};
  int32_t pointerX = 0;
  int32_t pointerY = 0;
  float depth = 0.0f;
  int32_t order = 0;
};

// The tiled-image hand-off that a Shape gives its geometry node: a copy of
// the ImageTexture's url list, since the texture may be freed before the
// geometry draws again.
struct TiledImageHandoff {
  int16_t active = 0;
  std::vector<std::string> urls;
};

// One ROUTE kept on its source: the target's eventIn and the target.
struct RouteTarget {
  std::array<char, kMaxRouteNameLength + 1> eventIn{};
  CNodeWeakRef node;
};

// Which nodes of a value the hierarchy test walks below: every node, or
// those the test accepts; and whether it measures how deep the hierarchy
// would nest, which a reader that counts its levels itself need not have.
struct CycleSuspects {
  bool (*test)(const CNode&, void*);
  void* context;
  bool measuresDepth;
  bool Includes(const CNode& node) const { return !test || test(node, context); }
};
inline constexpr CycleSuspects kEveryNodeSuspect{nullptr, nullptr, true};

// What ReceiveEvent answers for a value it refused (see above).
inline constexpr int kEventRefused = -2;

class CNode {
 public:
  CNode(const CNode&) = delete;
  CNode& operator=(const CNode&) = delete;

  void AddRef() { ++refCount_; }
  void Release();
  int32_t GetRefCount() const { return refCount_; }

  // ---- Identity and per-frame work (overridden by node classes) ----
  virtual NodeCategory GetCategory() const { return NodeCategoryNone; }
  virtual NodeTypeId GetTypeId() const { return NodeTypeBase; }
  // The type name the node is written under, which the factory makes it
  // from again. A class that answers another class's type id (Inline and
  // Collision answer Group's) or an id without a name of its own gives its
  // own name here.
  virtual std::string_view GetTypeName() const { return NodeTypeName(GetTypeId()); }
  // This node, or what stands for it where a reference is resolved (a PROTO
  // instance answers its primary body node).
  virtual CNode* ResolveInstance() { return this; }
  // The root of a scene that the node draws as its own children (a PROTO
  // instance's body); null for none.
  virtual CNode* GetInnerRoot() const { return nullptr; }
  virtual void Traverse(RenderPass pass, CViewContext* view);
  // Traverses the children with the same pass and view context, in order,
  // picking the pointing sensors among them where there is a view
  // (ChildWalk.h).
  virtual int PickChildSensors(RenderPass pass, CViewContext* view, const MFNode& children);
  // Takes the geometry stage's pick hit as this node's: point, normal and
  // texture coordinate, the depth under the pointer, and a place (index)
  // among the view's pointer targets.
  void TakeStageHit(int32_t index, CViewContext& view, const CVec3f& point, const CVec3f& normal,
                    const CVec2f& texCoord);
  virtual void OnPointerClick(CViewContext* view);
  virtual void OnPointerOver();
  virtual void OnPointerDrag(int32_t button, float dx, float dy);
  virtual void OnPointerPress();
  virtual void OnPointerRelease();
  // Completes a URL named by this node: 0 with the result in out, 2 for an
  // empty url or a result longer than a path. "http://" and "secret" URLs and
  // absolute local paths are kept; "file:" URLs become local paths; relative
  // names are completed on the world's base directory when the file exists
  // there, else on its base URL.
  virtual int ResolveUrl(std::string_view url, std::string& out) const;
  virtual void SetDirty(bool dirty) { dirty_ = dirty ? 1 : 0; }
  // Offered every event before delivery; nonzero consumes it.
  virtual int InterceptEvent(std::string_view name, const void* value);
  // Address of the value of field number index, null for any other index.
  virtual void* GetFieldAddress(int index);
  // An event arrived: isField for a field that has been set, else a pure
  // eventIn; index in that section. The base marks the node dirty.
  virtual int OnEventIn(bool isField, int index, const void* value);
  virtual void GetSize(int32_t* width, int32_t* height);
  // Declaring members at run time; only CRuntimeFieldNode accepts.
  [[nodiscard]] virtual bool AddFieldByTypeName(FieldKind kind, std::string_view name, const char* typeName);
  [[nodiscard]] virtual bool AddFieldByTypeCode(FieldKind kind, std::string_view name, FieldType type);

  // ---- Interface lookups (exact, case-sensitive names; -1 or 0 for none) ----
  const FieldTable* GetFieldTable() const { return table_; }
  int FindField(std::string_view name) const;
  int FindEventIn(std::string_view name) const;
  int FindEventOut(std::string_view name) const;
  FieldType GetFieldType(std::string_view name) const;
  // "set_x" gives the type of field x; else the type of the eventIn itself.
  FieldType GetEventInType(std::string_view name) const;
  // "x_changed" gives the type of field x; else the type of the eventOut.
  FieldType GetEventOutType(std::string_view name) const;
  void* GetFieldByName(std::string_view name);
  // Whether field number index was ever set (the writer writes only those).
  bool IsFieldSet(int index) const;
  // Whether the field or eventIn of that index is a member of the hierarchy:
  // a node-valued member of the node's class table.
  virtual bool IsHierarchyMember(FieldKind kind, int index) const;
  // The same for an eventIn by the name it is sent to ("set_children",
  // "addChildren").
  bool IsHierarchyEventIn(std::string_view name) const;

  // ---- Values and events ----
  // Stores a copy of value into the field and sends "<name>_changed". The
  // node's own code names only fields it has: a misspelt name asserts.
  void SetField(std::string_view name, const void* value);
  // SetField for names from files and hosts; false when the node has no such
  // field or refuses the value (one that would make the hierarchy a cycle).
  [[nodiscard]] bool TrySetField(std::string_view name, const void* value);
  // TrySetField for a value the caller gives up: a list moves into the
  // field instead of being copied, and value is left with the field's old
  // list, which the caller frees.
  [[nodiscard]] bool TryTakeField(std::string_view name, void* value);
  // TryTakeField for a value of which only the nodes that may close a cycle
  // or nest too deeply are tested: those suspects accepts. Its callers know
  // the others hold nothing above this node (a reader's nodes made just now,
  // children the node holds already), and the test costs a walk below each
  // node.
  [[nodiscard]] bool TryTakeField(std::string_view name, void* value, const CycleSuspects& suspects);
  // Delivery of an event to this node; -1 when it names nothing here,
  // kEventRefused when the node refused the value.
  int ReceiveEvent(std::string_view name, const void* value);
  // Emission from this node along the ROUTEs of the eventOut of that name, or
  // of the field named by the name without "_changed". The node's own code
  // names only eventOuts it has: a misspelt name asserts.
  void SendEvent(std::string_view name, const void* value);
  // SendEvent to a node that may lack the eventOut (one chosen by what a file
  // holds); false when it has none of that name.
  [[nodiscard]] bool TrySendEvent(std::string_view name, const void* value);
  // Adds a ROUTE from this node's eventOut (or "<field>_changed") to the
  // target's eventIn; false when the types differ or a name is unknown.
  // AddRoute goes to a PROTO instance itself when the instance has the
  // eventIn, else to the node that stands for it; AddRouteToNode to the node
  // as given.
  [[nodiscard]] bool AddRoute(std::string_view eventOut, std::string_view eventIn, const CNodeRef& target);
  [[nodiscard]] bool AddRouteToNode(std::string_view eventOut, std::string_view eventIn, CNode* target);
  // The ROUTEs of a field or an eventOut (empty for anything else).
  std::span<const RouteTarget> GetRoutes(FieldKind kind, int index) const;

  // This node or the first below it, depth first in field order through
  // SFNode and MFNode values, whose DEF name is name.
  CNode* FindByDefName(std::string_view name);
  // True when node is this node or lies below it in the hierarchy.
  bool HoldsInHierarchy(const CNode* node);
  void ClearWrittenMarks();
  // Frees every field value that owns memory (MF arrays, references, image
  // pixels); the last Release calls it.
  void FreeFieldValues();

  // ---- Members other parts read and write ----
  const std::string& GetDefName() const { return defName_; }
  void SetDefName(std::string_view name);
  // The scene the node was made for (not owned; null for a node made
  // outside any scene, and once that scene is gone).
  CScene* GetScene() const { return scene_.Get(); }
  void SetScene(CScene* scene);
  // The world that runs the node's scene; null when there is none.
  CBrowser* GetWorld() const;
  bool IsDirty() const { return dirty_ != 0; }
  // Counts the values stored into the node's fields, however they arrived
  // (an event, a PROTO interface, a caller), so that what was built from
  // them elsewhere can tell that it is out of date.
  uint32_t GetChangeCount() const { return changeCount_; }
  bool GetWrittenMark() const { return writtenMark_; }
  void SetWrittenMark(bool written) { writtenMark_ = written; }

  PickRecord pick;
  TiledImageHandoff tiledImage;
  // Bindable nodes do their frame's work once a frame, in the pass the world
  // hands them before it draws the scene; their visit by the scene traversal,
  // and every traversal the world did not hand them, finds no pass due.
  // Frames are the world's frame numbers, which start at 1.
  void HandFramePass(uint64_t frame) { framePassDue_ = frame; }
  // True once for a pass handed for this frame.
  [[nodiscard]] bool TakeFramePass(uint64_t frame);

 protected:
  CNode() = default;
  virtual ~CNode();

  // Keeps the class's table and sets the defaults of its fields. Every class
  // constructor calls it once.
  void RegisterFields(const FieldTable& table);
  // For run-time tables, whose sections grow after registration.
  void SetFieldTable(const FieldTable* table) { table_ = table; }

 private:
  friend class CNodeWeakRef;

  std::vector<RouteTarget>* RouteListFor(std::string_view eventOut, FieldType* type);
  std::vector<RouteTarget>& RouteList(FieldKind kind, int index);
  [[nodiscard]] bool AddRouteTarget(std::string_view eventOut, std::string_view eventIn, CNode* target);
  void StoreField(int index, const void* value);
  void StoreTakenField(int index, void* value);
  void NoteFieldStored(int index, const void* value);
  template <typename Store>
  bool StoreNamedField(std::string_view name, const void* value, Store store,
                       CycleSuspects suspects = kEveryNodeSuspect);
  // The one test of every value that enters the node: true (and noted) when
  // the member is part of the hierarchy and the value holds this node or one
  // above it.
  bool RefusesValue(FieldKind kind, int index, const void* value, CycleSuspects suspects = kEveryNodeSuspect);
  void Deliver(FieldKind kind, int index, const void* value);

  std::string defName_;
  LiveLink<CScene> scene_;
  const FieldTable* table_ = nullptr;
  std::vector<std::vector<RouteTarget>> fieldRoutes_;
  std::vector<std::vector<RouteTarget>> eventOutRoutes_;
  uint64_t setFlags_ = 0;
  uint64_t framePassDue_ = 0;
  uint64_t fieldsInDelivery_ = 0;
  uint64_t eventInsInDelivery_ = 0;
  WeakAnchor* anchor_ = nullptr;
  int32_t refCount_ = 0;
  int16_t dirty_ = 1;
  uint32_t changeCount_ = 0;
  bool writtenMark_ = false;
};

// Empties the node values of the fields declared at run time (a Script's, a
// PROTO instance's interface) on every node of root's world that root
// reaches (PROTO bodies included), so that nodes which they name above
// themselves stop keeping each other alive once root is let go.
void ReleaseDeclaredNodeValues(CNode& root);

// Makes a node owned by the returned reference.
template <typename T, typename... Args>
CNodeRef MakeNode(Args&&... args) {
  return CNodeRef(new T(static_cast<Args&&>(args)...));
}

inline void CNodeRef::SetNode(CNode* node) {
  if (node) node->AddRef();
  CNode* old = node_;
  node_ = node;
  if (old) old->Release();
}

inline CNodeRef& CNodeRef::operator=(CNodeRef&& other) noexcept {
  if (this != &other) {
    CNode* old = node_;
    node_ = other.node_;
    other.node_ = nullptr;
    if (old) old->Release();
  }
  return *this;
}

inline CNode* CNodeRef::Resolve() const { return node_ ? node_->ResolveInstance() : nullptr; }

}  // namespace vx
