#include "tests/scene/AllFieldsNode.h"

namespace vx::test {
namespace {

constexpr FieldSpec kAllFields[] = {
    Field<&CAllFieldsNode::sfBool>("sfBool"),         Field<&CAllFieldsNode::sfColor>("sfColor"),
    Field<&CAllFieldsNode::sfFloat>("sfFloat"),       Field<&CAllFieldsNode::sfImage>("sfImage"),
    Field<&CAllFieldsNode::sfInt32>("sfInt32"),       Field<&CAllFieldsNode::sfNode>("sfNode"),
    Field<&CAllFieldsNode::sfRotation>("sfRotation"), Field<&CAllFieldsNode::sfString>("sfString"),
    Field<&CAllFieldsNode::sfTime>("sfTime"),         Field<&CAllFieldsNode::sfVec2f>("sfVec2f"),
    Field<&CAllFieldsNode::sfVec3f>("sfVec3f"),       Field<&CAllFieldsNode::mfColor>("mfColor"),
    Field<&CAllFieldsNode::mfFloat>("mfFloat"),       Field<&CAllFieldsNode::mfInt32>("mfInt32"),
    Field<&CAllFieldsNode::mfNode>("mfNode"),         Field<&CAllFieldsNode::mfRotation>("mfRotation"),
    Field<&CAllFieldsNode::mfString>("mfString"),     Field<&CAllFieldsNode::mfTime>("mfTime"),
    Field<&CAllFieldsNode::mfVec2f>("mfVec2f"),       Field<&CAllFieldsNode::mfVec3f>("mfVec3f"),
    Field<&CAllFieldsNode::url>("url"),
};
constexpr FieldTable kAllFieldsTable{Section(kAllFields), {}, {}};

}  // namespace

CAllFieldsNode::CAllFieldsNode() { RegisterFields(kAllFieldsTable); }

void RegisterAllFieldsNode(NodeClassTable& table) { table.Add<CAllFieldsNode>("AllFields"); }

}  // namespace vx::test
