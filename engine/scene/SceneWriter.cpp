#include "engine/scene/SceneWriter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <utility>

#include "engine/scene/GroupNode.h"
#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/RuntimeFieldNode.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneLimits.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

// Tabs for a level of nesting; deeper levels than the cap are written at the
// cap, so that the text of a deep hierarchy grows with its nodes, not with
// the square of its depth.
std::string Indent(int depth) {
  return std::string(static_cast<size_t>(std::clamp(depth, 0, kMaxWrittenIndent)), '\t');
}

constexpr std::string_view kSharedNamePrefix = "Shared_";

const CProtoDeclaration* AsDeclaration(const CNode& node) { return dynamic_cast<const CProtoDeclaration*>(&node); }

// Where the fields declared in the file begin, for a Script or a PROTO
// declaration (their fields are written with "field <type>" lines); -1 for
// every other node.
int DeclaredFieldStart(const CNode& node) {
  if (node.GetTypeId() != NodeTypeScript && !AsDeclaration(node)) return -1;
  const auto* runtime = dynamic_cast<const CRuntimeFieldNode*>(&node);
  return runtime ? runtime->GetFixedFieldCount() : -1;
}

// An EXTERNPROTO declares its fields without values.
bool DeclaresWithoutValues(const CNode& node) {
  const CProtoDeclaration* declaration = AsDeclaration(node);
  return declaration && declaration->IsExtern();
}

// Fields whose default differs between the two conventions a world may be
// read under (by its file name): the value read back must not depend on the
// name the file is saved under.
struct ConventionField {
  NodeTypeId type;
  std::string_view name;
};
constexpr ConventionField kConventionFields[] = {{NodeTypeViewpoint, "position"}};

bool DefaultsByConvention(const CNode& node, int index) {
  const FieldTable* table = node.GetFieldTable();
  const std::string_view name = table->fields[static_cast<size_t>(index)].name;
  return std::any_of(std::begin(kConventionFields), std::end(kConventionFields), [&](const ConventionField& field) {
    return field.type == node.GetTypeId() && field.name == name;
  });
}

// Set fields are written; declared fields always are, since a declaration
// without its value does not read back.
bool IsWrittenField(const CNode& node, int index) {
  const int declared = DeclaredFieldStart(node);
  return (declared >= 0 && index >= declared) || node.IsFieldSet(index) || DefaultsByConvention(node, index);
}

// A URL of a scheme of its own ("urn:", "https:") is complete as it stands;
// completing it against the world's location would make a file name of it.
// One letter before the colon is a drive, not a scheme.
bool HasSchemeOfItsOwn(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon < 2 || url.substr(0, colon) == "file") return false;
  return std::all_of(url.begin(), url.begin() + static_cast<ptrdiff_t>(colon), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
}

// Calls visit with every node that the writer writes as a value of one of
// the node's fields, in field order.
template <typename Visit>
void ForEachWrittenChild(CNode& node, Visit visit) {
  const FieldTable* table = node.GetFieldTable();
  if (!table || DeclaresWithoutValues(node)) return;
  for (int i = 0; i < static_cast<int>(table->fields.size()); ++i) {
    const FieldType type = table->fields[static_cast<size_t>(i)].type;
    if ((type != FieldTypeSFNode && type != FieldTypeMFNode) || !IsWrittenField(node, i)) continue;
    const void* value = node.GetFieldAddress(i);
    if (!value) continue;
    if (type == FieldTypeSFNode) {
      if (CNode* child = static_cast<const CNodeRef*>(value)->GetNode()) visit(child);
    } else {
      for (const CNodeRef& element : static_cast<const MFNode*>(value)->Span()) {
        if (element) visit(element.GetNode());
      }
    }
  }
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsBracket(char c) { return c == '{' || c == '}' || c == '[' || c == ']'; }

// The node type names in scene text: the words that a "{" follows. Comments
// count as white space; strings are passed over.
std::vector<std::string> NodeTypeNamesIn(std::string_view text) {
  std::vector<std::string> names;
  std::string word, previous;
  TextPlace place = TextPlace::Statement;
  for (char c : text) {
    const TextPlace at = place;
    place = PlaceAfter(place, c);
    const bool inStatement = at == TextPlace::Statement && place == TextPlace::Statement;
    if (inStatement && !IsSpace(c) && !IsBracket(c)) {
      word += c;
      continue;
    }
    if (!word.empty()) previous = std::exchange(word, {});
    if ((inStatement && IsSpace(c)) || at == TextPlace::Comment || place == TextPlace::Comment) continue;
    if (inStatement && c == '{' && !previous.empty()) names.push_back(previous);
    previous.clear();
  }
  return names;
}

// A value the reader cannot read (infinity, not a number) is written as the
// nearest finite one, so that the file still loads.
float Finite(float value) {
  if (std::isnan(value)) return 0.0f;
  if (std::isinf(value)) return std::copysign(std::numeric_limits<float>::max(), value);
  return value;
}

void AppendFloats(std::string& out, const float* values, int count) {
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    out += FormatFloatExact(Finite(values[i]));
  }
}

}  // namespace

