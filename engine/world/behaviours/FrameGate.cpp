#include "engine/world/behaviours/FrameGate.h"

#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {

bool FrameGate::IsNewFrame(const CBrowser* world, RenderPass pass) {
  if (pass != RenderPass::Frame) return false;
  if (!world) return true;
  if (world->GetFrameNumber() == lastFrame_) return false;
  lastFrame_ = world->GetFrameNumber();
  return true;
}

bool FrameGate::IsNewFrame(const CViewContext& view, RenderPass pass) { return IsNewFrame(view.GetWorld(), pass); }

}  // namespace vx
