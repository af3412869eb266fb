// IMobSensor: turns where the viewer stands relative to an object, the
// user's drags and an automatic rotation into the index of one frame of an
// object photographed from many directions, published as currentFrame.
//
// The sensor keeps three view angles in degrees. Drags and the automatic
// rotation change them for good; the viewer's position is added for the
// frame being chosen only. The rotation turns once in each frame the world
// draws, however often the frame traverses the sensor (once for each eye in
// stereo); the preparation pass shows the default view unturned. Every
// angle and every step stays a finite number: a drag, a rate or a camera
// that would make one infinite or not a number is left out, so the angles
// never stop being usable.
#pragma once

#include <array>
#include <cstdint>

#include "engine/scene/Node.h"
#include "engine/world/behaviours/FrameGate.h"

namespace vx {

class NodeClassTable;

class CIMobSensorNode : public CNode {
 public:
  CIMobSensorNode();

  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  NodeTypeId GetTypeId() const override { return NodeTypeIMobSensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  void OnPointerClick(CViewContext* view) override;
  void OnPointerOver() override;
  void OnPointerDrag(int32_t button, float dx, float dy) override;
  void OnPointerPress() override;
  void OnPointerRelease() override;

  const std::array<float, 3>& GetViewAngles() const { return angles_; }

  MFInt32 quantization{};
  MFFloat range{};
  int32_t currentFrame = 0;
  int16_t enabled = 1;
  int16_t interactive = 1;
  SFString type{};
  MFFloat defaultView{};
  MFTime animRate{};
  int16_t screenIMob = 0;

 protected:
  ~CIMobSensorNode() override = default;

 private:
  enum class Shape { Sphere, Disk, Other };

  Shape ShapeOf() const;
  void ResetAngles();
  // The viewer-relative angles added to angles 0 and 1 for this frame.
  void AddViewerAngles(CViewContext& view);
  // One frame's turn of the automatic rotation.
  void Rotate(double frameRate);
  int32_t FrameIndex(int axis);
  int32_t ChooseFrame();
  void SendActive(bool active);
  void SendHitData();

  std::array<float, 3> angles_{};
  float radial_ = 0.0f;
  int32_t lastSent_ = 0;
  FrameGate rotationFrames_;
};

void RegisterIMobSensorNode(NodeClassTable& table);

}  // namespace vx
