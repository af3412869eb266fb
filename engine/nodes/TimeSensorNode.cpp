#include "engine/nodes/TimeSensorNode.h"

#include <cmath>
#include <limits>

#include "engine/hostlink/FrameDemand.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

constexpr FieldSpec kTimeSensorFields[] = {
    Field<&CTimeSensorNode::startTime>("startTime", DefaultTime(0)),
    Field<&CTimeSensorNode::stopTime>("stopTime", DefaultTime(0)),
    Field<&CTimeSensorNode::cycleInterval>("cycleInterval", DefaultTime(1)),
    Field<&CTimeSensorNode::enabled>("enabled", DefaultBool(true)),
    Field<&CTimeSensorNode::loop>("loop", DefaultBool(false)),
};
constexpr FieldSpec kTimeSensorEventOuts[] = {
    Event("isActive", FieldTypeSFBool),
    Event("time", FieldTypeSFTime),
    Event("cycleTime", FieldTypeSFTime),
    Event("fraction_changed", FieldTypeSFFloat),
};
constexpr FieldTable kTimeSensorTable{Section(kTimeSensorFields), {}, Section(kTimeSensorEventOuts)};

constexpr std::string_view kSetPrefix = "set_";
constexpr size_t kMaxInterceptedName = 255;

// The number of whole cycles, held within the cycle counter's range.
int32_t WholeCycles(double cycles) {
  constexpr auto kMaxCycles = static_cast<double>(std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(std::min(std::trunc(cycles), kMaxCycles));
}

}  // namespace

CTimeSensorNode::CTimeSensorNode() { RegisterFields(kTimeSensorTable); }

void CTimeSensorNode::Traverse(RenderPass pass, CViewContext*) {
  if (pass != RenderPass::Frame || !GetWorld()) return;
  const double now = GetWorld()->GetWorldTime();
  Tick(now);
  // A running sensor changes its outputs every frame; a waiting one wakes
  // the view when it starts.
  if (active_) {
    RequestFrameNow();
  } else if (enabled && now < startTime && cycleInterval > 0.0) {
    RequestFrameAt(startTime);
  }
}

void CTimeSensorNode::Tick(double now) {
  if (ShouldRun(now)) {
    Run(now);
  } else {
    Stop(now);
  }
}

// A stopTime not after startTime is ignored. A cycleInterval that is not
// positive has no cycles to run: such a sensor only ever stops, which keeps
// the fraction from dividing by zero.
bool CTimeSensorNode::ShouldRun(double now) const {
  if (cycleInterval <= 0.0) return false;
  if (now >= stopTime && startTime < stopTime) return false;
  return now < startTime + cycleInterval || loop != 0;
}

void CTimeSensorNode::Stop(double now) {
  if (!active_) return;
  const double elapsed = now - startTime;
  const bool withinFirstCycle = cycleInterval > 0.0 && elapsed < cycleInterval;
  const float fraction = withinFirstCycle ? static_cast<float>(elapsed / cycleInterval) : 1.0f;
  const int16_t inactive = 0;
  SendEvent("time", &now);
  SendEvent("fraction_changed", &fraction);
  SendEvent("cycleTime", &now);
  active_ = 0;
  SendEvent("isActive", &inactive);
  lastCycle_ = 0;
}

// A sensor disabled while active stays active and sends nothing.
void CTimeSensorNode::Run(double now) {
  if (now < startTime || !enabled) return;
  if (!active_) {
    const int16_t activeValue = 1;
    SendEvent("isActive", &activeValue);
    active_ = 1;
  }
  SendEvent("time", &now);
  const double cycles = (now - startTime) / cycleInterval;
  const auto fraction = static_cast<float>(cycles - std::floor(cycles));
  SendEvent("fraction_changed", &fraction);
  const int32_t cycle = WholeCycles(cycles);
  if (lastCycle_ < cycle) {
    lastCycle_ = cycle;
    SendEvent("cycleTime", &now);
  }
}

int CTimeSensorNode::InterceptEvent(std::string_view name, const void* value) {
  if (!active_ || !name.starts_with(kSetPrefix)) return 0;
  const std::string_view field = name.substr(kSetPrefix.size(), kMaxInterceptedName);
  if (field == "cycleInterval" || field == "startTime") return 1;
  if (field == "stopTime") return startTime >= *static_cast<const double*>(value) ? 1 : 0;
  return 0;
}

void RegisterTimeSensorNode(NodeClassTable& table) { table.Add<CTimeSensorNode>("TimeSensor"); }

}  // namespace vx
