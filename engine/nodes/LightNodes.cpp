#include "engine/nodes/LightNodes.h"

#include <algorithm>

#include "engine/scene/NodeFactory.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kDirectionalLightFields[] = {
    Field<&CDirectionalLightNode::on>("on", DefaultBool(true)),
    Field<&CDirectionalLightNode::intensity>("intensity", DefaultFloats(1)),
    Field<&CDirectionalLightNode::ambientIntensity>("ambientIntensity", DefaultFloats(0)),
    Field<&CDirectionalLightNode::color>("color", DefaultFloats(1, 1, 1)),
    Field<&CDirectionalLightNode::direction>("direction", DefaultFloats(0, 0, -1)),
};
constexpr FieldTable kDirectionalLightTable{Section(kDirectionalLightFields), {}, {}};

constexpr FieldSpec kPointLightFields[] = {
    Field<&CPointLightNode::ambientIntensity>("ambientIntensity", DefaultFloats(0)),
    Field<&CPointLightNode::attenuation>("attenuation", DefaultFloats(1, 0, 0)),
    Field<&CPointLightNode::color>("color", DefaultFloats(1, 1, 1)),
    Field<&CPointLightNode::intensity>("intensity", DefaultFloats(1)),
    Field<&CPointLightNode::location>("location", DefaultFloats(0, 0, 0)),
    Field<&CPointLightNode::on>("on", DefaultBool(true)),
    Field<&CPointLightNode::radius>("radius", DefaultFloats(100)),
};
constexpr FieldTable kPointLightTable{Section(kPointLightFields), {}, {}};

constexpr FieldSpec kSpotLightFields[] = {
    Field<&CSpotLightNode::ambientIntensity>("ambientIntensity", DefaultFloats(0)),
    Field<&CSpotLightNode::attenuation>("attenuation", DefaultFloats(1, 0, 0)),
    Field<&CSpotLightNode::beamWidth>("beamWidth", DefaultFloats(1.5708f)),
    Field<&CSpotLightNode::color>("color", DefaultFloats(1, 1, 1)),
    Field<&CSpotLightNode::cutOffAngle>("cutOffAngle", DefaultFloats(0.785398f)),
    Field<&CSpotLightNode::direction>("direction", DefaultFloats(0, 0, -1)),
    Field<&CSpotLightNode::intensity>("intensity", DefaultFloats(1)),
    Field<&CSpotLightNode::location>("location", DefaultFloats(0, 0, 0)),
    Field<&CSpotLightNode::on>("on", DefaultBool(true)),
    Field<&CSpotLightNode::radius>("radius", DefaultFloats(100)),
};
constexpr FieldTable kSpotLightTable{Section(kSpotLightFields), {}, {}};

CVec3f ToVec(const SFVec3f& v) { return {v.x, v.y, v.z}; }

// A point of the light's own coordinates in world coordinates.
CVec3f Placed(const CViewContext& view, const CVec3f& point) {
  CVec3f placed = point;
  view.TransformPoint(placed);
  return placed;
}

// A direction of the light's own coordinates in world coordinates: the
// translation of the parents has no effect on it.
CVec3f PlacedDirection(const CViewContext& view, const SFVec3f& direction) {
  return Placed(view, ToVec(direction)) - Placed(view, CVec3f{});
}

}  // namespace

void CLightNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  CGeometryStage& stage = *view->GetStage();
  if (pass == RenderPass::Activate && !registered_) {
    // The slot is taken switched off; a second activation keeps it.
    registered_ = 1;
    const LightRecord switchedOff;
    slot_ = stage.AddLight(&switchedOff);
  } else if (pass == RenderPass::Deactivate) {
    registered_ = 0;
    if (slot_ >= 0) stage.SetLight(slot_, nullptr);
    slot_ = -1;
  } else if (pass == RenderPass::Frame && registered_ && slot_ >= 0) {
    // A light without a slot (never activated, or past the limit) lights
    // nothing.
    Refresh(*view);
  }
}

void CLightNode::Refresh(CViewContext& view) const {
  LightRecord record;
  record.on = on ? 1 : 0;
  record.specular = 1;
  record.color = CVec3f{color.r, color.g, color.b} * intensity;
  record.ambient = CVec3f{color.r, color.g, color.b} * std::clamp(ambientIntensity, 0.0f, 1.0f);
  PlaceLight(record, view);
  view.GetStage()->SetLight(slot_, &record);
}

CDirectionalLightNode::CDirectionalLightNode() { RegisterFields(kDirectionalLightTable); }

void CDirectionalLightNode::PlaceLight(LightRecord& record, const CViewContext& view) const {
  record.type = kDirectionalLight;
  // The record holds the direction towards the light.
  record.direction = PlacedDirection(view, direction) * -1.0f;
}

CPointLightNode::CPointLightNode() { RegisterFields(kPointLightTable); }

void CPointLightNode::PlaceLight(LightRecord& record, const CViewContext& view) const {
  record.type = kPointLight;
  record.direction = Placed(view, ToVec(location));
  record.radius = radius;
  record.attenuation = ToVec(attenuation);
}

CSpotLightNode::CSpotLightNode() { RegisterFields(kSpotLightTable); }

void CSpotLightNode::PlaceLight(LightRecord& record, const CViewContext& view) const {
  record.type = kSpotLight;
  record.direction = Placed(view, ToVec(location));
  record.spotDirection = PlacedDirection(view, direction);
  record.radius = radius;
  record.attenuation = ToVec(attenuation);
  record.innerAngle = beamWidth;
  record.outerAngle = cutOffAngle;
}

void RegisterLightNodes(NodeClassTable& table) {
  table.Add<CDirectionalLightNode>("DirectionalLight");
  table.Add<CPointLightNode>("PointLight");
  table.Add<CSpotLightNode>("SpotLight");
}

}  // namespace vx
