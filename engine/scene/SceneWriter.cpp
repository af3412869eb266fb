#include "engine/scene/SceneWriter.h"

#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>

#include "engine/scene/RuntimeFieldNode.h"
#include "engine/scene/nodes/GroupNode.h"
#include "engine/world/Browser.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

constexpr std::string_view kSharedNamePrefix = "Shared_";

// The number of fixed fields when the node is a Script, whose later fields
// are declared in the file; -1 for every other node.
int ScriptFixedFieldCount(const CNode& node) {
  if (node.GetTypeId() != NodeTypeScript) return -1;
  const auto* script = dynamic_cast<const CRuntimeFieldNode*>(&node);
  return script ? script->GetFixedFieldCount() : -1;
}

// Set fields are written; a Script's declared fields always are, since a
// declaration without its value does not read back.
bool IsWrittenField(const CNode& node, int index) {
  const int fixed = ScriptFixedFieldCount(node);
  return (fixed >= 0 && index >= fixed) || node.IsFieldSet(index);
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

void CSceneWriter::WriteScene(CBrowser* world, bool resolveUrls, const char* comment) {
  text_.clear();
  reached_.clear();
  firstOwners_.clear();
  sharedOrder_.clear();
  sharedNames_.clear();
  written_.clear();
  if (!world) return;
  resolveUrls_ = resolveUrls;

  text_ += "#VRML V2.0 utf8\n";
  if (comment) text_ += FormatString("\n# %s\n", comment);
  const MFNode& children = world->GetRoot()->children;
  for (const CNodeRef& child : children.Span()) {
    if (child) FindSharedNodes(child.GetNode());
  }
  NameSharedNodes();

  depth_ = 0;
  text_ += '\n';
  for (const CNodeRef& child : children.Span()) WriteNode(child, true);
  text_ += "\n\n";
  for (const PendingRoute& route : world->GetPendingRoutes()) {
    text_ += FormatString("ROUTE %s TO %s\n", route.source.data(), route.target.data());
  }
}

void CSceneWriter::FindSharedNodes(CNode* node) {
  if (reached_[node]++ > 0) {
    if (reached_[node] == 2) sharedOrder_.push_back(node);
    return;
  }
  if (!node->GetDefName().empty()) firstOwners_.try_emplace(node->GetDefName(), node);
  const FieldTable* table = node->GetFieldTable();
  if (!table) return;
  for (int i = 0; i < static_cast<int>(table->fields.size()); ++i) {
    const FieldType type = table->fields[static_cast<size_t>(i)].type;
    if ((type != FieldTypeSFNode && type != FieldTypeMFNode) || !IsWrittenField(*node, i)) continue;
    const void* value = node->GetFieldAddress(i);
    if (!value) continue;
    if (type == FieldTypeSFNode) {
      if (CNode* child = static_cast<const CNodeRef*>(value)->GetNode()) FindSharedNodes(child);
    } else {
      for (const CNodeRef& element : static_cast<const MFNode*>(value)->Span()) {
        if (element) FindSharedNodes(element.GetNode());
      }
    }
  }
}

// A USE names the first node written under that DEF name, so a node reached
// again keeps its DEF name only when it is the first node of that name.
void CSceneWriter::NameSharedNodes() {
  int number = 0;
  for (const CNode* node : sharedOrder_) {
    auto owner = firstOwners_.find(node->GetDefName());
    if (owner != firstOwners_.end() && owner->second == node) continue;
    std::string name;
    do {
      name = std::string(kSharedNamePrefix) + std::to_string(++number);
    } while (firstOwners_.contains(name));
    sharedNames_[node] = std::move(name);
  }
}

void CSceneWriter::WriteNode(const CNodeRef& ref, bool onNewLine) {
  const std::string nodeIndent(static_cast<size_t>(depth_), '\t');
  const std::string fieldIndent(static_cast<size_t>(depth_) + 1, '\t');
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
    if (ScriptFixedFieldCount(*node) >= 0) WriteScriptEvents(*node, fieldIndent);
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
  const int scriptFixed = ScriptFixedFieldCount(node);
  for (int i = 0; i < static_cast<int>(table->fields.size()); ++i) {
    const FieldSpec& field = table->fields[static_cast<size_t>(i)];
    const void* value = IsWrittenField(node, i) ? node.GetFieldAddress(i) : nullptr;
    if (!value) continue;
    text_ += fieldIndent;
    if (scriptFixed >= 0 && i >= scriptFixed) text_ += "field " + std::string(FieldTypeName(field.type)) + " ";
    text_ += field.name;
    text_ += ' ';
    const bool resolved = resolveUrls_ && scriptFixed < 0 && std::string_view(field.name) == "url";
    WriteValue(field.type, value, resolved ? &node : nullptr);
    text_ += '\n';
  }
}

void CSceneWriter::WriteScriptEvents(const CNode& node, const std::string& fieldIndent) {
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
  if (nodes) text_ += '\n' + std::string(static_cast<size_t>(depth_ - 1), '\t');
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
      if (urlOwner && urlOwner->ResolveUrl(text, resolved) == 0) text = resolved;
      WriteString(text);
      break;
    }
    default: break;
  }
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
