#include "engine/nodes/FogNode.h"

#include <cmath>

#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldConvention.h"

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
  const bool standard = ConventionOf(view->GetWorld()) == WorldConvention::kStandard;
  const float range = standard ? visibilityRange * parentsScale_ : visibilityRange;
  stage->SetFog({color.r, color.g, color.b, kOpaqueAlpha}, range, kLinearFog);
}

// The mean length of the parents' axes: a uniform scale exactly, and a
// measure of a scale that differs along the axes.
void CFogNode::Traverse(RenderPass pass, CViewContext* view) {
  CQuietBindableNode::Traverse(pass, view);
  if (!view) return;
  const CMatrix4 parents = view->GetTopMatrix();
  float sum = 0.0f;
  for (int row = 0; row < 3; ++row) sum += CVec3f{parents.At(row, 0), parents.At(row, 1), parents.At(row, 2)}.Length();
  const float scale = sum / 3.0f;
  // A parent scaled to nothing, or beyond the float range, leaves the range
  // as the file gave it.
  parentsScale_ = std::isfinite(scale) && scale > 0.0f ? scale : 1.0f;
}

CWorldInfoNode::CWorldInfoNode() { RegisterFields(kWorldInfoTable); }

void RegisterFogNode(NodeClassTable& table) { table.Add<CFogNode>("Fog"); }

void RegisterWorldInfoNode(NodeClassTable& table) { table.Add<CWorldInfoNode>("WorldInfo"); }

}  // namespace vx
