#include "engine/scene/PropertyText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "engine/scene/SceneLimits.h"
#include "engine/scene/SceneWriter.h"
#include "engine/scene/Scene.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

constexpr const char* kNoSuchProperty = "Error - Can't get that property";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The quote that lets an MFString element hold a comma.
constexpr char kElementQuote = '"';

std::string_view DefNameOf(const CNodeRef& ref) { return ref ? std::string_view(ref->GetDefName()) : std::string_view(); }

// A controller must tell "no node" from "a node without a name".
std::string SingleNodeText(const CNodeRef& ref) {
  if (!ref) return "NULL";
  const std::string_view name = ref->GetDefName();
  return name.empty() ? "[" + std::string(ref->GetTypeName()) + "]" : std::string(name);
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// An element that holds a comma is quoted, so that it reads back whole.
std::string StringElementText(const SFString& value) {
  const std::string_view text = TextOf(value);
  if (text.find(',') == std::string_view::npos) return std::string(text);
  return kElementQuote + std::string(text) + kElementQuote;
}

// The text of one element (or SF value) of a type that has one.
std::string ElementText(FieldType type, const void* value) {
  const auto* f = static_cast<const float*>(value);
  switch (type) {
    case FieldTypeSFBool: return FormatString("%d", *static_cast<const int16_t*>(value) != 0 ? 1 : 0);
    case FieldTypeSFColor:
    case FieldTypeSFVec3f: return FormatString("%.2f,%.2f,%.2f", f[0], f[1], f[2]);
    case FieldTypeSFFloat: return FormatString("%.3f", f[0]);
    case FieldTypeSFImage: {
      std::string text;
      AppendImageText(text, *static_cast<const SFImage*>(value));
      return text;
    }
    case FieldTypeSFInt32: return FormatString("%d", *static_cast<const int32_t*>(value));
    case FieldTypeSFNode: return SingleNodeText(*static_cast<const CNodeRef*>(value));
    case FieldTypeSFRotation: return FormatString("%.2f,%.2f,%.2f,%.3f", f[0], f[1], f[2], f[3]);
    case FieldTypeSFString: return std::string(TextOf(*static_cast<const SFString*>(value)));
    case FieldTypeSFTime: return FormatString("%.2f", *static_cast<const double*>(value));
    case FieldTypeSFVec2f: return FormatString("%.2f,%.2f", f[0], f[1]);
    default: return {};
  }
}

// A list element's text: nodes by their DEF names alone, strings quoted when
// they hold a comma.
std::string ListElementText(FieldType elementType, const void* element) {
  if (elementType == FieldTypeSFNode) return std::string(DefNameOf(*static_cast<const CNodeRef*>(element)));
  if (elementType == FieldTypeSFString) return StringElementText(*static_cast<const SFString*>(element));
  return ElementText(elementType, element);
}

// Reads the words of a text one after the other, refusing what does not fit
// or does not parse. A value whose text runs out early is no value: the
// words it lacks are not taken as 0 or empty.
class WordReader {
 public:
  explicit WordReader(std::string_view text) : rest_(text) {}

  // The next word; nullopt once the text has none left. A separator at the
  // end of the text leaves one more word, an empty one.
  std::optional<std::string_view> Next() {
    if (ended_) return std::nullopt;
    const CommaSplit split = SplitCommaWord(rest_);
    const size_t wordEnd = static_cast<size_t>(split.word.data() - rest_.data()) + split.word.size();
    ended_ = wordEnd >= rest_.size();
    rest_ = split.rest;
    return split.word;
  }

  // The next MFString element: the text up to the next comma without the
  // blanks around it, or a quoted text that may hold commas. nullopt when
  // the text has no element left, or a quote is not closed or is followed
  // by more than blanks before the comma.
  std::optional<std::string_view> NextStringElement() {
    if (ended_) return std::nullopt;
    const std::string_view text = TrimBlanks(rest_);
    size_t comma = 0;
    std::string_view element;
    if (!text.empty() && text.front() == kElementQuote) {
      const size_t close = text.find(kElementQuote, 1);
      if (close == std::string_view::npos) return std::nullopt;
      element = text.substr(1, close - 1);
      comma = text.find_first_not_of(" \t", close + 1);
      if (comma != std::string_view::npos && text[comma] != ',') return std::nullopt;
    } else {
      comma = text.find(',');
      element = TrimBlanks(text.substr(0, comma));
    }
    ended_ = comma == std::string_view::npos;
    rest_ = ended_ ? std::string_view() : text.substr(comma + 1);
    return element;
  }
  // True once every word or element has been taken.
  bool AtEnd() const { return ended_; }

  // A decimal number, the whole word. False for a missing, empty, over-long
  // or partly numeric word, and for a value that is not finite (or, with
  // asFloat, beyond the float range).
  [[nodiscard]] bool Number(double& out, bool asFloat) {
    char buffer[kMaxPropertyNumberLength + 1];
    if (!CopyWord(buffer, sizeof buffer)) return false;
    char* end = nullptr;
    out = ParseDoubleC(buffer, &end);
    const double limit = asFloat ? std::numeric_limits<float>::max() : std::numeric_limits<double>::max();
    return *end == '\0' && std::isfinite(out) && std::fabs(out) <= limit;
  }

  [[nodiscard]] bool Floats(float* out, int count) {
    for (int i = 0; i < count; ++i) {
      double value = 0;
      if (!Number(value, true)) return false;
      out[i] = static_cast<float>(value);
    }
    return true;
  }

  // A decimal integer, the whole word, kept within 32 bits.
  [[nodiscard]] bool Integer(int32_t& out) {
    char buffer[kMaxPropertyNumberLength + 1];
    if (!CopyWord(buffer, sizeof buffer)) return false;
    char* end = nullptr;
    const long value = ParseLongC(buffer, &end, 10);
    out = static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
    return *end == '\0';
  }

 private:
  // False for a missing or empty word and one too long for the buffer.
  bool CopyWord(char* buffer, size_t size) {
    const std::optional<std::string_view> word = Next();
    if (!word || word->empty() || word->size() >= size) return false;
    word->copy(buffer, word->size());
    buffer[word->size()] = '\0';
    return true;
  }

  std::string_view rest_;
  bool ended_ = false;
};

// Reads one SF value of a numeric, boolean or string type into value.
bool ReadElement(WordReader& words, FieldType type, void* value) {
  switch (type) {
    case FieldTypeSFBool: {
      int32_t integer = 0;
      if (!words.Integer(integer)) return false;
      *static_cast<int16_t*>(value) = integer != 0 ? 1 : 0;
      return true;
    }
    case FieldTypeSFColor:
    case FieldTypeSFVec3f: return words.Floats(static_cast<float*>(value), 3);
    case FieldTypeSFFloat: return words.Floats(static_cast<float*>(value), 1);
    case FieldTypeSFInt32: return words.Integer(*static_cast<int32_t*>(value));
    case FieldTypeSFRotation: return words.Floats(static_cast<float*>(value), 4);
    case FieldTypeSFTime: return words.Number(*static_cast<double*>(value), false);
    case FieldTypeSFVec2f: return words.Floats(static_cast<float*>(value), 2);
    case FieldTypeSFString: {
      const std::optional<std::string_view> word = words.NextStringElement();
      if (!word || word->size() > kMaxStringLength) return false;
      SetStringValue(*static_cast<SFString*>(value), std::string(*word).c_str());
      return true;
    }
    default: return false;
  }
}

struct NodeContext {
  CScene* scene;
  CViewContext* view;
  const NodeClassTable& classes;
};

CNodeRef MakeNodeOfType(std::string_view typeName, const NodeContext& context) {
  return NodeFactory(typeName, NodeCreation{context.scene}, context.classes);
}

// One MFNode word: a DEF name of the world, or "name:Type" for a new node.
// A missing or empty word names no node (nodes without a DEF name have an
// empty one).
int16_t ReadNodeWord(std::optional<std::string_view> word, CNodeRef& out, const NodeContext& context) {
  if (!word || word->empty()) return kPropertyTextRefused;
  const NodeFieldSplit split = SplitNodeField(*word);
  if (split.name.size() > kMaxDefNameLength) return kPropertyTextRefused;
  if (split.separated) {
    out = MakeNodeOfType(split.rest, context);
    if (out) out->SetDefName(split.name);
  } else if (context.scene) {
    out.SetNode(context.scene->FindNode(split.name));
  }
  if (!out) return kPropertyTextNodeNotFound;
  out->Traverse(RenderPass::Activate, context.view);
  return kPropertyTextOk;
}

int16_t ReadList(WordReader& words, FieldType type, MFValue& list, const NodeContext& context) {
  int32_t count = 0;
  if (!words.Integer(count) || count < 0 || count > kMaxPropertyListCount) return kPropertyTextRefused;
  list.elements = AllocFieldArray(type, count);
  list.count = list.elements ? count : 0;
  const FieldType elementType = ElementTypeOf(type);
  const size_t elementSize = FieldElementSize(elementType);
  for (int32_t i = 0; i < list.count; ++i) {
    void* element = static_cast<char*>(list.elements) + static_cast<size_t>(i) * elementSize;
    if (type == FieldTypeMFNode) {
      if (int16_t result = ReadNodeWord(words.Next(), *static_cast<CNodeRef*>(element), context)) return result;
    } else if (!ReadElement(words, elementType, element)) {
      return kPropertyTextRefused;
    }
  }
  // Surplus strings would be lost without a word; other lists drop them as
  // they always have.
  if (type == FieldTypeMFString && !words.AtEnd()) return kPropertyTextRefused;
  return kPropertyTextOk;
}

int16_t ReadValue(const char* text, FieldType type, void* value, const NodeContext& context) {
  if (IsMultiValued(type)) {
    WordReader words(text);
    return ReadList(words, type, *static_cast<MFValue*>(value), context);
  }
  if (type == FieldTypeSFString) {
    SetStringValue(*static_cast<SFString*>(value), text);
    return kPropertyTextOk;
  }
  if (type == FieldTypeSFNode) {
    auto& node = *static_cast<CNodeRef*>(value);
    node = MakeNodeOfType(text, context);
    return node ? kPropertyTextOk : kPropertyTextRefused;
  }
  WordReader words(text);
  return ReadElement(words, type, value) ? kPropertyTextOk : kPropertyTextRefused;
}

// The count of the first elements whose text fits in room characters, then
// their texts; the count grows in width as the list does, so a list that
// fits up to element k fits up to every element before it.
std::string ListText(const MFValue& list, FieldType type, size_t room, bool& cut) {
  const int32_t count = list.elements ? list.count : 0;
  const FieldType elementType = ElementTypeOf(type);
  const size_t elementSize = FieldElementSize(elementType);
  std::string elements;
  int32_t kept = 0;
  for (; kept < count; ++kept) {
    const std::string text =
        ListElementText(elementType, static_cast<const char*>(list.elements) + static_cast<size_t>(kept) * elementSize);
    if (std::to_string(kept + 1).size() + elements.size() + 1 + text.size() > room) break;
    elements += ',';
    elements += text;
  }
  cut = kept < count;
  return std::to_string(kept) + elements;
}

}  // namespace

