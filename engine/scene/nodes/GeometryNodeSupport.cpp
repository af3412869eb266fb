#include "engine/scene/nodes/GeometryNodeSupport.h"

#include "engine/render/RenderTarget.h"
#include "engine/world/ViewContext.h"

namespace vx {

CGeometryStage* FrameStage(RenderPass pass, CViewContext* view) {
  return pass == RenderPass::Frame && view ? view->GetStage() : nullptr;
}

void DrawMeshCulled(CMeshBuffer& mesh, CGeometryStage& stage, uint32_t cullWinding, uint32_t cullMode) {
  stage.RenderTarget()->SetCulling({.mode = cullMode, .winding = cullWinding});
  mesh.Draw(&stage, true, -1);
}

}  // namespace vx
