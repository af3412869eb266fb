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

// What both sensors are: a box given by its centre and size, and whether the
// viewer is in it (or it is in view).
class CBoxSensorNode : public CNode {
 public:
  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  bool IsActive() const { return active_; }

  SFVec3f center{};
  SFVec3f size{};
  int16_t enabled = 1;

 protected:
  CBoxSensorNode() = default;
  ~CBoxSensorNode() override = default;
  // Sends isActive and, with it, enterTime or exitTime at the current time.
  void ChangeActivity(bool active);

  bool active_ = false;
};

class CProximitySensorNode : public CBoxSensorNode {
 public:
  CProximitySensorNode();
  NodeTypeId GetTypeId() const override { return NodeTypeProximitySensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;

 protected:
  ~CProximitySensorNode() override = default;
};

class CVisibilitySensorNode : public CBoxSensorNode {
 public:
  CVisibilitySensorNode();
  NodeTypeId GetTypeId() const override { return NodeTypeVisibilitySensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;

 protected:
  ~CVisibilitySensorNode() override;

 private:
  void MakeBox();

  // The box as it was when first traversed; later changes of center or size
  // do not move it.
  std::unique_ptr<CMeshBuffer> box_;
};

void RegisterViewerSensorNodes(NodeClassTable& table);

}  // namespace vx
