#include "tests/scene/TestNodes.h"

#include "engine/world/Browser.h"

namespace vx::test {
namespace {

constexpr float kDefaultKeys[] = {0.0f, 0.5f, 1.0f};
constexpr const char* kDefaultNames[] = {"WALK", "ANY"};

constexpr FieldSpec kProbeFields[] = {
    Field<&CProbeNode::position>("position", DefaultFloats(1, 2, 3)),
    Field<&CProbeNode::fraction>("fraction", DefaultFloats(0.25f)),
    Field<&CProbeNode::enabled>("enabled", DefaultBool(true)),
    Field<&CProbeNode::label>("label", DefaultText("probe")),
    Field<&CProbeNode::image>("image"),
    Field<&CProbeNode::child>("child"),
    Field<&CProbeNode::children>("children"),
    Field<&CProbeNode::keys>("keys", DefaultList(kDefaultKeys)),
    Field<&CProbeNode::names>("names", DefaultList(kDefaultNames)),
    Field<&CProbeNode::rotation>("rotation", DefaultFloats(0, 0, 1, 0)),
};
constexpr FieldSpec kProbeEventIns[] = {
    Event("poke", FieldTypeSFFloat),
    Event("set_bind", FieldTypeSFBool),
};
constexpr FieldSpec kProbeEventOuts[] = {
    Event("poked", FieldTypeSFFloat),
    Event("isBound", FieldTypeSFBool),
    Event("bindTime", FieldTypeSFTime),
};
constexpr FieldTable kProbeTable{Section(kProbeFields), Section(kProbeEventIns), Section(kProbeEventOuts)};

// A probe that answers a bindable type id and binds itself on set_bind.
template <NodeTypeId Type>
CNodeRef MakeBindable(const NodeCreation&) {
  CNodeRef ref = MakeNode<CProbeNode>();
  Probe(ref).typeId = Type;
  Probe(ref).onEvent = [](CProbeNode& node, bool isField, int index, const void* value) {
    if (isField || index != 1 || !node.GetWorld()) return;
    const bool on = *static_cast<const int16_t*>(value) != 0;
    switch (node.GetTypeId()) {
      case NodeTypeViewpoint: node.GetWorld()->BindViewpoint(&node, on); break;
      case NodeTypeNavigationInfo: node.GetWorld()->BindNavigationInfo(&node, on); break;
      case NodeTypeFog: node.GetWorld()->BindFog(&node, on); break;
      case NodeTypeDisplay: node.GetWorld()->BindDisplay(&node, on); break;
      default: break;
    }
  };
  return ref;
}

}  // namespace

CProbeNode::CProbeNode() { RegisterFields(kProbeTable); }

int CProbeNode::InterceptEvent(std::string_view name, const void*) { return name == interceptName ? 1 : 0; }

int CProbeNode::OnEventIn(bool isField, int index, const void* value) {
  received.push_back({isField, index});
  if (onEvent) onEvent(*this, isField, index, value);
  return CNode::OnEventIn(isField, index, value);
}

void RegisterTestNodes(NodeClassTable& table) {
  table.Add<CProbeNode>("Probe");
  table.Add("TestViewpoint", MakeBindable<NodeTypeViewpoint>);
  table.Add("TestNavigationInfo", MakeBindable<NodeTypeNavigationInfo>);
  table.Add("TestFog", MakeBindable<NodeTypeFog>);
  table.Add("TestDisplay", MakeBindable<NodeTypeDisplay>);
  table.Add("TestBackground", MakeBindable<NodeTypeBackground>);
  table.Add("TestVista", MakeBindable<NodeTypeVista>);
}

}  // namespace vx::test