// A single value that does not fit gives no text at all, as does a list
// whose count alone does not fit: a number cut short would read back as
// another number.
std::optional<std::string> FieldValueToText(const void* value, FieldType type, size_t room, bool& cut) {
  cut = false;
  std::string text;
  if (type == FieldTypeNone) {
    text = kNoSuchProperty;
  } else if (!IsValidFieldType(type)) {
    return std::nullopt;
  } else if (IsMultiValued(type)) {
    text = ListText(*static_cast<const MFValue*>(value), type, room, cut);
  } else {
    text = ElementText(type, value);
  }
  if (text.size() <= room) return text;
  cut = true;
  return std::string();
}

std::optional<std::string> FieldValueToText(const void* value, FieldType type) {
  bool cut = false;
  return FieldValueToText(value, type, std::string::npos, cut);
}

bool FieldValueToText(const void* value, FieldType type, char* out, size_t size) {
  if (size == 0) return false;
  bool cut = false;
  const std::optional<std::string> text = FieldValueToText(value, type, size - 1, cut);
  if (!text) return true;
  text->copy(out, text->size());
  out[text->size()] = '\0';
  return !cut;
}

int16_t SetFieldValueFromText(const char* text, FieldType type, void** outValue, CScene* scene, CViewContext* view,
                              const NodeClassTable& classes) {
  *outValue = nullptr;
  if (!IsValidFieldType(type) || type == FieldTypeSFImage) return kPropertyTextOk;
  void* block = std::malloc(FieldValueSize(type));
  if (!block) return kPropertyTextRefused;
  InitFieldValue(type, block);
  const int16_t result = ReadValue(text ? text : "", type, block, NodeContext{scene, view, classes});
  if (result == kPropertyTextRefused) {
    FreeValueBlock(type, block);
    return result;
  }
  *outValue = block;
  return result;
}

void FreeValueBlock(FieldType type, void* block) {
  if (!block) return;
  FreeFieldValue(type, block);
  std::free(block);
}

CommaSplit SplitCommaWord(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  size_t end = start;
  while (end < text.size() && text[end] != ',' && !IsBlank(text[end])) ++end;
  return {text.substr(start, end - start), end < text.size() ? text.substr(end + 1) : std::string_view()};
}

NodeFieldSplit SplitNodeField(std::string_view text) {
  const size_t separator = text.find_first_of(".:");
  if (separator == std::string_view::npos) return {text, {}, false};
  return {text.substr(0, separator), text.substr(separator + 1), true};
}

bool StrEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace vx
