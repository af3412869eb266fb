#include "engine/scene/ProtoDeclaration.h"

namespace vx {
namespace {

constexpr FieldSpec kDeclarationFields[] = {
    Field<&CProtoDeclaration::dummy0>("dummy"),
    Field<&CProtoDeclaration::dummy1>("dummy"),
    Field<&CProtoDeclaration::dummy2>("dummy"),
};

}  // namespace

CProtoDeclaration::CProtoDeclaration(bool isExtern)
    : CRuntimeFieldNode(Section(kDeclarationFields)), isExtern_(isExtern) {
  RegisterFixedFields();
}

CProtoDeclaration::~CProtoDeclaration() { FreeFieldValue(FieldTypeMFString, &urls_); }

}  // namespace vx
