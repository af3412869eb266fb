#include "engine/world/nodes/TextSensorNode.h"

#include <string>

#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/TextHitTarget.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kTextSensorFields[] = {
    Field<&CTextSensorNode::enabled>("enabled", DefaultBool(true)),
    Field<&CTextSensorNode::string>("string"),
    Field<&CTextSensorNode::color>("color"),
    Field<&CTextSensorNode::url>("url"),
    Field<&CTextSensorNode::cursor>("cursor"),
    Field<&CTextSensorNode::frame>("frame"),
    Field<&CTextSensorNode::node>("node"),
};
constexpr FieldSpec kTextSensorEventOuts[] = {
    Event("isActive", FieldTypeSFBool),
    Event("isOver", FieldTypeSFBool),
};
constexpr FieldTable kTextSensorTable{Section(kTextSensorFields), {}, Section(kTextSensorEventOuts)};

// The view's cursor for a name; -1 for a name that shows none.
int32_t CursorOf(std::string_view name) {
  if (name == "ARROW") return 0;
  if (name == "PAN") return 1;
  if (name == "LINK") return 2;
  return -1;
}

void SendFlag(CNode& node, std::string_view eventOut, bool value) {
  const int16_t flag = value ? 1 : 0;
  node.SendEvent(eventOut, &flag);
}

}  // namespace

CTextSensorNode::CTextSensorNode() { RegisterFields(kTextSensorTable); }

void CTextSensorNode::Traverse(RenderPass, CViewContext* view) {
  if (!view) return;
  if (const CBrowser* world = view->GetWorld()) {
    lastView_ = view;
    lastViewFrame_ = world->GetFrameNumber();
  }
  seen_ = true;
}

CViewContext* CTextSensorNode::CurrentView() const {
  const CBrowser* world = GetWorld();
  return world && lastViewFrame_ != 0 && world->GetFrameNumber() == lastViewFrame_ ? lastView_ : nullptr;
}

bool CTextSensorNode::TargetHit() {
  auto* target = dynamic_cast<ITextHitTarget*>(node.Resolve());
  return target && target->IsTextHit(pick, TextOf(string));
}

void CTextSensorNode::OnPointerOver() {
  if (!seen_ || !TargetHit()) return;
  const int32_t shape = CursorOf(TextOf(cursor));
  CViewContext* view = CurrentView();
  IViewServices* services = view ? view->GetServices() : nullptr;
  if (services && shape >= 0) services->SetCursor(shape);
  SendFlag(*this, "isOver", true);
}

void CTextSensorNode::OnPointerPress() {
  seen_ = false;
  active_ = true;
}

void CTextSensorNode::OnPointerClick(CViewContext* view) {
  if (seen_ && TargetHit()) {
    SendFlag(*this, "isActive", active_);
    std::string resolved;
    IViewServices* services = view ? view->GetServices() : nullptr;
    if (services && ResolveUrl(TextOf(url), resolved) == 0) services->LoadWorld(resolved.c_str(), std::string(TextOf(frame)).c_str());
  }
  active_ = false;
}

void RegisterTextSensorNode(NodeClassTable& table) { table.Add<CTextSensorNode>("TextSensor"); }

}  // namespace vx
