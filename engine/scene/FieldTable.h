// The static interface of a node class: its fields, eventIns and eventOuts.
//
// How a node class declares its interface (every node class follows this):
//
//   class CGroupNode : public CNode {
//    public:
//     CGroupNode();                       // calls RegisterFields(kGroupTable)
//     SFVec3f bboxCenter{};               // field values, public, in the
//     SFVec3f bboxSize{};                 // layouts of FieldValue.h
//     MFNode children{};
//     ...
//   };
//
//   // in GroupNode.cpp, once, after the class is complete:
//   constexpr FieldSpec kGroupFields[] = {
//       Field<&CGroupNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
//       Field<&CGroupNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
//       Field<&CGroupNode::children>("children"),
//   };
//   constexpr FieldSpec kGroupEventIns[] = {
//       Event("addChildren", FieldTypeMFNode),
//       Event("removeChildren", FieldTypeMFNode),
//   };
//   constexpr FieldTable kGroupTable{Section(kGroupFields), Section(kGroupEventIns), {}};
//
// The one table gives everything else: the FieldType of each field comes from
// its member's type; the field index (order in the table) is what the node
// base, the ROUTE lists and the engine interface use; the writer emits fields
// in that order (a class that tests for a field or event by its index takes
// the index from its section with IndexIn, so the order is written only in
// the table); the node base applies the defaults when the constructor
// registers the table and finds each value's address through the table, so
// classes need not override GetFieldAddress. Section() holds the limit of 64
// entries per section at compile time. Exposed and plain fields are not told
// apart: every field takes "set_<name>" and sends "<name>_changed"; the
// eventIn and eventOut sections list only the pure events of the class.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/scene/FieldValue.h"
#include "engine/scene/SceneLimits.h"

namespace vx {

class CNode;

// A field's default value. SF values use the member that fits their type;
// MF values point to a constant array of elements in their value layout
// (const char* for MFString).
struct FieldDefault {
  std::array<float, 4> floats{};
  int32_t integer = 0;
  double time = 0.0;
  const char* text = nullptr;
  const void* list = nullptr;
  int32_t count = 0;
  size_t elementSize = 0;
};

constexpr FieldDefault DefaultBool(bool value) { return {.floats = {value ? 1.0f : 0.0f}}; }
constexpr FieldDefault DefaultFloats(float a, float b = 0, float c = 0, float d = 0) { return {.floats = {a, b, c, d}}; }
constexpr FieldDefault DefaultInt(int32_t value) { return {.integer = value}; }
constexpr FieldDefault DefaultTime(double value) { return {.time = value}; }
constexpr FieldDefault DefaultText(const char* value) { return {.text = value}; }
template <typename T, size_t N>
constexpr FieldDefault DefaultList(const T (&elements)[N]) {
  return {.list = elements, .count = static_cast<int32_t>(N), .elementSize = sizeof(T)};
}

// Where a field's value lives in a node object.
using FieldAddressFn = void* (*)(CNode& node);

// One entry of a section. Events and fields declared at run time have no
// address function.
struct FieldSpec {
  const char* name = nullptr;
  FieldType type = FieldTypeNone;
  FieldAddressFn address = nullptr;
  FieldDefault defaultValue{};
};

struct FieldTable {
  std::span<const FieldSpec> fields;
  std::span<const FieldSpec> eventIns;
  std::span<const FieldSpec> eventOuts;
};

namespace detail {
template <typename M> struct MemberPointer;
template <typename C, typename V>
struct MemberPointer<V C::*> {
  using Class = C;
  using Value = V;
};

template <auto Member>
void* AddressOfMember(CNode& node) {
  using Class = typename MemberPointer<decltype(Member)>::Class;
  return &(static_cast<Class&>(node).*Member);
}
}  // namespace detail

// A field backed by a data member of a node class.
template <auto Member>
constexpr FieldSpec Field(const char* name, FieldDefault defaultValue = {}) {
  using Value = typename detail::MemberPointer<decltype(Member)>::Value;
  return {name, FieldTypeOf<Value>::value, &detail::AddressOfMember<Member>, defaultValue};
}

// A pure eventIn or eventOut.
constexpr FieldSpec Event(const char* name, FieldType type) { return {name, type, nullptr, {}}; }

// One section of a table, checked against the per-section limit.
template <size_t N>
consteval std::span<const FieldSpec> Section(const FieldSpec (&entries)[N]) {
  static_assert(N <= kMaxFieldsPerSection, "a field table section holds at most 64 entries");
  return entries;
}

// The index of the entry called `name` in a section, -1 when there is none.
constexpr int FindInSection(std::span<const FieldSpec> section, std::string_view name) {
  for (size_t i = 0; i < section.size(); ++i) {
    if (std::string_view(section[i].name) == name) return static_cast<int>(i);
  }
  return -1;
}

// The same at compile time, where a name missing from the section fails the
// build.
consteval int IndexIn(std::span<const FieldSpec> section, std::string_view name) {
  const int index = FindInSection(section, name);
  if (index < 0) throw "no entry of that name in the section";
  return index;
}

}  // namespace vx