std::string FormatDoubleExact(double value) {
  if (std::isnan(value)) value = 0.0;
  if (std::isinf(value)) value = std::copysign(std::numeric_limits<double>::max(), value);
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

void AppendImageText(std::string& out, const SFImage& image) {
  const bool hasPixels = image.pixels && image.width > 0 && image.height > 0;
  const int32_t width = hasPixels ? image.width : 0;
  const int32_t height = hasPixels ? image.height : 0;
  out += FormatString("%d %d %d", width, height, image.components);
  for (int32_t row = height - 1; row >= 0; --row) {
    const uint32_t* pixels = image.pixels + static_cast<size_t>(row) * static_cast<size_t>(width);
    for (int32_t column = 0; column < width; ++column) out += FormatString(" 0x%x", pixels[column]);
  }
}

void CSceneWriter::WriteScene(CScene* scene, bool resolveUrls, const char* comment) {
  text_.clear();
  reached_.clear();
  visitCount_ = 0;
  namedInOrder_.clear();
  sharedOrder_.clear();
  sharedNames_.clear();
  written_.clear();
  searched_.clear();
  planned_.clear();
  declarationsBefore_.clear();
  if (!scene) return;
  resolveUrls_ = resolveUrls;

  text_ += "#VRML V2.0 utf8\n";
  if (comment) text_ += FormatString("\n# %s\n", comment);
  const MFNode& children = scene->GetRoot()->children;
  declarationsBefore_.assign(children.Span().size(), {});
  for (size_t i = 0; i < children.Span().size(); ++i) {
    CNode* child = children.Span()[i].GetNode();
    if (!child) continue;
    PlanDeclarations(child, declarationsBefore_[i]);
    for (CProtoDeclaration* declaration : declarationsBefore_[i]) FindSharedNodes(declaration);
    FindSharedNodes(child);
  }
  NameSharedNodes();

  depth_ = 0;
  text_ += '\n';
  for (size_t i = 0; i < children.Span().size(); ++i) {
    for (CProtoDeclaration* declaration : declarationsBefore_[i]) WriteDeclaration(*declaration);
    WriteNode(children.Span()[i], true);
  }
  text_ += "\n\n";
  for (const PendingRoute& route : scene->GetPendingRoutes()) {
    text_ += FormatString("ROUTE %s TO %s\n", route.source.data(), route.target.data());
  }
}

// Visits the nodes in the order they are written: the first visit of a node
// is where its DEF goes, each later one a USE.
void CSceneWriter::FindSharedNodes(CNode* node) {
  const int at = visitCount_++;
  Reach& reach = reached_[node];
  if (reach.count++ > 0) {
    reach.last = at;
    if (reach.count == 2) sharedOrder_.push_back(node);
    return;
  }
  reach.first = reach.last = at;
  if (!node->GetDefName().empty()) namedInOrder_[node->GetDefName()].push_back(node);
  ForEachWrittenChild(*node, [this](CNode* child) { FindSharedNodes(child); });
}

void CSceneWriter::PlanDeclarations(CNode* node, std::vector<CProtoDeclaration*>& out) {
  if (!searched_.insert(node).second) return;
  if (const auto* instance = dynamic_cast<const CProtoInstanceNode*>(node)) PlanDeclaration(instance->GetDeclaration(), out);
  ForEachWrittenChild(*node, [&](CNode* child) { PlanDeclarations(child, out); });
}

// A declaration goes after every declaration that its body or its default
// values use; a declaration that uses itself (which no instance can) is
// written once.
void CSceneWriter::PlanDeclaration(CProtoDeclaration* declaration, std::vector<CProtoDeclaration*>& out) {
  if (!declaration || !planned_.insert(declaration).second) return;
  const CScene* scope = declaration->GetScene();
  if (scope && !declaration->IsExtern()) {
    for (const std::string& name : NodeTypeNamesIn(declaration->GetBodyText())) PlanDeclaration(scope->FindProto(name), out);
  }
  PlanDeclarations(declaration, out);
  out.push_back(declaration);
}

// The interface as "field", "eventIn" and "eventOut" lines (fields, then
// eventIns, then eventOuts), with the default values of a PROTO; then a
// PROTO's body text as it was read, nested declarations and all, or an
// EXTERNPROTO's URLs.
void CSceneWriter::WriteDeclaration(CProtoDeclaration& declaration) {
  text_ += declaration.IsExtern() ? "\nEXTERNPROTO " : "\nPROTO ";
  text_ += declaration.GetName();
  text_ += " [\n";
  const std::string fieldIndent = Indent(depth_ + 1);
  ++depth_;
  WriteFields(declaration, fieldIndent);
  WriteEventDeclarations(declaration, fieldIndent);
  --depth_;
  text_ += ']';
  if (declaration.IsExtern()) {
    text_ += ' ';
    WriteValue(FieldTypeMFString, &declaration.GetUrls(), resolveUrls_ ? &declaration : nullptr);
    return;
  }
  text_ += " {" + declaration.GetBodyText() + "}";
}

// A USE names the closest node written before it under that DEF name. A
// node keeps its own name unless another node of the name is written after
// its DEF and before its last USE; going from the last DEF of a name back,
// each node is judged against the later ones that keep the name, so the last
// always keeps it.
void CSceneWriter::NameSharedNodes() {
  std::unordered_set<const CNode*> renamed;
  for (const auto& [name, nodes] : namedInOrder_) {
    int nearestKept = std::numeric_limits<int>::max();
    for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
      const Reach& reach = reached_[*node];
      if (nearestKept < reach.last) {
        renamed.insert(*node);
      } else {
        nearestKept = reach.first;
      }
    }
  }
  int number = 0;
  for (const CNode* node : sharedOrder_) {
    if (!node->GetDefName().empty() && !renamed.contains(node)) continue;
    std::string name;
    do {
      name = std::string(kSharedNamePrefix) + std::to_string(++number);
    } while (namedInOrder_.contains(name));
    sharedNames_[node] = std::move(name);
  }
}

