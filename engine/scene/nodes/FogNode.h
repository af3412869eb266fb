// Fog: a bindable node whose colour and range the world hands to the
// geometry stage on every frame while it is bound. WorldInfo: text about the
// world, kept and written and nothing more.
#pragma once

#include "engine/scene/Node.h"
#include "engine/scene/nodes/BindableNodeSupport.h"

namespace vx {

class NodeClassTable;

class CFogNode : public CNode {
 public:
  CFogNode();

  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeFog; }
  // Only follows the view's world (BindableNodeSupport.h): a Fog in the
  // scene has no effect until it is bound.
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Linear fog to `color`, complete at `visibilityRange`; a range that is
  // not positive turns fog off. Every fogType fogs linearly.
  void Apply(CViewContext* view) const;
  bool IsBound() const { return bound_ != 0; }

  SFColor color{};
  SFString fogType{};
  float visibilityRange = 0.0f;

 protected:
  ~CFogNode() override = default;

 private:
  int16_t bound_ = 0;
  CBindingPlace place_;
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
