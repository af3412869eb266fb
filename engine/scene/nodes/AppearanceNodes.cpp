#include "engine/scene/nodes/AppearanceNodes.h"

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

// Below this a shininess or a specular component makes no highlight.
constexpr float kHighlightThreshold = 0.001f;

constexpr FieldSpec kMaterialFields[] = {
    Field<&CMaterialNode::diffuseColor>("diffuseColor", DefaultFloats(0.8f, 0.8f, 0.8f)),
    Field<&CMaterialNode::ambientIntensity>("ambientIntensity", DefaultFloats(0.2f)),
    Field<&CMaterialNode::specularColor>("specularColor", DefaultFloats(0, 0, 0)),
    Field<&CMaterialNode::emissiveColor>("emissiveColor", DefaultFloats(0, 0, 0)),
    Field<&CMaterialNode::shininess>("shininess", DefaultFloats(0.2f)),
    Field<&CMaterialNode::transparency>("transparency", DefaultFloats(0)),
};
constexpr FieldTable kMaterialTable{Section(kMaterialFields), {}, {}};

constexpr FieldSpec kAppearanceFields[] = {
    Field<&CAppearanceNode::material>("material"),
    Field<&CAppearanceNode::texture>("texture"),
    Field<&CAppearanceNode::textureTransform>("textureTransform"),
};
constexpr FieldTable kAppearanceTable{Section(kAppearanceFields), {}, {}};

FloatColor ToFloatColor(const SFColor& c) { return {c.r, c.g, c.b}; }

}  // namespace

CMaterialNode::CMaterialNode() { RegisterFields(kMaterialTable); }

void CMaterialNode::FillMaterialRecord(MaterialRecord& record) const {
  record.diffuse = ToFloatColor(diffuseColor);
  record.alpha = 1.0f;
  record.smooth = 1;
  const SFColor& s = specularColor;
  const bool shiny = shininess > kHighlightThreshold && s.r > kHighlightThreshold && s.g > kHighlightThreshold &&
                     s.b > kHighlightThreshold;
  record.specular = shiny ? 1 : 0;
  if (shiny) record.specularColor = ToFloatColor(s);
}

MaterialRecord StartingMaterialRecord() {
  MaterialRecord record;
  record.diffuse = {1.0f, 1.0f, 1.0f};
  record.alpha = 0.0f;
  record.smooth = 1;
  record.specular = 1;
  record.specularColor = {0.5f, 0.5f, 0.5f};
  record.scale = {0.0f, 0.0f};
  return record;
}

CAppearanceNode::CAppearanceNode() { RegisterFields(kAppearanceTable); }

void CAppearanceNode::Traverse(RenderPass pass, CViewContext* view) {
  if (view) Apply(pass, view, *view->GetStage());
}

void CAppearanceNode::Apply(RenderPass pass, CViewContext* view, CGeometryStage& stage) {
  MaterialRecord record = StartingMaterialRecord();
  bool applied = false;
  if (material.Resolve()) {
    if (material->GetTypeId() == NodeTypeMaterial) {
      static_cast<const CMaterialNode*>(material.Resolve())->FillMaterialRecord(record);
      record.spanMode = 0;
      stage.SetMaterial(&record);
      applied = true;
    }
    material->Traverse(pass, view);
  }
  if (texture) {
    texture->Traverse(pass, view);
    if (texture->GetTypeId() == NodeTypeTextTexture) {
      if (auto* filler = dynamic_cast<ITextureNode*>(texture.Resolve())) {
        filler->FillTextureRecord(record);
        record.spanMode = 0;
        stage.SetMaterial(&record);
        applied = true;
      }
    }
  }
  // Without a record of its own the stage keeps the last material, but not
  // its texture: the pixels it points to may belong to a node freed since.
  if (!applied && stage.Material().texture.base) {
    MaterialRecord kept = stage.Material();
    kept.texture = {};
    kept.spanMode = 0;
    stage.SetMaterial(&kept);
  }
}

void RegisterAppearanceNodes(NodeClassTable& table) {
  table.Add<CAppearanceNode>("Appearance");
  table.Add<CMaterialNode>("Material");
}

}  // namespace vx