void CSceneWriter::WriteNode(const CNodeRef& ref, bool onNewLine) {
  const std::string nodeIndent = Indent(depth_);
  const std::string fieldIndent = Indent(depth_ + 1);
  ++depth_;
  if (onNewLine) text_ += '\n' + nodeIndent;
  CNode* node = ref.GetNode();
  if (!node) {
    text_ += "NULL";
  } else if (!written_.insert(node).second) {
    text_ += "USE " + NameOf(*node);
  } else {
    if (const std::string& name = NameOf(*node); !name.empty()) text_ += "DEF " + name + " ";
    WriteNodeHeader(*node);
    WriteFields(*node, fieldIndent);
    if (DeclaredFieldStart(*node) >= 0) WriteEventDeclarations(*node, fieldIndent);
    text_ += nodeIndent + "}";
  }
  --depth_;
}

const std::string& CSceneWriter::NameOf(const CNode& node) const {
  auto shared = sharedNames_.find(&node);
  return shared != sharedNames_.end() ? shared->second : node.GetDefName();
}

void CSceneWriter::WriteNodeHeader(CNode& node) {
  text_ += node.GetTypeName();
  text_ += " {\n";
}

void CSceneWriter::WriteFields(CNode& node, const std::string& fieldIndent) {
  const FieldTable* table = node.GetFieldTable();
  if (!table) return;
  const int declared = DeclaredFieldStart(node);
  const bool withValues = !DeclaresWithoutValues(node);
  for (int i = 0; i < static_cast<int>(table->fields.size()); ++i) {
    const FieldSpec& field = table->fields[static_cast<size_t>(i)];
    const void* value = IsWrittenField(node, i) ? node.GetFieldAddress(i) : nullptr;
    if (!value) continue;
    text_ += fieldIndent;
    if (declared >= 0 && i >= declared) {
      const CProtoDeclaration* declaration = AsDeclaration(node);
      text_ += declaration && declaration->IsExposed(field.name) ? "exposedField " : "field ";
      text_ += std::string(FieldTypeName(field.type)) + " ";
    }
    text_ += field.name;
    if (!withValues) {
      text_ += '\n';
      continue;
    }
    text_ += ' ';
    const bool resolved = resolveUrls_ && declared < 0 && std::string_view(field.name) == "url";
    WriteValue(field.type, value, resolved ? &node : nullptr);
    text_ += '\n';
  }
}

