// Appearance and Material: what a Shape's geometry is drawn with.
#pragma once

#include "engine/scene/Node.h"
#include "engine/world/WorldConvention.h"

namespace vx {

class CGeometryStage;
class NodeClassTable;
struct MaterialRecord;

// A texture node of a subsystem above the scene (image, pixel, movie,
// slide-show and text textures, and the texture transform): Appearance
// traverses it first, then lets it add its part to the record, so that
// pixels the traversal freed never reach the record.
class ITextureNode {
 public:
  virtual void FillTextureRecord(MaterialRecord& record) = 0;
  // The url list of a tiled image, which the geometry draws in place of the
  // texture; null for every other texture.
  virtual const MFString* TiledImageUrls() { return nullptr; }

 protected:
  ~ITextureNode() = default;
};

class CMaterialNode : public CNode {
 public:
  CMaterialNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypeMaterial; }

  // Writes the diffuse colour and, for a shiny material with a specular
  // colour, the highlight. VRML 2.0 worlds also take the emissive colour,
  // the ambientIntensity and the highlight's size from shininess, and any
  // specular colour shines; the system's worlds take none of these, and a
  // highlight there needs all three channels. transparency takes no part in
  // drawing.
  void FillMaterialRecord(MaterialRecord& record, WorldConvention convention) const;

  SFColor diffuseColor{};
  float ambientIntensity = 0.0f;
  SFColor specularColor{};
  SFColor emissiveColor{};
  float shininess = 0.0f;
  float transparency = 0.0f;

 protected:
  ~CMaterialNode() override = default;
};

class CAppearanceNode : public CNode {
 public:
  CAppearanceNode();

  NodeCategory GetCategory() const override { return NodeCategoryGeometricProperty; }
  NodeTypeId GetTypeId() const override { return NodeTypeAppearance; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // Makes this appearance the stage's current material and traverses the
  // material and texture nodes with the pass. Each record applied is also
  // the overlay material.
  void Apply(RenderPass pass, CViewContext* view, CGeometryStage& stage);
  // The url list of the tiled image the texture names, or null.
  const MFString* GetTiledTextureUrls() const;

  CNodeRef material;
  CNodeRef texture;
  CNodeRef textureTransform;

 protected:
  ~CAppearanceNode() override = default;
};

// The record an Appearance starts from: white, smooth, grey highlights.
MaterialRecord StartingMaterialRecord();
// What a shape without a material is drawn with in the standard's worlds:
// white, untouched by the lights.
MaterialRecord UnlitMaterialRecord();

void RegisterAppearanceNodes(NodeClassTable& table);

}  // namespace vx
