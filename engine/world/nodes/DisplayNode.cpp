#include "engine/world/nodes/DisplayNode.h"

#include <optional>
#include <string_view>

#include "engine/render/DrawState.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kDisplayFields[] = {
    Field<&CDisplayNode::stereoMode>("stereoMode", DefaultText("NONE")),
    Field<&CDisplayNode::fullScreen>("fullScreen", DefaultBool(false)),
    Field<&CDisplayNode::quality>("quality", DefaultText("HIGH")),
    Field<&CDisplayNode::disparity>("disparity", DefaultFloats(0)),
};
constexpr FieldTable kDisplayTable{Section(kDisplayFields), Section(kQuietBindEventIns),
                                   Section(kQuietBindEventOuts)};

// Rows filled and copied down: every row, every second row copied once, or
// every fourth row copied three times. Other words leave the quality.
std::optional<RowQuality> QualityOf(std::string_view name) {
  if (name == "HIGH") return RowQuality{.replicateRows = false, .replicateFour = false, .rowMask = 1};
  if (name == "MEDIUM") return RowQuality{.replicateRows = true, .replicateFour = false, .rowMask = 1};
  if (name == "LOW") return RowQuality{.replicateRows = true, .replicateFour = true, .rowMask = 3};
  return std::nullopt;
}

std::optional<StereoMode> StereoModeOf(std::string_view name) {
  if (name == "NONE") return StereoMode::None;
  if (name == "INTERLACE") return StereoMode::Interlaced;
  if (name == "LEFT_RIGHT") return StereoMode::LeftRight;
  return std::nullopt;
}

}  // namespace

CDisplayNode::CDisplayNode() : CQuietBindableNode(&CBrowser::BindDisplay) { RegisterFields(kDisplayTable); }

void CDisplayNode::Traverse(RenderPass pass, CViewContext* view) {
  CQuietBindableNode::Traverse(pass, view);
  if (pass != RenderPass::Frame || !view || !view->GetWorld()) return;
  if (!TakeFramePass(view->GetWorld()->GetFrameNumber())) return;
  ApplyToView(*view);
}

// The host hears first; whatever it destroys meanwhile stays in being until
// its call into the engine returns, so the settings below still land.
void CDisplayNode::ApplyToView(CViewContext& view) const {
  IViewServices* services = view.GetServices();
  if (services) services->ReportFullScreen(fullScreen != 0);
  if (const std::optional<RowQuality> rows = QualityOf(TextOf(quality))) view.GetRenderTarget()->SetRowQuality(*rows);
  if (const std::optional<StereoMode> mode = StereoModeOf(TextOf(stereoMode))) {
    view.SetStereoMode(*mode);
    if (services) services->SetStereoMode(*mode);
  }
}

void RegisterDisplayNode(NodeClassTable& table) { table.Add<CDisplayNode>("Display"); }

}  // namespace vx
