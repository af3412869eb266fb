// The sensors of the viewer: ProximitySensor reports the camera entering and
// leaving a box round its centre and, while it is inside, the camera's
// position relative to that centre; VisibilitySensor reports its box coming
// into and going out of the view volume. Both work on the frame pass.
//
// Both honour `enabled`: a disabled sensor sends nothing and keeps its state.
#pragma once

#include <memory>

#include "engine/scene/Node.h"

namespace vx {

class CMeshBuffer;
class NodeClassTable;

class CProximitySensorNode : public CNode {
 public:
  CProximitySensorNode();

  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  NodeTypeId GetTypeId() const override { return NodeTypeProximitySensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  bool IsActive() const { return active_; }

  SFVec3f center{};
  SFVec3f size{};
  int16_t enabled = 1;

 protected:
  ~CProximitySensorNode() override = default;

 private:
  bool active_ = false;
};

class CVisibilitySensorNode : public CNode {
 public:
  CVisibilitySensorNode();

  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  NodeTypeId GetTypeId() const override { return NodeTypeVisibilitySensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  bool IsActive() const { return active_; }

  SFVec3f center{};
  SFVec3f size{};
  int16_t enabled = 1;

 protected:
  ~CVisibilitySensorNode() override;

 private:
  void MakeBox();

  bool active_ = false;
  // The box as it was when first traversed; later changes of center or size
  // do not move it.
  std::unique_ptr<CMeshBuffer> box_;
};

void RegisterViewerSensorNodes(NodeClassTable& table);

}  // namespace vx
