#include "engine/nodes/ShapeNode.h"

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/AppearanceNodes.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kShapeFields[] = {
    Field<&CShapeNode::appearance>("appearance"),
    Field<&CShapeNode::geometry>("geometry"),
};
constexpr FieldTable kShapeTable{Section(kShapeFields), {}, {}};

}  // namespace

CShapeNode::CShapeNode() { RegisterFields(kShapeTable); }

// Without an appearance a shape is drawn unlit white in the standard's
// worlds, with the default tan material in the system's. An appearance
// whose texture names a tiled image hands the image to the geometry, which
// then draws with the default material.
void CShapeNode::ApplyAppearance(RenderPass pass, CViewContext* view, CGeometryStage& stage) {
  CNode* node = appearance.Resolve();
  if (!node || node->GetTypeId() != NodeTypeAppearance) {
    if (ConventionOf(view ? view->GetWorld() : GetWorld()) == WorldConvention::kStandard) {
      const MaterialRecord unlit = UnlitMaterialRecord();
      stage.SetMaterial(&unlit);
    } else {
      stage.SetMaterial(nullptr);
    }
    return;
  }
  auto* look = static_cast<CAppearanceNode*>(node);
  if (const MFString* urls = look->GetTiledTextureUrls()) {
    HandTiledImage(*urls);
    stage.SetMaterial(nullptr);
    return;
  }
  look->Apply(pass, view, stage);
}

// The geometry keeps its own copy of the urls: the texture that named them
// may be gone before the geometry draws again.
void CShapeNode::HandTiledImage(const MFString& urls) {
  if (!geometry) return;
  TiledImageHandoff& handoff = geometry->tiledImage;
  handoff.active = 1;
  handoff.urls.clear();
  for (const SFString& url : urls.Span()) handoff.urls.emplace_back(TextOf(url));
}

void CShapeNode::Traverse(RenderPass pass, CViewContext* view) {
  if (view) ApplyAppearance(pass, view, *view->GetStage());
  if (geometry) geometry->Traverse(pass, view);
}

void RegisterShapeNode(NodeClassTable& table) { table.Add<CShapeNode>("Shape"); }

}  // namespace vx
