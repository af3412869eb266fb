// Nodes whose fields, eventIns and eventOuts are declared while a file is
// read: the Script node, PROTO declarations and PROTO instances.
//
// The derived class gives its fixed fields (a table section as for any node
// class); declared fields follow them in declaration order, each with a value
// block of its own. Names are at most 31 characters (a derived class may
// allow longer ones); each section holds 64 entries. Everything else
// (ROUTEs, SetField, events) is the node base's.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "engine/scene/Node.h"

namespace vx {

class CRuntimeFieldNode : public CNode {
 public:
  // Declares a member: false for a name that is already a field, a name that
  // is empty or too long, an unknown type, or a full section. A declared
  // field starts empty (zero, no elements, no node); an eventIn or eventOut
  // may repeat an existing event name (lookups find the first).
  [[nodiscard]] bool AddFieldByTypeName(FieldKind kind, std::string_view name, const char* typeName) override;
  [[nodiscard]] bool AddFieldByTypeCode(FieldKind kind, std::string_view name, FieldType type) override;
  void* GetFieldAddress(int index) override;
  // Declared members are no part of the hierarchy: a Script's fields may name
  // any node.
  bool IsHierarchyMember(FieldKind kind, int index) const override;

  int GetFixedFieldCount() const { return fixedFieldCount_; }
  int GetDeclaredFieldCount() const { return static_cast<int>(values_.size()); }

 protected:
  // fixedFields: the derived class's own fields, which keep indices 0, 1, ...
  // The derived constructor calls RegisterFixedFields, once its members
  // exist, to register the table and set the fixed fields' defaults.
  // maxNameLength: the longest name that may be declared.
  explicit CRuntimeFieldNode(std::span<const FieldSpec> fixedFields, size_t maxNameLength = kMaxDeclaredNameLength);
  ~CRuntimeFieldNode() override;
  void RegisterFixedFields() { RegisterFields(table_); }

 private:
  void RefreshTable();

  FieldTable table_;
  std::vector<FieldSpec> fields_;
  std::vector<FieldSpec> eventIns_;
  std::vector<FieldSpec> eventOuts_;
  std::vector<std::unique_ptr<char[]>> names_;
  std::vector<std::unique_ptr<CFieldValue>> values_;
  int fixedFieldCount_ = 0;
  size_t maxNameLength_;
};

}  // namespace vx
