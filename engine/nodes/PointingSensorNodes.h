// The pointing-device sensors: TouchSensor reports where the pointer lies on
// its geometry and when it is clicked; PlaneSensor, SphereSensor and
// CylinderSensor turn a drag into a translation or a rotation.
//
// The view finds a sensor among the siblings of the picked geometry (the
// pick stores hit point, normal and texture coordinate in the node's `pick`)
// and then calls the pointer slots: over, press, drag (movement since the
// previous call as fractions of the view, dy counted upward), release, and
// click. A drag sensor calibrates on the first traversal after a press how
// pointer movement maps to its own coordinates, by projecting the hit point
// and two nearby points; a drag before that changes nothing.
//
// A sensor whose `enabled` is FALSE ignores the pointer; a release still ends
// a press that began while it was enabled.
#pragma once

#include <array>

#include "engine/scene/Node.h"
#include "engine/math/Vec.h"

namespace vx {

class NodeClassTable;
struct PixelMap;

class CTouchSensorNode : public CNode {
 public:
  CTouchSensorNode();

  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  NodeTypeId GetTypeId() const override { return NodeTypeTouchSensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  void OnPointerClick(CViewContext* view) override;
  void OnPointerOver() override;
  void OnPointerDrag(int32_t button, float dx, float dy) override;
  void OnPointerPress() override;
  void OnPointerRelease() override;

  int16_t enabled = 1;

 protected:
  ~CTouchSensorNode() override = default;

 private:
  double Now() const;
  // True (and the time taken) when more than the throttle interval has gone
  // by since the last event.
  bool TakeEventSlot();
  void SendHitData();

  bool frameRecorded_ = false;
  int16_t activeValue_ = 0;
  bool held_ = false;
  float frameWidth_ = 0.0f;
  float frameHeight_ = 0.0f;
  double lastEventTime_ = 0.0;
};

// What the three drag sensors share: the press and release bookkeeping and
// the calibration on the first traversal after a press.
class CDragSensorNode : public CNode {
 public:
  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  void OnPointerDrag(int32_t button, float dx, float dy) override;
  void OnPointerPress() override;
  void OnPointerRelease() override;

  bool IsCalibrated() const { return calibrated_; }

  int16_t autoOffset = 1;
  int16_t enabled = 1;

 protected:
  CDragSensorNode() = default;
  ~CDragSensorNode() override = default;

  // Screen offsets, in pixels, of the projections of the hit point moved by
  // 0.01 along x and along y.
  struct ScreenSteps {
    CVec2f alongX;
    CVec2f alongY;
  };
  // The class's mapping from a calibration (null: no geometry stage).
  virtual void Calibrate(const ScreenSteps* steps, const PixelMap& frame) = 0;
  virtual void Start() = 0;
  virtual void Drag(float dx, float dy) = 0;
  // What autoOffset stores into `offset` at the release.
  virtual void KeepOffset() = 0;

 private:
  bool calibrated_ = false;
  bool pressed_ = false;
};

class CPlaneSensorNode : public CDragSensorNode {
 public:
  CPlaneSensorNode();
  NodeTypeId GetTypeId() const override { return NodeTypePlaneSensor; }

  SFVec2f maxPosition{};
  SFVec2f minPosition{};
  SFVec3f offset{};

  SFVec3f GetTranslation() const { return translation_; }
  const std::array<float, 4>& GetMapping() const { return mapping_; }

 protected:
  ~CPlaneSensorNode() override = default;
  void Calibrate(const ScreenSteps* steps, const PixelMap& frame) override;
  void Start() override;
  void Drag(float dx, float dy) override;
  void KeepOffset() override;

 private:
  SFVec3f translation_{};
  std::array<float, 4> mapping_{1.0f, 0.0f, 0.0f, 1.0f};
};

class CSphereSensorNode : public CDragSensorNode {
 public:
  CSphereSensorNode();
  NodeTypeId GetTypeId() const override { return NodeTypeSphereSensor; }

  SFRotation offset{};

  SFRotation GetRotation() const { return rotation_; }
  float GetPolarAngle() const { return polar_; }
  const std::array<float, 4>& GetMapping() const { return mapping_; }

 protected:
  ~CSphereSensorNode() override = default;
  void Calibrate(const ScreenSteps* steps, const PixelMap& frame) override;
  void Start() override;
  void Drag(float dx, float dy) override;
  void KeepOffset() override;

 private:
  SFRotation rotation_{0.0f, 1.0f, 0.0f, 0.0f};
  float polar_ = 0.0f;
  float turn_ = 0.0f;
  std::array<float, 4> mapping_{};
};

class CCylinderSensorNode : public CDragSensorNode {
 public:
  CCylinderSensorNode();
  NodeTypeId GetTypeId() const override { return NodeTypeCylinderSensor; }

  float diskAngle = 0.0f;
  float maxAngle = 0.0f;
  float minAngle = 0.0f;
  float offset = 0.0f;

  float GetAngle() const { return angle_; }

 protected:
  ~CCylinderSensorNode() override = default;
  void Calibrate(const ScreenSteps* steps, const PixelMap& frame) override;
  void Start() override;
  void Drag(float dx, float dy) override;
  void KeepOffset() override;

 private:
  float angle_ = 0.0f;
  float kx_ = 0.0f;
  float ky_ = 0.0f;
};

void RegisterPointingSensorNodes(NodeClassTable& table);

}  // namespace vx
