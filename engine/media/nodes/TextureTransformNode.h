// TextureTransform: moves, turns and scales the texture coordinates of the
// texture its appearance applies.
#pragma once

#include "engine/scene/Node.h"
#include "engine/nodes/AppearanceNodes.h"

namespace vx {

class NodeClassTable;

class CTextureTransformNode : public CNode, public ITextureNode {
 public:
  CTextureTransformNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypeTextureTransform; }
  void Traverse(RenderPass, CViewContext*) override {}
  // In VRML 2.0 worlds the fields go to the record as they are, under
  // VRML 2.0's rule. This system's own worlds turn and scale about the
  // centre and move back by the translation in stored coordinates, which
  // keep t = 0 at the top of the image: so the t parts of the centre and
  // the translation are mirrored.
  void FillTextureRecord(MaterialRecord& record) override;

  SFVec2f center{};
  float rotation = 0.0f;
  SFVec2f scale{};
  SFVec2f translation{};

 protected:
  ~CTextureTransformNode() override = default;
};

void RegisterTextureTransformNode(NodeClassTable& table);

}  // namespace vx