void CSceneWriter::WriteEventDeclarations(const CNode& node, const std::string& fieldIndent) {
  const FieldTable* table = node.GetFieldTable();
  if (!table) return;
  auto writeSection = [&](std::span<const FieldSpec> section, const char* keyword) {
    for (const FieldSpec& event : section) {
      text_ += fieldIndent + keyword;
      if (IsValidFieldType(event.type)) text_ += std::string(FieldTypeName(event.type)) + " ";
      text_ += event.name;
      text_ += '\n';
    }
  };
  writeSection(table->eventIns, "eventIn ");
  writeSection(table->eventOuts, "eventOut ");
}

void CSceneWriter::WriteValue(FieldType type, const void* value, const CNode* urlOwner) {
  if (IsMultiValued(type)) {
    WriteMFValue(type, *static_cast<const MFValue*>(value), urlOwner);
  } else if (type == FieldTypeSFNode) {
    WriteNode(*static_cast<const CNodeRef*>(value), false);
  } else {
    WriteElement(type, value, nullptr);
  }
}

void CSceneWriter::WriteMFValue(FieldType type, const MFValue& value, const CNode* urlOwner) {
  const bool nodes = type == FieldTypeMFNode;
  const int32_t count = value.elements ? value.count : 0;
  const bool brackets = count != 1;
  const FieldType elementType = ElementTypeOf(type);
  const size_t elementSize = FieldElementSize(elementType);
  if (nodes) ++depth_;
  if (brackets) text_ += '[';
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) text_ += nodes ? ",\n" : ", ";
    const void* element = static_cast<const char*>(value.elements) + static_cast<size_t>(i) * elementSize;
    if (nodes) {
      WriteNode(*static_cast<const CNodeRef*>(element), true);
    } else {
      WriteElement(elementType, element, urlOwner);
    }
  }
  if (nodes) text_ += '\n' + Indent(depth_ - 1);
  if (brackets) text_ += ']';
  if (nodes) --depth_;
}

void CSceneWriter::WriteElement(FieldType type, const void* value, const CNode* urlOwner) {
  const auto* floats = static_cast<const float*>(value);
  switch (type) {
    case FieldTypeSFBool: text_ += *static_cast<const int16_t*>(value) ? "TRUE" : "FALSE"; break;
    case FieldTypeSFColor:
    case FieldTypeSFVec3f: AppendFloats(text_, floats, 3); break;
    case FieldTypeSFFloat: AppendFloats(text_, floats, 1); break;
    case FieldTypeSFImage: AppendImageText(text_, *static_cast<const SFImage*>(value)); break;
    case FieldTypeSFInt32: text_ += std::to_string(*static_cast<const int32_t*>(value)); break;
    case FieldTypeSFRotation: AppendFloats(text_, floats, 4); break;
    case FieldTypeSFTime: text_ += FormatDoubleExact(*static_cast<const double*>(value)); break;
    case FieldTypeSFVec2f: AppendFloats(text_, floats, 2); break;
    case FieldTypeSFString: {
      const SFString& string = *static_cast<const SFString*>(value);
      std::string_view text(string.text, strnlen(string.text, sizeof string.text));
      std::string resolved;
      if (urlOwner && !HasSchemeOfItsOwn(text) && urlOwner->ResolveUrl(text, resolved) == 0) {
        resolved = FromTargetFolder(std::move(resolved));
        text = resolved;
      }
      WriteString(text);
      break;
    }
    default: break;
  }
}

std::string CSceneWriter::FromTargetFolder(std::string completed) const {
  if (targetFolder_.empty() || !completed.starts_with('/')) return completed;
  const std::filesystem::path folder = std::filesystem::path(targetFolder_ + "/.").lexically_normal();
  const std::filesystem::path relative = std::filesystem::path(completed).lexically_normal().lexically_relative(folder);
  if (relative.empty() || relative == "." || *relative.begin() == "..") return completed;
  return relative.generic_string();
}

void CSceneWriter::WriteString(std::string_view text) {
  text_ += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') text_ += '\\';
    text_ += c;
  }
  text_ += '"';
}

}  // namespace vx
