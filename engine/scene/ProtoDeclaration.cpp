#include "engine/scene/ProtoDeclaration.h"

namespace vx {
namespace {

template <int I>
void* DummyAddress(CNode& node) {
  return &static_cast<CProtoDeclaration&>(node).dummy[I];
}

constexpr FieldSpec kDeclarationFields[] = {
    {"dummy", FieldTypeSFString, &DummyAddress<0>, {}},
    {"dummy", FieldTypeSFString, &DummyAddress<1>, {}},
    {"dummy", FieldTypeSFString, &DummyAddress<2>, {}},
};

}  // namespace

CProtoDeclaration::CProtoDeclaration(bool isExtern)
    : CRuntimeFieldNode(Section(kDeclarationFields)), isExtern_(isExtern) {
  RegisterFixedFields();
}

CProtoDeclaration::~CProtoDeclaration() { FreeFieldValue(FieldTypeMFString, &urls_); }

}  // namespace vx
