#include "engine/scene/ProtoInstanceNode.h"

namespace vx {
namespace {

constexpr FieldSpec kInstanceFields[] = {
    Field<&CProtoInstanceNode::dummy0>("dummy"),
    Field<&CProtoInstanceNode::dummy1>("dummy"),
    Field<&CProtoInstanceNode::dummy2>("dummy"),
};

}  // namespace

CProtoInstanceNode::CProtoInstanceNode(CProtoDeclaration& declaration)
    : CRuntimeFieldNode(Section(kInstanceFields)), declaration_(&declaration) {
  RegisterFixedFields();
  const FieldTable& interface = *declaration.GetFieldTable();
  for (size_t i = static_cast<size_t>(declaration.GetFixedFieldCount()); i < interface.fields.size(); ++i) {
    const FieldSpec& field = interface.fields[i];
    if (!AddFieldByTypeCode(FieldKind::Field, field.name, field.type)) continue;
    CopyFieldValue(field.type, GetFieldAddress(FindField(field.name)), declaration.GetFieldAddress(static_cast<int>(i)));
  }
  for (const FieldSpec& event : interface.eventIns) (void)AddFieldByTypeCode(FieldKind::EventIn, event.name, event.type);
  for (const FieldSpec& event : interface.eventOuts) (void)AddFieldByTypeCode(FieldKind::EventOut, event.name, event.type);
}

}  // namespace vx
