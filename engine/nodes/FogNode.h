// Fog: a bindable node whose colour and range the world hands to the
// geometry stage on every frame while it is bound; a Fog in the scene has no
// effect until it is bound. WorldInfo: text about the world, kept and
// written and nothing more.
#pragma once

#include "engine/scene/Node.h"
#include "engine/nodes/BindableNodeSupport.h"
#include "engine/world/BoundFog.h"

namespace vx {

class NodeClassTable;

class CFogNode : public CQuietBindableNode, public IBoundFog {
 public:
  CFogNode();

  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeFog; }

  // Linear fog to `color`, complete at `visibilityRange`; a range that is
  // not positive turns fog off. Every fogType fogs linearly. In the
  // standard's worlds the range is measured in the Fog's own coordinates, so
  // a Fog under a scaled Transform fogs at the scaled distance.
  void ApplyFog(CViewContext* view) const override;
  void Traverse(RenderPass pass, CViewContext* view) override;

  SFColor color{};
  SFString fogType{};
  float visibilityRange = 0.0f;

 protected:
  ~CFogNode() override = default;

 private:
  // How long a unit of the Fog's coordinates is in the world's, from its
  // parents on its last visit in the scene.
  float parentsScale_ = 1.0f;
};

class CWorldInfoNode : public CNode {
 public:
  CWorldInfoNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeWorldInfo; }

  MFString info{};
  SFString title{};

 protected:
  ~CWorldInfoNode() override = default;
};

void RegisterFogNode(NodeClassTable& table);
void RegisterWorldInfoNode(NodeClassTable& table);

}  // namespace vx
