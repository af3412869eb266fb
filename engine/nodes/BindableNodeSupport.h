// What the bindable nodes (Viewpoint, NavigationInfo, Fog) share: the world
// they bind through, and the base of the nodes whose stacks send no events.
#pragma once

#include <cstdint>

#include "engine/scene/Node.h"

namespace vx {

class CBrowser;

// The bind stacks a frame reads belong to the world of the view. A node in
// the body of a PROTO instance or an Inline belongs to a world of its own
// that no view draws, so a bindable node notes the world of the view it is
// traversed in and binds there; until it has been traversed it binds through
// its own world.
class CBindingPlace {
 public:
  // The world a set_bind of the node goes through (the view's world, else
  // the node's own), noted as the world the node is bound in.
  CBrowser* WorldToBind(const CNode& node);
  // Notes the world of the view the node is traversed in. When the node is
  // bound through another world (its own, before it was drawn) and the
  // view's world has no node of its kind bound, the binding moves: the
  // view's world is returned, for the node to bind there. Else null.
  CBrowser* NoteView(const CViewContext* view, const CNode& node, bool bound);

 private:
  // Worlds are held through their roots: a weak reference reads null once
  // the root is gone, and a world unlinks its root when it lets it go, so a
  // world that has gone is never reached.
  static CBrowser* WorldOf(const CNodeWeakRef& root);

  CNodeWeakRef viewRoot_;
  CNodeWeakRef boundRoot_;
};

using BindOperation = void (CBrowser::*)(CNode* node, bool on);

// The events of a node on a bind stack that sends no events of its own.
inline constexpr FieldSpec kQuietBindEventIns[] = {Event("set_bind", FieldTypeSFBool)};
inline constexpr FieldSpec kQuietBindEventOuts[] = {Event("isBound", FieldTypeSFBool)};

// A node on such a stack (Fog, NavigationInfo), with the events above.
class CQuietBindableNode : public CNode {
 public:
  // Follows the view's world (above); the node draws nothing.
  void Traverse(RenderPass pass, CViewContext* view) override;
  // set_bind with a value that differs from the bound flag binds or unbinds
  // the node and sends isBound with the value; the same value again does
  // nothing.
  int OnEventIn(bool isField, int index, const void* value) override;

  bool IsBound() const { return bound_ != 0; }

 protected:
  explicit CQuietBindableNode(BindOperation bind) : bind_(bind) {}
  ~CQuietBindableNode() override = default;

 private:
  BindOperation bind_;
  int16_t bound_ = 0;
  CBindingPlace place_;
};

}  // namespace vx
