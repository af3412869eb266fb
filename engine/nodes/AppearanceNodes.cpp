#include "engine/nodes/AppearanceNodes.h"

#include <algorithm>

#include "engine/render/GeometryStage.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/OverlayMaterial.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

// Below this a shininess or a specular component makes no highlight.
constexpr float kHighlightThreshold = 0.001f;
// A shininess of 1 is a highlight exponent of 128.
constexpr float kShininessScale = 128.0f;

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

void ApplyRecord(CGeometryStage& stage, const MaterialRecord& record) {
  stage.SetMaterial(&record);
  SetOverlayMaterial(record);
}

// A texture part of the record: the node the field resolves to (through a
// PROTO instance, as for the material) when it is of the wanted kind.
ITextureNode* TexturePart(const CNodeRef& field, bool transform) {
  CNode* node = field.Resolve();
  if (!node || (node->GetTypeId() == NodeTypeTextureTransform) != transform) return nullptr;
  return dynamic_cast<ITextureNode*>(node);
}

}  // namespace

CMaterialNode::CMaterialNode() { RegisterFields(kMaterialTable); }

void CMaterialNode::FillMaterialRecord(MaterialRecord& record, WorldConvention convention) const {
  record.diffuse = ToFloatColor(diffuseColor);
  record.alpha = 1.0f;
  record.smooth = 1;
  const SFColor& s = specularColor;
  if (convention == WorldConvention::kStandard) {
    record.lighting = LightingModel::kStandard;
    record.emissive = ToFloatColor(emissiveColor);
    record.ambientIntensity = std::clamp(ambientIntensity, 0.0f, 1.0f);
    record.specularExponent = std::clamp(shininess, 0.0f, 1.0f) * kShininessScale;
    // Any one channel makes a highlight of its colour.
    const bool shiny = s.r > kHighlightThreshold || s.g > kHighlightThreshold || s.b > kHighlightThreshold;
    record.specular = shiny ? 1 : 0;
    if (shiny) record.specularColor = ToFloatColor(s);
    return;
  }
  const bool shiny = shininess > kHighlightThreshold && s.r > kHighlightThreshold && s.g > kHighlightThreshold &&
                     s.b > kHighlightThreshold;
  record.specular = shiny ? 1 : 0;
  if (shiny) record.specularColor = ToFloatColor(s);
}

MaterialRecord UnlitMaterialRecord() {
  MaterialRecord record;
  record.diffuse = {1.0f, 1.0f, 1.0f};
  record.specular = 0;
  record.unlit = 1;
  return record;
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

// Without a material of its own an appearance draws with the default
// material, as a Shape without appearance does: a shape's colour never
// depends on what was drawn before it. That is unlit white, or the texture's
// own colours, in the standard's worlds, the default tan in the system's. A
// node of another kind in the field stands for no material and is not
// traversed (a geometry node there would draw). A texture adds to the record
// the material step started.
void CAppearanceNode::Apply(RenderPass pass, CViewContext* view, CGeometryStage& stage) {
  MaterialRecord record = StartingMaterialRecord();
  const WorldConvention convention = ConventionOf(view ? view->GetWorld() : GetWorld());
  CNode* resolved = material.Resolve();
  if (resolved && resolved->GetTypeId() == NodeTypeMaterial) {
    static_cast<const CMaterialNode*>(resolved)->FillMaterialRecord(record, convention);
    record.spanMode = 0;
    ApplyRecord(stage, record);
    material->Traverse(pass, view);
  } else if (convention == WorldConvention::kStandard) {
    record = UnlitMaterialRecord();
    record.lighting = LightingModel::kStandard;
    stage.SetMaterial(&record);
  } else {
    stage.SetMaterial(nullptr);
  }
  if (texture) {
    texture->Traverse(pass, view);
    if (ITextureNode* source = TexturePart(texture, false)) {
      record.textureDeclared = 1;
      source->FillTextureRecord(record);
      if (record.unlit) record.unlitTexture = 1;
      ApplyRecord(stage, record);
    }
  }
  if (ITextureNode* transform = TexturePart(textureTransform, true)) {
    transform->FillTextureRecord(record);
    ApplyRecord(stage, record);
  }
}

const MFString* CAppearanceNode::GetTiledTextureUrls() const {
  ITextureNode* source = TexturePart(texture, false);
  return source ? source->TiledImageUrls() : nullptr;
}

void RegisterAppearanceNodes(NodeClassTable& table) {
  table.Add<CAppearanceNode>("Appearance");
  table.Add<CMaterialNode>("Material");
}

}  // namespace vx
