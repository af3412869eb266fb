#include "engine/hostlink/FrameDemand.h"

#include <algorithm>

namespace vx {
namespace {

struct Demand {
  uint64_t changes = 0;
  double earliest = kNoFrameDue;
};

Demand& TheDemand() {
  static Demand demand;
  return demand;
}

}  // namespace

void NoteWorldChange() { ++TheDemand().changes; }

uint64_t WorldChangeSerial() { return TheDemand().changes; }

void RequestFrameNow() { TheDemand().earliest = -kNoFrameDue; }

void RequestFrameAt(double worldTime) { TheDemand().earliest = std::min(TheDemand().earliest, worldTime); }

void ClearFrameRequests() { TheDemand().earliest = kNoFrameDue; }

double EarliestFrameRequest() { return TheDemand().earliest; }

}  // namespace vx
