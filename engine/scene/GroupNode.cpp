#include "engine/scene/GroupNode.h"

#include <cassert>

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr FieldSpec kGroupFields[] = {
    Field<&CGroupNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CGroupNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CGroupNode::children>("children"),
};
constexpr FieldTable kGroupTable{Section(kGroupFields), Section(kGroupingEventIns), {}};
constexpr int kAddChildren = IndexIn(kGroupingEventIns, "addChildren");
constexpr int kRemoveChildren = IndexIn(kGroupingEventIns, "removeChildren");

}  // namespace

CGroupNode::CGroupNode() { RegisterFields(kGroupTable); }

void CGroupNode::Traverse(RenderPass pass, CViewContext* view) { PickChildSensors(pass, view, children); }

int CGroupNode::OnEventIn(bool isField, int index, const void* value) {
  return OnGroupingEventIn(*this, children, isField, index, value);
}

int OnGroupingEventIn(CNode& node, MFNode& children, bool isField, int index, const void* value) {
  if (isField) return node.CNode::OnEventIn(isField, index, value);
  const auto& nodes = *static_cast<const MFNode*>(value);
  if (index == kAddChildren) AddChildren(node, children, nodes);
  if (index == kRemoveChildren) RemoveChildren(children, nodes);
  return 0;
}

void AddChildren(CNode& node, MFNode& children, const MFNode& added) {
  if (added.count <= 0) return;
  MFNode combined{children.count + added.count,
                  static_cast<CNodeRef*>(AllocFieldArray(FieldTypeMFNode, children.count + added.count))};
  for (int32_t i = 0; i < children.count; ++i) combined[i] = children[i];
  for (int32_t i = 0; i < added.count; ++i) combined[children.count + i] = added[i];
  // The added nodes passed the hierarchy test as the event arrived, and the
  // others are children already: testing the whole list again would make
  // every addition cost a walk of everything below the node.
  constexpr CycleSuspects kNone{[](const CNode&, void*) { return false; }, nullptr, false};
  [[maybe_unused]] const bool stored = node.TryTakeField("children", &combined, kNone);
  assert(stored && "every grouping node has children");
  FreeFieldValue(FieldTypeMFNode, &combined);
}

void RemoveChildren(MFNode& children, const MFNode& removed) {
  for (const CNodeRef& entry : removed.Span()) {
    CNode* target = entry.Resolve();
    if (!target) continue;
    int32_t kept = 0;
    for (int32_t i = 0; i < children.count; ++i) {
      if (children[i].Resolve() != target) children[kept++] = std::move(children[i]);
    }
    // Releasing may run code that reads the list, so the count is right first.
    const int32_t oldCount = children.count;
    children.count = kept;
    for (int32_t i = kept; i < oldCount; ++i) children[i].SetNode(nullptr);
  }
  if (children.count == 0) FreeFieldValue(FieldTypeMFNode, &children);
}

void RegisterGroupNode(NodeClassTable& table) { table.Add<CGroupNode>("Group"); }

}  // namespace vx
