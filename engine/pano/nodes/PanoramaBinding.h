// The view's side of a panorama node (IPanoramaNode) carried out on the
// node's panorama context: a node class derives from this and says where its
// context is.
#pragma once

#include "engine/pano/PanoContext.h"
#include "engine/world/PanoramaNode.h"

namespace vx {

class CPanoramaBinding : public IPanoramaNode {
 public:
  bool LimitCamera(PanoramaCamera& camera) final;
  bool PointerAngles(float x, float y, float* pitch, float* yaw) const final;
  void SetInterlaced(bool on) final;

 protected:
  ~CPanoramaBinding() = default;
  // Null while the node has none.
  virtual PanoContext* GetPanoContext() const = 0;

 private:
  // The context, when it has a renderer.
  PanoContext* RenderingContext() const;
};

}  // namespace vx
