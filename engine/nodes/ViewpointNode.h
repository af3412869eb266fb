// Viewpoint: a bindable camera. When it is bound it sets the view's camera
// once from its fields; while it stays bound with `jump` TRUE, later changes
// of its fields move the camera by their differences, so the viewer's own
// navigation stays in effect; unbound with `jump` TRUE while no other
// Viewpoint is bound, it gives back the camera it found.
//
// It does its work in the frame pass the world hands it (the bound
// Viewpoint, and one just unbound, before the scene is drawn), so the work is
// done at most once a frame; its visits in the scene note the parents'
// matrix it stands under.
//
// In a world of the standard's convention the position and the whole
// orientation, roll included, pass through the parents' matrix, and the
// position defaults to 0 0 10. In one of the system's the position is taken
// as it stands (default 0 0 0) and only the direction of the orientation
// counts; the camera keeps its roll.
//
// It binds through the world of the view it is drawn in, also from the body
// of a PROTO instance or an Inline (BindableNodeSupport.h).
#pragma once

#include "engine/math/Matrix4.h"
#include "engine/scene/Node.h"
#include "engine/math/Vec.h"
#include "engine/nodes/BindableNodeSupport.h"
#include "engine/world/WorldConvention.h"

namespace vx {

class NodeClassTable;

class CViewpointNode : public CNode {
 public:
  // The position's default is the convention's.
  explicit CViewpointNode(WorldConvention convention = WorldConvention::kStandard);

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

  void NoteParents(const CViewContext& view);
  // The camera the fields ask for, by the convention of the view's world.
  Camera CameraFromFields(const CViewContext& view) const;
  void PlaceInParents(Camera& camera) const;
  // Under the matrix of the view's stack.
  void TurnByDirection(Camera& camera, const CViewContext& view) const;
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
  CMatrix4 parents_;
};

void RegisterViewpointNode(NodeClassTable& table);

}  // namespace vx
