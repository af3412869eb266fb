// DirectionalLight, PointLight and SpotLight: lights in the view's geometry
// stage. A light takes a slot of the stage when it becomes active (pass 1),
// refreshes it from its fields and the current matrix on every frame, and
// gives it back when it stops being active (pass 2). The slot stays set
// between frames, so a light lights everything drawn after it refreshed its
// slot, not only its siblings.
//
// The view context keeps kViewLightSlots of the stage's slots for itself, so
// a scene has kMaxSceneLights (WorldLimits.h); a light activated beyond them
// gets no slot and lights nothing, and the others are unaffected.
// ambientIntensity lights VRML 2.0 worlds only (through their materials'
// ambientIntensity); the system's worlds take the view's ambient light.
#pragma once

#include "engine/render/GeometryStage.h"
#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CLightNode : public CNode {
 public:
  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  void Traverse(RenderPass pass, CViewContext* view) final;

  // The stage slot the light holds; -1 for none.
  int32_t GetSlot() const { return slot_; }

  int16_t on = 1;
  float intensity = 1.0f;
  float ambientIntensity = 0.0f;
  SFColor color{};

 protected:
  CLightNode() = default;
  ~CLightNode() override = default;

  // The class's own words of the record, with the light's parents on the
  // view's matrix stack.
  virtual void PlaceLight(LightRecord& record, const CViewContext& view) const = 0;

 private:
  void Refresh(CViewContext& view) const;

  int32_t slot_ = -1;
  int16_t registered_ = 0;
};

class CDirectionalLightNode : public CLightNode {
 public:
  CDirectionalLightNode();
  NodeTypeId GetTypeId() const override { return NodeTypeDirectionalLight; }

  SFVec3f direction{};

 protected:
  ~CDirectionalLightNode() override = default;
  void PlaceLight(LightRecord& record, const CViewContext& view) const override;
};

class CPointLightNode : public CLightNode {
 public:
  CPointLightNode();
  NodeTypeId GetTypeId() const override { return NodeTypePointLight; }

  SFVec3f attenuation{};
  SFVec3f location{};
  float radius = 0.0f;

 protected:
  ~CPointLightNode() override = default;
  void PlaceLight(LightRecord& record, const CViewContext& view) const override;
};

class CSpotLightNode : public CLightNode {
 public:
  CSpotLightNode();
  NodeTypeId GetTypeId() const override { return NodeTypeSpotLight; }

  SFVec3f attenuation{};
  float beamWidth = 0.0f;
  float cutOffAngle = 0.0f;
  SFVec3f direction{};
  SFVec3f location{};
  float radius = 0.0f;

 protected:
  ~CSpotLightNode() override = default;
  void PlaceLight(LightRecord& record, const CViewContext& view) const override;
};

void RegisterLightNodes(NodeClassTable& table);

}  // namespace vx
