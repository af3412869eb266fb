// Lets a behaviour or a node step once in each frame its world draws. A node
// is traversed more often than that: when its part of the scene becomes
// active, and once for each eye in a stereo frame; stepping on every
// traversal would run its moves and rotations fast.
#pragma once

#include <cstdint>

#include "engine/scene/Node.h"

namespace vx {

class CBrowser;
class CViewContext;

class FrameGate {
 public:
  // True for the first frame traversal of each frame the world draws, and
  // for every frame traversal when there is no world to count frames.
  bool IsNewFrame(const CBrowser* world, RenderPass pass);
  bool IsNewFrame(const CViewContext& view, RenderPass pass);

 private:
  uint64_t lastFrame_ = 0;
};

}  // namespace vx
