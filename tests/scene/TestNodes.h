// Node classes for the scene tests: one with a field of every kind of value,
// and one that records the events it receives.
#pragma once

#include <string>
#include <vector>

#include "engine/scene/NodeFactory.h"

namespace vx::test {

class CProbeNode : public CNode {
 public:
  CProbeNode();

  NodeTypeId GetTypeId() const override { return typeId; }
  // Written as "Probe", so that a written scene of probes reads back.
  std::string_view GetTypeName() const override { return typeId == NodeTypeBase ? "Probe" : CNode::GetTypeName(); }
  int InterceptEvent(std::string_view name, const void* value) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Field values, in table order.
  SFVec3f position{};
  float fraction = 0.0f;
  int16_t enabled = 0;
  SFString label{};
  SFImage image{};
  CNodeRef child;
  MFNode children{};
  MF<float> keys{};
  MF<SFString> names{};
  SFRotation rotation{};

  struct Received {
    bool isField;
    int index;
  };
  std::vector<Received> received;
  std::string interceptName;  // events of this name are consumed
  NodeTypeId typeId = NodeTypeBase;
  // Called from OnEventIn, to act while an event is being delivered.
  void (*onEvent)(CProbeNode& node, bool isField, int index, const void* value) = nullptr;

 protected:
  ~CProbeNode() override = default;
};

// "Probe" for CProbeNode, plus stand-ins of the bindable node types that bind
// themselves to their world on set_bind (TestViewpoint, TestNavigationInfo,
// TestFog, TestDisplay, TestBackground, TestVista).
void RegisterTestNodes(NodeClassTable& table);

inline CProbeNode& Probe(const CNodeRef& ref) { return static_cast<CProbeNode&>(*ref.GetNode()); }

}  // namespace vx::test
