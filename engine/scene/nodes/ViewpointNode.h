// Viewpoint: a bindable camera. When it is bound it sets the view's camera
// once from its fields; while it stays bound with `jump` TRUE, later changes
// of its fields move the camera by their differences, so the viewer's own
// navigation stays in effect; unbound with `jump` TRUE while no other
// Viewpoint is bound, it gives back the camera it found.
//
// It does its work in the frame pass the world hands it (the bound
// Viewpoint, and one just unbound, before the scene is drawn), so the work is
// done at most once a frame.
//
// It binds through the world of the view it is drawn in, also from the body
// of a PROTO instance or an Inline (BindableNodeSupport.h).
#pragma once

#include "engine/scene/Node.h"
#include "engine/scene/Vec.h"
#include "engine/scene/nodes/BindableNodeSupport.h"

namespace vx {

class NodeClassTable;

class CViewpointNode : public CNode {
 public:
  CViewpointNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeViewpoint; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  bool IsBound() const { return bound_ != 0; }

  float fieldOfView = 0.0f;
  int16_t jump = 1;
  SFRotation orientation{};
  SFVec3f position{};
  SFString description{};

 protected:
  ~CViewpointNode() override = default;

 private:
  struct Camera {
    CVec3f position;
    float fieldOfView = 0.0f;
    float pitch = 0.0f;
    float yaw = 0.0f;
    float roll = 0.0f;
  };

  // The camera the fields ask for, under the matrix of the view's stack:
  // only the direction is turned by it, the position is `position` as is.
  Camera CameraFromFields(const CViewContext& view) const;
  void TakeCamera(CViewContext& view);
  void GiveCameraBack(CViewContext& view);
  void FollowFieldChanges(CViewContext& view);

  Camera saved_;
  Camera lastApplied_;
  bool cameraSaved_ = false;
  int16_t bound_ = 0;
  int16_t bindChanged_ = 0;
  int16_t fieldsChanged_ = 0;
  CBindingPlace place_;
};

void RegisterViewpointNode(NodeClassTable& table);

}  // namespace vx
