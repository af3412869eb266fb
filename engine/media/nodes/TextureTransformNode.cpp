#include "engine/media/nodes/TextureTransformNode.h"

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/WorldConvention.h"

namespace vx {
namespace {

constexpr FieldSpec kTextureTransformFields[] = {
    Field<&CTextureTransformNode::center>("center", DefaultFloats(0, 0)),
    Field<&CTextureTransformNode::rotation>("rotation", DefaultFloats(0)),
    Field<&CTextureTransformNode::scale>("scale", DefaultFloats(1, 1)),
    Field<&CTextureTransformNode::translation>("translation", DefaultFloats(0, 0)),
};
constexpr FieldTable kTextureTransformTable{Section(kTextureTransformFields), {}, {}};

}  // namespace

CTextureTransformNode::CTextureTransformNode() { RegisterFields(kTextureTransformTable); }

void CTextureTransformNode::FillTextureRecord(MaterialRecord& record) {
  record.rotation = rotation;
  record.scale = {scale.x, scale.y};
  if (ConventionOf(GetWorld()) == WorldConvention::kStandard) {
    record.textureTransform = TextureTransformRule::kVrml;
    record.center = {center.x, center.y};
    record.translation = {translation.x, translation.y};
    return;
  }
  record.textureTransform = TextureTransformRule::kAboutCentre;
  record.center = {center.x, 1.0f - center.y};
  record.translation = {translation.x, 1.0f - translation.y};
}

void RegisterTextureTransformNode(NodeClassTable& table) { table.Add<CTextureTransformNode>("TextureTransform"); }

}  // namespace vx
