#include "engine/scene/nodes/NavigationInfoNode.h"

#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

constexpr float kDefaultAvatarSize[] = {0.25f, 1.6f, 0.75f};
constexpr const char* kDefaultType[] = {"WALK"};

constexpr FieldSpec kNavigationInfoFields[] = {
    Field<&CNavigationInfoNode::avatarSize>("avatarSize", DefaultList(kDefaultAvatarSize)),
    Field<&CNavigationInfoNode::headlight>("headlight", DefaultBool(true)),
    Field<&CNavigationInfoNode::speed>("speed", DefaultFloats(1)),
    Field<&CNavigationInfoNode::type>("type", DefaultList(kDefaultType)),
    Field<&CNavigationInfoNode::visibilityLimit>("visibilityLimit", DefaultFloats(0)),
};
constexpr FieldSpec kNavigationInfoEventIns[] = {Event("set_bind", FieldTypeSFBool)};
constexpr FieldSpec kNavigationInfoEventOuts[] = {Event("isBound", FieldTypeSFBool)};
constexpr FieldTable kNavigationInfoTable{Section(kNavigationInfoFields), Section(kNavigationInfoEventIns),
                                          Section(kNavigationInfoEventOuts)};

constexpr int kSetBind = 0;

}  // namespace

CNavigationInfoNode::CNavigationInfoNode() { RegisterFields(kNavigationInfoTable); }

void CNavigationInfoNode::Traverse(RenderPass, CViewContext* view) {
  FollowViewWorld(*this, bound_ != 0, view, place_, &CBrowser::BindNavigationInfo);
}

int CNavigationInfoNode::OnEventIn(bool isField, int index, const void* value) {
  if (isField) return CNode::OnEventIn(isField, index, value);
  if (index == kSetBind) {
    ChangeBinding(*this, bound_, value, place_, &CBrowser::BindNavigationInfo);
  }
  return 0;
}

void RegisterNavigationInfoNode(NodeClassTable& table) { table.Add<CNavigationInfoNode>("NavigationInfo"); }

}  // namespace vx
