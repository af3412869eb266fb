#include "engine/media/nodes/FontStyleNode.h"

#include <string_view>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/Scene.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

// The listener list starts with room for one text and grows by five.
constexpr int32_t kListenerCapacity = 1;
constexpr int32_t kListenerStep = 5;

constexpr const char* kDefaultFamily[] = {"SERIF"};
constexpr const char* kDefaultJustify[] = {"BEGIN"};

constexpr FieldSpec kFontStyleFields[] = {
    Field<&CFontStyleNode::family>("family", DefaultList(kDefaultFamily)),
    Field<&CFontStyleNode::style>("style", DefaultText("PLAIN")),
    Field<&CFontStyleNode::size>("size", DefaultFloats(1)),
    Field<&CFontStyleNode::spacing>("spacing", DefaultFloats(1)),
    Field<&CFontStyleNode::justify>("justify", DefaultList(kDefaultJustify)),
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
uint8_t WordCode(std::string_view word, const std::string_view (&words)[N]) {
  for (size_t i = 0; i < N; ++i) {
    if (word == words[i]) return static_cast<uint8_t>(i);
  }
  return 0;
}

std::string_view FirstWord(const MFString& list) { return list.count > 0 ? TextOf(list[0]) : std::string_view(); }

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
  layout.family = WordCode(FirstWord(family), kFamilyWords);
  layout.style = WordCode(TextOf(style), kStyleWords);
  layout.size = size;
  layout.spacing = spacing;
  layout.justify = WordCode(FirstWord(justify), kJustifyWords);
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

void NoteRefusedLines(const CNode& text, CViewContext& view, const std::string& refusal) {
  CBrowser* world = view.GetWorld() ? view.GetWorld() : text.GetWorld();
  if (!world) return;
  const std::string& name = text.GetDefName();
  world->GetScene().NoteEventError(FormatString("%s %s: %s.", std::string(text.GetTypeName()).c_str(),
                                                name.empty() ? "(unnamed)" : ("'" + name + "'").c_str(),
                                                refusal.c_str()));
}

void RegisterFontStyleNode(NodeClassTable& table) { table.Add<CFontStyleNode>("FontStyle"); }

}  // namespace vx
