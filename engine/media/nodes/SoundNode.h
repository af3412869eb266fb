// Sound: a sound source placed in the world. Every frame it works out from
// the camera, its location, direction and ellipses how loud and how far to
// the left or right the listener hears it, and hands both to its source.
// The source (usually an AudioClip) is reached only through the Sound.
#pragma once

#include "engine/scene/Node.h"
#include "engine/math/Vec.h"

namespace vx {

class NodeClassTable;

// The listener and the source in world space: the listener's position and
// view direction, the source's location and (unit) direction.
struct SoundPlacement {
  CVec3f listener;
  CVec3f viewDirection;
  CVec3f location;
  CVec3f direction;
};

struct SoundHeard {
  float volume = 0.0f;
  float balance = 0.0f;
};

class CSoundNode : public CNode {
 public:
  CSoundNode();

  NodeCategory GetCategory() const override { return NodeCategorySceneObject; }
  NodeTypeId GetTypeId() const override { return NodeTypeSound; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  // What the listener hears of this sound where the placement puts it.
  SoundHeard Hear(const SoundPlacement& placement) const;

  SFVec3f direction{};
  float intensity = 0.0f;
  SFVec3f location{};
  float maxBack = 0.0f;
  float maxFront = 0.0f;
  float minBack = 0.0f;
  float minFront = 0.0f;
  float priority = 0.0f;
  CNodeRef source;
  int16_t spatialize = 0;

 protected:
  ~CSoundNode() override = default;
};

void RegisterSoundNode(NodeClassTable& table);

}  // namespace vx
