#include "GeometryTestNodes.h"

namespace vx::test {
namespace {

constexpr FieldSpec kPropertyFields[] = {
    Field<&CPropertyStandIn::point>("point"),
    Field<&CPropertyStandIn::color>("color"),
    Field<&CPropertyStandIn::vector>("vector"),
};
constexpr FieldTable kPropertyTable{Section(kPropertyFields), {}, {}};

constexpr FieldSpec kTexCoordFields[] = {
    Field<&CTexCoordStandIn::point>("point"),
};
constexpr FieldTable kTexCoordTable{Section(kTexCoordFields), {}, {}};

}  // namespace

CPropertyStandIn::CPropertyStandIn() { RegisterFields(kPropertyTable); }
CTexCoordStandIn::CTexCoordStandIn() { RegisterFields(kTexCoordTable); }

}  // namespace vx::test
