// Display: a bindable node whose bound instance chooses, every frame, the
// view's stereo mode and the renderer's row quality, and tells the host
// whether it wants the full screen.
#pragma once

#include "engine/scene/Node.h"
#include "engine/nodes/BindableNodeSupport.h"

namespace vx {

class NodeClassTable;

class CDisplayNode : public CQuietBindableNode {
 public:
  CDisplayNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeDisplay; }
  // Works only in the pass the world hands the bound Display before it
  // draws the scene; the visit of the scene traversal does nothing more
  // than note the view.
  void Traverse(RenderPass pass, CViewContext* view) override;

  SFString stereoMode{};
  int16_t fullScreen = 0;
  SFString quality{};
  float disparity = 0.0f;

 protected:
  ~CDisplayNode() override = default;

 private:
  void ApplyToView(CViewContext& view) const;
};

void RegisterDisplayNode(NodeClassTable& table);

}  // namespace vx
