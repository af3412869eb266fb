#include "engine/nodes/FogNode.h"

#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kFogFields[] = {
    Field<&CFogNode::color>("color", DefaultFloats(1, 1, 1)),
    Field<&CFogNode::fogType>("fogType", DefaultText("LINEAR")),
    Field<&CFogNode::visibilityRange>("visibilityRange", DefaultFloats(0)),
};
constexpr FieldTable kFogTable{Section(kFogFields), Section(kQuietBindEventIns), Section(kQuietBindEventOuts)};

constexpr FieldSpec kWorldInfoFields[] = {
    Field<&CWorldInfoNode::info>("info"),
    Field<&CWorldInfoNode::title>("title", DefaultText("")),
};
constexpr FieldTable kWorldInfoTable{Section(kWorldInfoFields), {}, {}};

constexpr float kOpaqueAlpha = 1.0f;
constexpr uint32_t kLinearFog = 0;

}  // namespace

CFogNode::CFogNode() : CQuietBindableNode(&CBrowser::BindFog) { RegisterFields(kFogTable); }

void CFogNode::ApplyFog(CViewContext* view) const {
  CGeometryStage* stage = view->GetStage();
  // Zero, negative ranges and a range that is not a number fog nothing; the
  // stage divides by the range.
  if (!(visibilityRange > 0.0f)) {
    stage->DisableFog();
    return;
  }
  stage->SetFog({color.r, color.g, color.b, kOpaqueAlpha}, visibilityRange, kLinearFog);
}

CWorldInfoNode::CWorldInfoNode() { RegisterFields(kWorldInfoTable); }

void RegisterFogNode(NodeClassTable& table) { table.Add<CFogNode>("Fog"); }

void RegisterWorldInfoNode(NodeClassTable& table) { table.Add<CWorldInfoNode>("WorldInfo"); }

}  // namespace vx
