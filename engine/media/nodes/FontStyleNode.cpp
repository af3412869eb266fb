#include "engine/media/nodes/FontStyleNode.h"

#include <cstring>
#include <string_view>

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

// The listener list starts with room for one text and grows by five.
constexpr int32_t kListenerCapacity = 1;
constexpr int32_t kListenerStep = 5;

constexpr FieldSpec kFontStyleFields[] = {
    Field<&CFontStyleNode::family>("family", DefaultText("SERIF")),
    Field<&CFontStyleNode::style>("style", DefaultText("PLAIN")),
    Field<&CFontStyleNode::size>("size", DefaultFloats(1)),
    Field<&CFontStyleNode::spacing>("spacing", DefaultFloats(1)),
    Field<&CFontStyleNode::justify>("justify", DefaultText("BEGIN")),
    Field<&CFontStyleNode::horizontal>("horizontal", DefaultBool(true)),
    Field<&CFontStyleNode::leftToRight>("leftToRight", DefaultBool(true)),
    Field<&CFontStyleNode::topToBottom>("topToBottom", DefaultBool(true)),
    Field<&CFontStyleNode::language>("language"),
};
constexpr FieldTable kFontStyleTable{Section(kFontStyleFields), {}, {}};

constexpr std::string_view kStyleWords[] = {"PLAIN", "BOLD", "ITALIC", "BOLDITALIC"};
constexpr std::string_view kFamilyWords[] = {"SERIF", "SANS", "TYPEWRITER"};
constexpr std::string_view kJustifyWords[] = {"FIRST", "BEGIN", "MIDDLE", "END"};

template <size_t N>
uint8_t WordCode(const SFString& value, const std::string_view (&words)[N]) {
  const std::string_view text = TextOf(value);
  for (size_t i = 0; i < N; ++i) {
    if (text == words[i]) return static_cast<uint8_t>(i);
  }
  return 0;
}

}  // namespace

CFontStyleNode::CFontStyleNode() : listeners_(kListenerCapacity, kListenerStep) {
  RegisterFields(kFontStyleTable);
  listeners_.SetEvent(kPointerSetChanged);
}

int CFontStyleNode::OnEventIn(bool isField, int index, const void* value) {
  CNode::OnEventIn(isField, index, value);
  changed_ = 1;
  listeners_.NotifyAll();
  return 0;
}

FontLayout CFontStyleNode::Layout() const {
  FontLayout layout;
  layout.family = WordCode(family, kFamilyWords);
  layout.style = WordCode(style, kStyleWords);
  layout.size = size;
  layout.spacing = spacing;
  layout.justify = WordCode(justify, kJustifyWords);
  layout.horizontal = horizontal;
  layout.leftToRight = leftToRight;
  layout.topToBottom = topToBottom;
  return layout;
}

CFontStyleNode* AsFontStyle(const CNodeRef& field) {
  CNode* node = field.Resolve();
  return node && node->GetTypeId() == NodeTypeFontStyle ? static_cast<CFontStyleNode*>(node) : nullptr;
}

CFontStyleLink::~CFontStyleLink() { Leave(); }

void CFontStyleLink::Follow(CFontStyleNode* style) {
  if (style == Followed()) {
    if (style) style->Listeners().Add(this);
    return;
  }
  Leave();
  if (!style) return;
  style->Listeners().Add(this);
  style_ = CNodeWeakRef(style);
}

CFontStyleNode* CFontStyleLink::Followed() const { return static_cast<CFontStyleNode*>(style_.Get()); }

void CFontStyleLink::Leave() {
  if (CFontStyleNode* style = Followed()) style->Listeners().Remove(this);
  style_ = CNodeWeakRef();
}

int32_t CFontStyleLink::Notify(CPointerSet& set) {
  CFontStyleNode* style = Followed();
  if (!style || &style->Listeners() != &set) return set.GetEvent();
  if (set.GetEvent() == kPointerSetGoingAway) {
    style_ = CNodeWeakRef();
  } else if (set.GetEvent() == kPointerSetChanged && style->GetChanged() == 1) {
    owner_.SetDirty(true);
  }
  return set.GetEvent();
}

void RegisterFontStyleNode(NodeClassTable& table) { table.Add<CFontStyleNode>("FontStyle"); }

}  // namespace vx
