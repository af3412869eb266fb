#include "engine/nodes/NavigationInfoNode.h"

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
constexpr FieldTable kNavigationInfoTable{Section(kNavigationInfoFields), Section(kQuietBindEventIns),
                                          Section(kQuietBindEventOuts)};

}  // namespace

CNavigationInfoNode::CNavigationInfoNode() : CQuietBindableNode(&CBrowser::BindNavigationInfo) {
  RegisterFields(kNavigationInfoTable);
}

void RegisterNavigationInfoNode(NodeClassTable& table) { table.Add<CNavigationInfoNode>("NavigationInfo"); }

}  // namespace vx
