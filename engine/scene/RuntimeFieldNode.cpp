#include "engine/scene/RuntimeFieldNode.h"

namespace vx {

CRuntimeFieldNode::CRuntimeFieldNode(std::span<const FieldSpec> fixedFields, size_t maxNameLength)
    : fields_(fixedFields.begin(), fixedFields.end()),
      fixedFieldCount_(static_cast<int>(fixedFields.size())),
      maxNameLength_(maxNameLength) {
  RefreshTable();
}

CRuntimeFieldNode::~CRuntimeFieldNode() = default;

void CRuntimeFieldNode::RefreshTable() {
  table_.fields = fields_;
  table_.eventIns = eventIns_;
  table_.eventOuts = eventOuts_;
}

bool CRuntimeFieldNode::AddFieldByTypeName(FieldKind kind, std::string_view name, const char* typeName) {
  return AddFieldByTypeCode(kind, name, FieldTypeFromName(typeName));
}

bool CRuntimeFieldNode::AddFieldByTypeCode(FieldKind kind, std::string_view name, FieldType type) {
  if (FindField(name) >= 0 || !IsValidFieldType(type)) return false;
  if (name.empty() || name.size() > maxNameLength_) return false;
  std::vector<FieldSpec>& section = kind == FieldKind::Field ? fields_ : kind == FieldKind::EventIn ? eventIns_ : eventOuts_;
  if (section.size() >= static_cast<size_t>(kMaxFieldsPerSection)) return false;
  auto copy = std::make_unique<char[]>(maxNameLength_ + 1);
  name.copy(copy.get(), name.size());
  section.push_back(FieldSpec{copy.get(), type, nullptr, {}});
  names_.push_back(std::move(copy));
  if (kind == FieldKind::Field) values_.push_back(std::make_unique<CFieldValue>(type));
  RefreshTable();
  return true;
}

void* CRuntimeFieldNode::GetFieldAddress(int index) {
  if (index < fixedFieldCount_) return CNode::GetFieldAddress(index);
  const size_t declared = static_cast<size_t>(index - fixedFieldCount_);
  return declared < values_.size() ? values_[declared]->Data() : nullptr;
}

bool CRuntimeFieldNode::IsHierarchyMember(FieldKind kind, int index) const {
  return kind == FieldKind::Field && index < fixedFieldCount_ && CNode::IsHierarchyMember(kind, index);
}

}  // namespace vx
