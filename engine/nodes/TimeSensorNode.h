// TimeSensor: the clock of animations. Every frame it compares the world time
// with its startTime, stopTime and cycleInterval and sends isActive, time,
// fraction_changed and cycleTime; while running it refuses changes of its
// timing through "set_" events.
#pragma once

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CTimeSensorNode : public CNode {
 public:
  CTimeSensorNode();

  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  NodeTypeId GetTypeId() const override { return NodeTypeTimeSensor; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int InterceptEvent(std::string_view name, const void* value) override;

  // One frame at world time now (what a frame traversal does with the
  // world's clock).
  void Tick(double now);
  bool IsActive() const { return active_ != 0; }

  double startTime = 0.0;
  double stopTime = 0.0;
  double cycleInterval = 1.0;
  int16_t enabled = 1;
  int16_t loop = 0;

 protected:
  ~CTimeSensorNode() override = default;

 private:
  bool ShouldRun(double now) const;
  void Stop(double now);
  void Run(double now);

  int16_t active_ = 0;
  int32_t lastCycle_ = 0;
};

void RegisterTimeSensorNode(NodeClassTable& table);

}  // namespace vx
