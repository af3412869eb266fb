// What the frame needs of the bound Fog: to set the geometry stage's fog for
// the scene it draws. The Fog node class lies above the world and implements
// this; the world reaches the bound one through AsBoundFog.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class IBoundFog {
 public:
  virtual void ApplyFog(CViewContext* view) const = 0;

 protected:
  ~IBoundFog() = default;
};

// The node's fog side; null for null and for every other node.
inline const IBoundFog* AsBoundFog(const CNode* node) { return dynamic_cast<const IBoundFog*>(node); }

}  // namespace vx
