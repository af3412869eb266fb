#include "engine/nodes/GeometricPropertyNodes.h"

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr FieldSpec kCoordinateFields[] = {Field<&CCoordinateNode::point>("point")};
constexpr FieldTable kCoordinateTable{Section(kCoordinateFields), {}, {}};
constexpr FieldSpec kNormalFields[] = {Field<&CNormalNode::vector>("vector")};
constexpr FieldTable kNormalTable{Section(kNormalFields), {}, {}};
constexpr FieldSpec kColorFields[] = {Field<&CColorNode::color>("color")};
constexpr FieldTable kColorTable{Section(kColorFields), {}, {}};
constexpr FieldSpec kTextureCoordinateFields[] = {Field<&CTextureCoordinateNode::point>("point")};
constexpr FieldTable kTextureCoordinateTable{Section(kTextureCoordinateFields), {}, {}};

}  // namespace

CCoordinateNode::CCoordinateNode() { RegisterFields(kCoordinateTable); }
CNormalNode::CNormalNode() { RegisterFields(kNormalTable); }
CColorNode::CColorNode() { RegisterFields(kColorTable); }
CTextureCoordinateNode::CTextureCoordinateNode() { RegisterFields(kTextureCoordinateTable); }

void RegisterGeometricPropertyNodes(NodeClassTable& table) {
  table.Add<CColorNode>("Color");
  table.Add<CCoordinateNode>("Coordinate");
  table.Add<CNormalNode>("Normal");
  table.Add<CTextureCoordinateNode>("TextureCoordinate");
}

}  // namespace vx
