// A node that records, in arrival order, every event routed to it, with a
// field of each value type the node tests route.
#pragma once

#include <string>
#include <vector>

#include "engine/scene/Node.h"

namespace vx::test {

class CEventRecorder : public CNode {
 public:
  CEventRecorder();

  int OnEventIn(bool isField, int index, const void* value) override;

  SFVec3f vec3{};
  SFVec3f point{};
  SFVec2f vec2{};
  int32_t integer = 0;
  int32_t otherInteger = 0;
  SFRotation rotation{};
  SFColor color{};
  float number = 0.0f;
  MFVec3f vectors{};
  MFFloat keys{};
  int16_t flag = 0;
  int16_t otherFlag = 0;
  double time = 0.0;
  double cycle = 0.0;

  // Field names in arrival order.
  std::vector<std::string> log;

 protected:
  ~CEventRecorder() override = default;
};

// A recorder whose field `field` receives the source's eventOut.
CNodeRef RecordInto(CNode& source, std::string_view eventOut, std::string_view field);

}  // namespace vx::test
