// FontStyle: the layout values of Text and TextTexture, and the list of the
// text nodes to tell when one of them changes.
#pragma once

#include <string>

#include "engine/media/text/PointerSet.h"
#include "engine/media/text/TextLayout.h"
#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CFontStyleNode : public CNode {
 public:
  CFontStyleNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometricProperty; }
  NodeTypeId GetTypeId() const override { return NodeTypeFontStyle; }
  // Any change marks the style changed and tells every listener.
  int OnEventIn(bool isField, int index, const void* value) override;

  // The values with the words as codes (the first word of a list; exact
  // words; any other is 0).
  FontLayout Layout() const;
  CPointerSet& Listeners() { return listeners_; }
  int32_t GetChanged() const { return changed_; }
  void SetChanged(int32_t changed) { changed_ = changed; }

  // Lists, as the file format has them (worlds write `family [ "SANS" ]`);
  // only the first word counts.
  MFString family{};
  SFString style{};
  float size = 0.0f;
  float spacing = 0.0f;
  MFString justify{};
  int16_t horizontal = 0;
  int16_t leftToRight = 0;
  int16_t topToBottom = 0;
  SFString language{};

 protected:
  ~CFontStyleNode() override = default;

 private:
  CPointerSet listeners_;
  int32_t changed_ = 0;
};

// The FontStyle a fontStyle field holds (through a PROTO instance to its
// body node); null for an empty field and for any other kind of node.
CFontStyleNode* AsFontStyle(const CNodeRef& field);

// A text node's registration with the FontStyle it reads: with at most one
// style at a time, left when the node follows another or goes away, and
// forgotten when the style goes away first. A change announced by the style
// marks the node dirty.
class CFontStyleLink final : public CNotifySink {
 public:
  explicit CFontStyleLink(CNode& owner) : owner_(owner) {}
  ~CFontStyleLink();
  CFontStyleLink(const CFontStyleLink&) = delete;
  CFontStyleLink& operator=(const CFontStyleLink&) = delete;

  // Listens to the style (null: none) instead of the one before.
  void Follow(CFontStyleNode* style);
  CFontStyleNode* Followed() const;
  int32_t Notify(CPointerSet& set) override;

 private:
  void Leave();

  CNode& owner_;
  CNodeWeakRef style_;
};

// Leaves in the world's error text which lines of a text node are not
// drawn, and why ("line 3 is not drawn: ...").
void NoteRefusedLines(const CNode& text, CViewContext& view, const std::string& refusal);

void RegisterFontStyleNode(NodeClassTable& table);

}  // namespace vx
