// What the view needs of the bound panorama node (a Vista, a legacy Vista or
// a Background): its renderer limits the camera, turns the pointer into a
// direction and draws interlaced stereo. The panorama nodes lie above the
// world and implement this; the view context and the scene view reach the
// bound one through AsPanoramaNode.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

// The camera as the panorama renderer sees it (radians).
struct PanoramaCamera {
  float fieldOfView = 0;
  float pitch = 0;
  float yaw = 0;
  float roll = 0;
};

class IPanoramaNode {
 public:
  // Limits the field of view, then the direction, to what the node's
  // renderer allows. False, with the camera untouched, while the node has no
  // renderer.
  virtual bool LimitCamera(PanoramaCamera& camera) = 0;
  // The direction under a point of the frame given in fractions of its width
  // and height; false, with nothing written, while the node has no renderer.
  virtual bool PointerAngles(float x, float y, float* pitch, float* yaw) const = 0;
  // Interlaced stereo: each eye is drawn into every other row.
  virtual void SetInterlaced(bool on) = 0;

 protected:
  ~IPanoramaNode() = default;
};

// The node's panorama side; null for null and for every other node.
inline IPanoramaNode* AsPanoramaNode(CNode* node) { return dynamic_cast<IPanoramaNode*>(node); }

}  // namespace vx
